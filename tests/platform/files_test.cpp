#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "sessionfile/private_profile.h"

namespace cedar::platform {
namespace {

namespace fs = std::filesystem;

class TempDir {
  public:
    TempDir() {
        char tmpl[] = "/tmp/cedar-files-XXXXXX";
        path = ::mkdtemp(tmpl);
    }
    ~TempDir() { fs::remove_all(path); }
    std::string path;
};

void writeText(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

TEST(Files, AtomicWriteReplacesWholeFilesAndKeepsPermissions) {
    TempDir dir;
    const std::string path = dir.path + "/sub/cedar.ini";
    std::string error;
    ASSERT_TRUE(writeFileAtomic(path, "first", error)) << error;
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(writeFileAtomic(path, "second\r\n", error)) << error;
    EXPECT_EQ(readFile(path), "second\r\n");
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    int files = 0;
    for (const auto& e : fs::directory_iterator(dir.path + "/sub"))
        files += e.is_regular_file();
    EXPECT_EQ(files, 1) << "no temporary file left behind";

    EXPECT_FALSE(writeFileAtomic("/proc/cedar-cannot-write/x", "y", error));
    EXPECT_FALSE(error.empty());
}

// Two processes adding keys to the same profile file at once lose none.
TEST(Files, LockedEditsFromTwoProcessesLoseNothing) {
    TempDir dir;
    const std::string path = dir.path + "/cedar.ini";
    constexpr int kEdits = 100;
    const pid_t child = ::fork();
    if (child == 0) {
        std::string error;
        for (int i = 0; i < kEdits; ++i)
            editFileLocked(
                path,
                [&](const std::string& text) {
                    return profile::set(text, "Cedar", "Child" + std::to_string(i), "1");
                },
                error);
        ::_exit(0);
    }
    std::string error;
    for (int i = 0; i < kEdits; ++i)
        ASSERT_TRUE(editFileLocked(
            path,
            [&](const std::string& text) {
                return profile::set(text, "Cedar", "Parent" + std::to_string(i), "1");
            },
            error))
            << error;
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    const std::string text = readFile(path).value_or("");
    EXPECT_EQ(profile::keys(text, "Cedar").size(), 2u * kEdits);
}

TEST(Files, ResolveFileToleratesWindowsNames) {
    TempDir dir;
    writeText(dir.path + "/Standard.SES", "x");
    writeText(dir.path + "/macros/Logon.mac", "x");
    writeText(dir.path + "/twin.ses", "x");
    writeText(dir.path + "/TWIN.ses", "x");
    struct Case {
        std::string name;
        std::string expected;  // "" = not found
    } cases[] = {
        {"Standard.SES", dir.path + "/Standard.SES"},
        {"standard.ses", dir.path + "/Standard.SES"},
        {"C:macros\\LOGON.MAC", dir.path + "/macros/Logon.mac"},
        {"twin.ses", dir.path + "/twin.ses"},  // the exact name first
        {"Twin.ses", ""},                      // two candidates: ambiguous
        {"missing.ses", ""},
        {std::string(300, 'a'), ""},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto found = resolveFile(dir.path, c.name, error);
        EXPECT_EQ(found.value_or(""), c.expected) << c.name.substr(0, 20);
    }
}

TEST(Files, FirstRunSeedsANewAppDataFolder) {
    TempDir dir;
    Folders f;
    f.programData = dir.path + "/share";
    f.appData = dir.path + "/home/Documents/Larkfield/CedarTN3270";
    writeText(f.programData + "/defaults/standard.ses", "session");
    writeText(f.programData + "/defaults/files.ini", "[Cedar]\r\n");
    writeText(f.programData + "/defaults/macros/logon.mac", "macro");
    writeText(f.programData + "/defaults/certs/ca.pem", "pem");
    writeText(f.programData + "/defaults/keyboards/de/german.key", "keys");
    std::string error;
    ASSERT_TRUE(seedAppData(f, error)) << error;
    EXPECT_EQ(readFile(f.appData + "/standard.ses"), "session");
    EXPECT_EQ(readFile(f.appData + "/keyboards/de/german.key"), "keys") << "the whole tree";
    EXPECT_EQ(readFile(f.appData + "/macros/logon.mac"), "macro");
    EXPECT_EQ(readFile(f.appData + "/certs/ca.pem"), "pem");

    // An existing AppData folder is left alone.
    writeText(f.appData + "/standard.ses", "mine");
    ASSERT_TRUE(seedAppData(f, error));
    EXPECT_EQ(readFile(f.appData + "/standard.ses"), "mine");

    // No defaults tree: only the two folders.
    Folders bare = f;
    bare.programData = dir.path + "/nothing";
    bare.appData = dir.path + "/other";
    ASSERT_TRUE(seedAppData(bare, error));
    EXPECT_TRUE(isDirectory(bare.appData + "/macros"));
    EXPECT_TRUE(isDirectory(bare.appData + "/certs"));
}

// A seed that fails half-way leaves no AppData folder behind (the next start
// seeds again) and no temporary folder either.
TEST(Files, AFailedSeedLeavesNothingBehind) {
    TempDir dir;
    Folders f;
    f.programData = dir.path + "/share";
    f.appData = dir.path + "/home/Larkfield/CedarTN3270";
    writeText(f.programData + "/defaults/standard.ses", "session");
    // A link to nothing cannot be copied.
    std::filesystem::create_symlink(dir.path + "/gone", f.programData + "/defaults/broken.key");
    std::string error;
    EXPECT_FALSE(seedAppData(f, error));
    EXPECT_NE(error.find("Cannot copy"), std::string::npos) << error;
    EXPECT_FALSE(isDirectory(f.appData));
    EXPECT_TRUE(std::filesystem::is_empty(dir.path + "/home/Larkfield"));

    std::filesystem::remove(f.programData + "/defaults/broken.key");
    ASSERT_TRUE(seedAppData(f, error)) << error;
    EXPECT_EQ(readFile(f.appData + "/standard.ses"), "session");
}

}  // namespace
}  // namespace cedar::platform
