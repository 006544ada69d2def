// The macro file handles over real files in a temporary AppData folder.
#include "platform/macro_file_access.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace cedar::platform {
namespace {

namespace fs = std::filesystem;

class MacroFileAccessTest : public ::testing::Test {
  protected:
    MacroFileAccessTest() {
        char tmpl[] = "/tmp/cedar-macrofiles-XXXXXX";
        folder = ::mkdtemp(tmpl);
    }
    ~MacroFileAccessTest() override { fs::remove_all(folder); }

    void writeText(const std::string& path, const std::string& text) {
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }
    std::string readText(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::string folder;
};

TEST_F(MacroFileAccessTest, NamesFollowTheFolderRules) {
    MacroFolderFiles files(folder);
    EXPECT_EQ(files.pathOf("a.txt"), folder + "/a.txt");
    EXPECT_EQ(files.pathOf("sub\\a.txt"), folder + "/sub/a.txt");
    EXPECT_EQ(files.pathOf("C:\\tmp\\x.txt"), "/tmp/x.txt");
    EXPECT_EQ(files.pathOf("\\tmp\\x.txt"), "/tmp/x.txt");
    EXPECT_EQ(files.pathOf("d:rel.txt"), folder + "/rel.txt");
    EXPECT_EQ(files.open("", MacroFileMode::Output), nullptr);
    EXPECT_EQ(files.open("missing.txt", MacroFileMode::Input), nullptr);
    EXPECT_EQ(files.open("sub", MacroFileMode::Input), nullptr) << "a folder is not a file";
}

TEST_F(MacroFileAccessTest, OutputCreatesTheFolderAndInputReadsItBack) {
    MacroFolderFiles disk(folder);
    class NoClipboard : public MacroClipboard {
        std::optional<std::string> text() override { return std::nullopt; }
        void setText(std::string_view) override {}
    } clipboard;
    MacroFiles macroFiles(disk, clipboard);
    std::int32_t h = -1;
    ASSERT_EQ(macroFiles.open("new\\deeper\\out.txt", "OUTPUT", false, h), MacroError::None);
    EXPECT_EQ(macroFiles.put(h, "first"), MacroError::None);
    EXPECT_EQ(macroFiles.put(h, std::string(255, 'z')), MacroError::None);
    EXPECT_EQ(macroFiles.close(h), MacroError::None);
    ASSERT_EQ(macroFiles.open("new/deeper/out.txt", "append", false, h), MacroError::None);
    EXPECT_EQ(macroFiles.put(h, "last", "nocrlf"), MacroError::None);
    EXPECT_EQ(macroFiles.close(h), MacroError::None);
    EXPECT_EQ(readText(folder + "/new/deeper/out.txt"),
              "first\n" + std::string(255, 'z') + "\nlast");

    // Read back by another letter case of its name: a 255-byte line keeps its line end.
    ASSERT_EQ(macroFiles.open("new\\deeper\\OUT.TXT", "input", false, h), MacroError::None);
    std::vector<std::string> lines;
    while (!macroFiles.eof(h)) {
        std::string line;
        ASSERT_EQ(macroFiles.get(h, line), MacroError::None);
        lines.push_back(line);
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"first", std::string(255, 'z'), "last"}));
    std::string line;
    EXPECT_EQ(macroFiles.get(h, line), MacroError::EndOfFile);
}

TEST_F(MacroFileAccessTest, WindowsLineEndsAndLongLines) {
    writeText(folder + "/win.txt", "a\r\nb\r\n" + std::string(300, 'q') + "\n\nend");
    MacroFolderFiles disk(folder);
    auto stream = disk.open("win.txt", MacroFileMode::Input);
    ASSERT_NE(stream, nullptr);
    std::vector<std::string> lines;
    while (auto l = stream->readLine(255))
        lines.push_back(*l);
    EXPECT_EQ(lines, (std::vector<std::string>{"a", "b", std::string(255, 'q'),
                                               std::string(45, 'q'), "", "end"}));
}

TEST_F(MacroFileAccessTest, UnwritablePlaceFailsCleanly) {
    writeText(folder + "/blocker", "file, not a folder");
    MacroFolderFiles disk(folder);
    EXPECT_EQ(disk.open("blocker/out.txt", MacroFileMode::Output), nullptr);
}

// Macros to play: by name in their folder (any letter case), the remote
// folder for the host's macros, full paths in either form; nothing for a
// folder, a missing file or a name with a NUL in it.
TEST_F(MacroFileAccessTest, MacroFilesToPlayByNameOrPath) {
    writeText(folder + "/macros/Logon.mac", "TYPE(\"a\")");
    writeText(folder + "/remote/host.mac", "TYPE(\"r\")");
    // The program's own macros: a user's copy wins; never for the host's.
    writeText(folder + "/shipped/logon.mac", "TYPE(\"s\")");
    writeText(folder + "/shipped/cdr$lstc.mac", "TYPE(\"l\")");
    MacroFolderSource source(folder + "/macros", folder + "/remote", folder + "/shipped");
    const struct {
        MacroFolder where;
        std::string name;
        std::optional<std::string> content;
    } cases[] = {
        {MacroFolder::Macros, "Logon.mac", "TYPE(\"a\")"},
        {MacroFolder::Macros, "LOGON.MAC", "TYPE(\"a\")"},
        {MacroFolder::Macros, "cdr$lstc.mac", "TYPE(\"l\")"},
        {MacroFolder::RemoteMacros, "cdr$lstc.mac", std::nullopt},
        {MacroFolder::Macros, folder + "/remote/host.mac", "TYPE(\"r\")"},
        {MacroFolder::Macros, "C:" + folder + "\\remote\\host.mac", "TYPE(\"r\")"},
        {MacroFolder::RemoteMacros, "host.mac", "TYPE(\"r\")"},
        {MacroFolder::RemoteMacros, "Logon.mac", std::nullopt},
        {MacroFolder::Macros, "missing.mac", std::nullopt},
        {MacroFolder::Macros, folder + "/macros", std::nullopt},
        {MacroFolder::Macros, "", std::nullopt},
        {MacroFolder::Macros, std::string("Logon.mac\0x", 11), std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(source.readMacroFile(c.where, c.name), c.content) << c.name;
}

}  // namespace
}  // namespace cedar::platform
