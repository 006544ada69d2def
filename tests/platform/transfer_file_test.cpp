#include "platform/transfer_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace cedar::platform {
namespace {

namespace fs = std::filesystem;
using ByteVector = std::vector<std::uint8_t>;

struct TempFolder {
    TempFolder() {
        char tmpl[] = "/tmp/cedar-transfer-XXXXXX";
        root = ::mkdtemp(tmpl);
    }
    ~TempFolder() { fs::remove_all(root); }
    std::string file(const char* name) const { return (root / name).string(); }
    fs::path root;
};

ByteVector readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeAll(const std::string& path, const ByteVector& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

ByteVector pattern(std::size_t n) {
    ByteVector v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = static_cast<std::uint8_t>(i * 31 + 0x1A);
    return v;
}

TEST(PosixTransferFile, ReadsTheWholeFileInBlocksThenEndOfFile) {
    TempFolder dir;
    const ByteVector content = pattern(60001);
    writeAll(dir.file("up.bin"), content);
    std::string error;
    auto file = PosixTransferFile::open(dir.file("up.bin"), PosixTransferFile::Mode::Read, error);
    ASSERT_TRUE(file) << error;
    ByteVector got, block(25000);
    for (;;) {
        const auto n = file->read(block);
        ASSERT_TRUE(n) << file->errorText();
        if (*n == 0) break;
        got.insert(got.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(*n));
    }
    EXPECT_EQ(got, content);
    EXPECT_EQ(file->read(block), std::optional<std::size_t>(0));
}

TEST(PosixTransferFile, CreateReplacesAndAppendExtends) {
    TempFolder dir;
    const std::string path = dir.file("down.txt");
    writeAll(path, ByteVector(100, 'o'));
    std::string error;
    for (auto mode : {PosixTransferFile::Mode::Create, PosixTransferFile::Mode::Append}) {
        auto file = PosixTransferFile::open(path, mode, error);
        ASSERT_TRUE(file) << error;
        EXPECT_TRUE(file->write(ByteVector{'a', 0xFF, 0x1A}));
        EXPECT_TRUE(file->write(ByteVector{}));
        file->close();
        file->close();  // twice does no harm
    }
    EXPECT_EQ(readAll(path), (ByteVector{'a', 0xFF, 0x1A, 'a', 0xFF, 0x1A}));
}

TEST(PosixTransferFile, FailuresCarryTheSystemText) {
    TempFolder dir;
    std::string error;
    EXPECT_FALSE(
        PosixTransferFile::open(dir.file("missing"), PosixTransferFile::Mode::Read, error));
    EXPECT_EQ(error, "No such file or directory");
    EXPECT_FALSE(PosixTransferFile::open(dir.file("no/such/folder"),
                                         PosixTransferFile::Mode::Create, error));
    EXPECT_EQ(error, "No such file or directory");

    // Reading a folder fails on the read, not the open.
    auto folder = PosixTransferFile::open(dir.root.string(), PosixTransferFile::Mode::Read, error);
    ASSERT_TRUE(folder) << error;
    ByteVector block(16);
    EXPECT_FALSE(folder->read(block));
    EXPECT_EQ(folder->errorText(), "Is a directory");

    if (fs::exists("/dev/full")) {
        auto full = PosixTransferFile::open("/dev/full", PosixTransferFile::Mode::Append, error);
        ASSERT_TRUE(full) << error;
        EXPECT_FALSE(full->write(pattern(100)));
        EXPECT_EQ(full->errorText(), "No space left on device");
    }

    auto closed = PosixTransferFile::open(dir.file("c"), PosixTransferFile::Mode::Create, error);
    ASSERT_TRUE(closed);
    closed->close();
    EXPECT_FALSE(closed->write(pattern(1)));
    EXPECT_FALSE(closed->read(block));
    EXPECT_EQ(closed->errorText(), "Bad file descriptor");
}

}  // namespace
}  // namespace cedar::platform
