// Starts that cannot go on: no key list, a country file without its screen
// table, a keyboard file that is not one. Each ends the program with its
// message, and the user's session file and host list are byte for byte what
// they were, although the command line asked to change both.
#include <gtest/gtest.h>

#include <filesystem>

#include "program_run.h"

namespace cedar {
namespace {

namespace fs = std::filesystem;
using test::ProgramRun;
using test::TempFolder;
using namespace std::chrono_literals;

struct Failure {
    const char* name;
    const char* message;  // the message box line the program writes
    // Damages the installed program's data folder or the user's folder.
    void (*damage)(const std::string& programData, const std::string& appData);
};

const Failure kFailures[] = {
    {"no key list",
     "message box: Cedar TN3270 - file not found: File \"key.lst\" was not found.\\nYou may need "
     "to re-install Cedar.",
     [](const std::string& programData, const std::string&) {
         fs::remove(programData + "/key.lst");
     }},
    {"a key list of another version",
     "message box: Cedar TN3270 Installation Error: KEY.LST is not a valid keylist file for this "
     "version\\nCedar TN3270 cannot run without it",
     [](const std::string& programData, const std::string&) {
         test::writeBytes(programData + "/key.lst", "Cedar Keylist V0.99 \r\nnothing\r\n");
     }},
    {"a country file without its screen table",
     "message box: Cedar TN3270 Installation Error: The country file \"country.lst\" is damaged",
     [](const std::string&, const std::string& appData) {
         test::writeBytes(appData + "/country.lst", "COUNTRY/OR US 037\r\nSCREEN 00 01 02\r\n");
     }},
    {"a keyboard file that is not one",
     "message box: Cedar TN3270 File Error: standard.key is not a valid Cedar Keytable",
     [](const std::string&, const std::string& appData) {
         test::writeBytes(appData + "/standard.key", "this is not a keyboard file");
     }},
};

void PrintTo(const Failure& failure, std::ostream* out) {
    *out << failure.name;
}

class CreationFailureTest : public ::testing::TestWithParam<Failure> {};

TEST_P(CreationFailureTest, EndsWithItsMessageAndLeavesTheUsersFilesAlone) {
    const Failure& failure = GetParam();
    TempFolder root;
    // The program as installed: bin/ beside share/cedar-tn3270/.
    const std::string bin = root.path() + "/prefix/bin";
    const std::string programData = root.path() + "/prefix/share/cedar-tn3270";
    fs::create_directories(bin);
    fs::create_directories(programData);
    fs::copy_file(CEDAR_TN3270, bin + "/cedar_tn3270");
    fs::permissions(bin + "/cedar_tn3270", fs::perms::owner_all);
    fs::copy(CEDAR_DATA_DIR, programData, fs::copy_options::recursive);

    const std::string home = root.path() + "/home";
    const std::string appData = test::appDataOf(home);
    test::writeBytes(appData + "/standard.ses",
                     test::readBytes(std::string(CEDAR_DATA_DIR) + "/defaults/standard.ses"));
    test::writeBytes(appData + "/standard.key",
                     test::readBytes(std::string(CEDAR_DATA_DIR) + "/defaults/standard.key"));
    test::writeBytes(appData + "/cedar.ini",
                     "[Cedar]\r\nLastSession=standard.ses\r\n[Hosts]\r\nHost0=mvs.example.com\r\n");
    failure.damage(programData, appData);
    const std::string session = test::readBytes(appData + "/standard.ses");
    const std::string ini = test::readBytes(appData + "/cedar.ini");

    ProgramRun program(bin + "/cedar_tn3270", home);
    ASSERT_TRUE(program.start({"--host", "tso.example.org", "--port", "992", "--model", "4"},
                              {"QT_QPA_PLATFORM=offscreen"}));
    const auto status = program.wait(20s);
    ASSERT_TRUE(status) << "still running: " << program.output();
    EXPECT_NE(*status, 0);
    EXPECT_NE(program.output().find(failure.message), std::string::npos) << program.output();
    EXPECT_EQ(test::readBytes(appData + "/standard.ses"), session);
    EXPECT_EQ(test::readBytes(appData + "/cedar.ini"), ini);
}

INSTANTIATE_TEST_SUITE_P(Starts, CreationFailureTest, ::testing::ValuesIn(kFailures),
                         [](const auto& param) {
                             std::string name;
                             for (const char* c = param.param.name; *c; ++c)
                                 if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
                             return name;
                         });

}  // namespace
}  // namespace cedar
