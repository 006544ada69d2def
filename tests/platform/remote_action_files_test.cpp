#include "platform/remote_action_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace cedar::platform {
namespace {

namespace fs = std::filesystem;

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Bytes bytes(const std::string& s) {
    return Bytes(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
}

struct Folders {
    Folders() {
        char tmpl[] = "/tmp/cedar-remote-XXXXXX";
        root = ::mkdtemp(tmpl);
        fs::create_directories(root / "macros");
        fs::create_directories(root / "print");
    }
    ~Folders() { fs::remove_all(root); }
    fs::path root;
};

TEST(RemoteActionFiles, EachActionIsWrittenToItsFolderAndHandedOnWhenComplete) {
    Folders folders;
    RemoteActionFiles files((folders.root / "macros").string(), (folders.root / "print").string(),
                            'C');
    std::vector<std::pair<RemoteActionKind, std::string>> completed;
    std::vector<std::string> contents;
    files.setCompletion([&](RemoteActionKind kind, const std::string& path) {
        completed.emplace_back(kind, path);
        contents.push_back(readAll(path));  // closed and flushed by now
    });
    std::string error;
    ASSERT_TRUE(files.create(RemoteActionKind::Macro));
    ASSERT_TRUE(files.append(bytes("TYPE('HI')"), error)) << error;
    ASSERT_TRUE(files.append(bytes(" END"), error)) << error;
    files.complete(RemoteActionKind::Macro);

    // A second print action replaces the first one's file whole.
    ASSERT_TRUE(files.create(RemoteActionKind::PcPrint));
    ASSERT_TRUE(files.append(bytes("A LONGER FIRST REPORT"), error)) << error;
    files.complete(RemoteActionKind::PcPrint);
    ASSERT_TRUE(files.create(RemoteActionKind::PcPrint));
    ASSERT_TRUE(files.append(bytes("SHORT"), error)) << error;
    files.complete(RemoteActionKind::PcPrint);

    ASSERT_EQ(completed.size(), 3u);
    EXPECT_EQ(completed[0].first, RemoteActionKind::Macro);
    EXPECT_EQ(completed[0].second, (folders.root / "macros" / "cdr$C$exec.mac").string());
    EXPECT_EQ(contents[0], "TYPE('HI') END");
    EXPECT_EQ(completed[2].second, (folders.root / "print" / "cdr$C$prnt.txt").string());
    EXPECT_EQ(contents[1], "A LONGER FIRST REPORT");
    EXPECT_EQ(contents[2], "SHORT");
}

TEST(RemoteActionFiles, AMissingFolderFailsCreateAndEveryAppend) {
    Folders folders;
    RemoteActionFiles missing((folders.root / "absent").string(),
                              (folders.root / "absent").string(), 'C');
    EXPECT_FALSE(missing.create(RemoteActionKind::PcPrint));
    std::string error;
    EXPECT_FALSE(missing.append(bytes("A"), error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(fs::exists(folders.root / "absent"));
}

}  // namespace
}  // namespace cedar::platform
