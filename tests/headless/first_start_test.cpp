// The first start of a user: cedar_headless in an empty home makes the
// per-user folder from the program's defaults tree and loads its session;
// later starts leave the user's files as they are.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "sessionfile/session_file.h"
#include "sessionfile/standard_session.h"

namespace cedar {
namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

class FirstStart : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/cedar-first-start-XXXXXX";
        home_ = ::mkdtemp(tmpl);
        appData_ = fs::path(home_) / "Documents/Larkfield/CedarTN3270";
    }
    void TearDown() override { fs::remove_all(home_); }

    // Runs cedar_headless with `args`, feeding it `commands`; the exit code.
    int run(const std::string& args, const std::string& commands, std::string* err = nullptr) {
        const std::string in = home_ + "/in.txt", out = home_ + "/out.txt",
                          errPath = home_ + "/err.txt";
        std::ofstream(in) << commands;
        const std::string cmd =
            "env -u XDG_CONFIG_HOME -u XDG_DATA_HOME -u XDG_DOCUMENTS_DIR HOME=" + home_ + " " +
            CEDAR_HEADLESS + " " + args + " < " + in + " > " + out + " 2> " + errPath;
        const int status = std::system(cmd.c_str());
        if (err != nullptr) *err = readAll(errPath);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string home_;
    fs::path appData_;
};

TEST_F(FirstStart, SeedsTheUserFolderAndLeavesItAloneAfterwards) {
    ASSERT_FALSE(fs::exists(appData_));
    std::string err;
    ASSERT_EQ(run("--session standard.ses", "quit\n", &err), 0) << err;

    const std::string shipped = readAll(fs::path(CEDAR_DATA_DIR) / "defaults/standard.ses");
    EXPECT_EQ(shipped.size(), 7028u);
    EXPECT_EQ(readAll(appData_ / "standard.ses"), shipped);
    EXPECT_TRUE(fs::is_directory(appData_ / "macros"));
    EXPECT_TRUE(fs::is_directory(appData_ / "certs"));
    for (const auto& entry :
         fs::recursive_directory_iterator(fs::path(CEDAR_DATA_DIR) / "defaults"))
        EXPECT_TRUE(fs::exists(appData_ /
                               fs::relative(entry.path(), fs::path(CEDAR_DATA_DIR) / "defaults")))
            << entry.path() << " was not seeded";
    for (const auto& entry : fs::directory_iterator(appData_.parent_path()))
        EXPECT_EQ(entry.path().filename(), "CedarTN3270") << "a leftover of the seeding";

    // The user changes the session and adds a macro; the next start keeps both
    // and seeds nothing over them.
    auto options = sessionfile::standardSessionOptions();
    ASSERT_TRUE(options.setText(sessionfile::Field::HostName, "mvs.example"));
    ASSERT_TRUE(options.setText(sessionfile::Field::IpName, "mvs.example"));
    ASSERT_TRUE(options.setText(sessionfile::Field::SessionFile, "standard.ses"));
    const auto bytes = sessionfile::sessionFileBytes(options);
    const std::string mine(bytes.begin(), bytes.end());
    ASSERT_NE(mine, shipped);
    std::ofstream(appData_ / "standard.ses", std::ios::binary) << mine;
    std::ofstream(appData_ / "macros/logon.mac") << "Type \"user\"\n";
    fs::remove(appData_ / "certs");

    ASSERT_EQ(run("--session standard.ses", "quit\n", &err), 0) << err;
    EXPECT_EQ(readAll(appData_ / "standard.ses"), mine);
    EXPECT_EQ(readAll(appData_ / "macros/logon.mac"), "Type \"user\"\n");
    EXPECT_FALSE(fs::exists(appData_ / "certs")) << "an existing folder is not seeded again";
}

// A user folder that cannot be made ends the start with its reason.
TEST_F(FirstStart, AFolderThatCannotBeMadeEndsTheStart) {
    std::ofstream(fs::path(home_) / "Documents") << "a file where the folder should be";
    std::string err;
    EXPECT_EQ(run("--session standard.ses", "quit\n", &err), 8);
    EXPECT_NE(err.find("Cannot create folder"), std::string::npos) << err;
}

}  // namespace
}  // namespace cedar
