// The macro file handles over an in-memory file system and clipboard.
#include "macro/macro_files.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "macro_test_util.h"

namespace cedar {
namespace {

// Files as strings; a stream reads its file's text as it was at OPEN.
class MemoryFiles : public MacroFileSystem {
  public:
    std::map<std::string, std::string> files;
    bool failWrites = false;
    std::vector<std::string> opened;

    std::unique_ptr<MacroFileStream> open(std::string_view name, MacroFileMode mode) override {
        opened.emplace_back(name);
        const std::string key(name);
        if (mode == MacroFileMode::Input && !files.contains(key)) return nullptr;
        if (mode == MacroFileMode::Output) files[key].clear();
        return std::make_unique<Stream>(*this, key);
    }

  private:
    struct Stream : MacroFileStream {
        Stream(MemoryFiles& files, std::string name)
            : owner(files), key(std::move(name)), text(files.files[key]) {}
        std::optional<std::string> readLine(std::size_t maxBytes) override {
            if (pos >= text.size()) return std::nullopt;
            const std::size_t end = std::min(text.find('\n', pos), text.size());
            const std::size_t take = std::min(end - pos, maxBytes);
            std::string line = text.substr(pos, take);
            pos += take;
            if (pos == end && pos < text.size()) ++pos;
            return line;
        }
        bool write(std::string_view bytes) override {
            if (owner.failWrites) return false;
            owner.files[key].append(bytes);
            return true;
        }
        MemoryFiles& owner;
        std::string key;
        std::string text;
        std::size_t pos = 0;
    };
};

class MemoryClipboard : public MacroClipboard {
  public:
    std::optional<std::string> contents;
    int sets = 0;
    std::optional<std::string> text() override { return contents; }
    void setText(std::string_view t) override {
        contents = std::string(t);
        ++sets;
    }
};

class MacroFilesTest : public ::testing::Test {
  protected:
    std::int32_t open(std::string_view name, std::string_view mode, bool quiet = false,
                      MacroError expected = MacroError::None) {
        std::int32_t h = -2;
        EXPECT_EQ(macroFiles.open(name, mode, quiet, h), expected) << name << " " << mode;
        return h;
    }
    std::vector<std::string> readAll(std::int32_t h) {
        std::vector<std::string> lines;
        while (!macroFiles.eof(h)) {
            std::string line;
            EXPECT_EQ(macroFiles.get(h, line), MacroError::None);
            lines.push_back(line);
            if (lines.size() > 1000) break;
        }
        return lines;
    }

    MemoryFiles files;
    MemoryClipboard clipboard;
    MacroFiles macroFiles{files, clipboard};
};

TEST_F(MacroFilesTest, GetReadsAheadSoEofFollowsTheLastLine) {
    files.files["a.txt"] = "one\ntwo\n";
    const std::int32_t h = open("a.txt", "input");
    EXPECT_EQ(h, 0);
    EXPECT_FALSE(macroFiles.eof(h));
    std::string line;
    EXPECT_EQ(macroFiles.get(h, line), MacroError::None);
    EXPECT_EQ(line, "one");
    EXPECT_FALSE(macroFiles.eof(h));
    EXPECT_EQ(macroFiles.get(h, line), MacroError::None);
    EXPECT_EQ(line, "two");
    EXPECT_TRUE(macroFiles.eof(h));
    EXPECT_EQ(macroFiles.get(h, line), MacroError::EndOfFile);
    // Still open (at its end) until CLOSE: the handle is not reused.
    EXPECT_EQ(open("a.txt", "INPUT"), 1);
    EXPECT_EQ(macroFiles.close(h), MacroError::None);
    EXPECT_TRUE(macroFiles.eof(h));
    EXPECT_EQ(macroFiles.get(h, line), MacroError::FileNotOpen);
}

TEST_F(MacroFilesTest, EmptyFileIsAtItsEndAtOnceAndLongLinesComeInPieces) {
    files.files["empty"] = "";
    EXPECT_TRUE(macroFiles.eof(open("empty", "Input")));
    files.files["long"] = std::string(300, 'x') + "\n" + std::string(255, 'y') + "\nz";
    const auto lines = readAll(open("long", "input"));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], std::string(255, 'x'));
    EXPECT_EQ(lines[1], std::string(45, 'x'));
    EXPECT_EQ(lines[2], std::string(255, 'y'));
    EXPECT_EQ(lines[3], "z");
}

TEST_F(MacroFilesTest, OpenErrorsAndQuietOpen) {
    files.files["f"] = "x\n";
    open("f", "READ", false, MacroError::InvalidOpenAction);
    EXPECT_EQ(open("f", "READ", true), -1);
    open("missing", "input", false, MacroError::FileOpenError);
    EXPECT_EQ(open("missing", "input", true), -1);
    for (int i = 0; i < MacroFiles::kHandles; ++i)
        EXPECT_EQ(open("out" + std::to_string(i), "output"), i);
    open("eleventh", "output", false, MacroError::NoFileHandles);
    EXPECT_EQ(open("eleventh", "output", true), -1);
    EXPECT_FALSE(files.files.contains("eleventh"));
    EXPECT_EQ(macroFiles.close(4), MacroError::None);
    EXPECT_EQ(open("again", "append"), 4);
}

TEST_F(MacroFilesTest, HandleChecksOfGetPutClose) {
    files.files["in"] = "x\n";
    const std::int32_t in = open("in", "input");
    const std::int32_t out = open("out", "output");
    std::string line;
    struct Case {
        MacroError get, put, close;
        std::int32_t handle;
    };
    const Case cases[] = {
        {MacroError::InvalidFileHandle, MacroError::InvalidFileHandle,
         MacroError::InvalidFileHandle, 10},
        {MacroError::InvalidFileHandle, MacroError::InvalidFileHandle,
         MacroError::InvalidFileHandle, -1},
        {MacroError::FileNotOpen, MacroError::FileNotOpen, MacroError::None, 7},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(macroFiles.get(c.handle, line), c.get) << c.handle;
        EXPECT_EQ(macroFiles.put(c.handle, "t"), c.put) << c.handle;
        EXPECT_EQ(macroFiles.close(c.handle), c.close) << c.handle;
        EXPECT_TRUE(macroFiles.eof(c.handle));
    }
    EXPECT_EQ(macroFiles.get(out, line), MacroError::GetOnOutputFile);
    EXPECT_EQ(macroFiles.put(in, "t"), MacroError::PutOnInputFile);
    EXPECT_FALSE(macroFiles.eof(out));
}

TEST_F(MacroFilesTest, PutChecksAndWrites) {
    const std::int32_t h = open("out", "output");
    EXPECT_EQ(macroFiles.put(h, std::string(256, 'a')), MacroError::RecordTooLong);
    EXPECT_EQ(macroFiles.put(h, std::string(255, 'a')), MacroError::None);
    EXPECT_EQ(macroFiles.put(h, "b", "nocrlf"), MacroError::None);
    EXPECT_EQ(macroFiles.put(h, "c", "CRLF"), MacroError::InvalidOpenAction);
    EXPECT_EQ(macroFiles.put(h, "d"), MacroError::None);
    EXPECT_EQ(files.files["out"], std::string(255, 'a') + "\nbd\n");
    files.failWrites = true;
    EXPECT_EQ(macroFiles.put(h, "e"), MacroError::FileWriteError);
    files.failWrites = false;
    EXPECT_EQ(macroFiles.close(h), MacroError::None);
    const std::int32_t a = open("out", "APPEND");
    EXPECT_EQ(macroFiles.put(a, "f"), MacroError::None);
    EXPECT_EQ(files.files["out"], std::string(255, 'a') + "\nbd\nf\n");
}

TEST_F(MacroFilesTest, CallGoesThroughTheSameRules) {
    files.files["in"] = "line\n";
    MacroValue result;
    const MacroValue openArgs[] = {MacroValue::ofText("in"), MacroValue::ofText("input")};
    ASSERT_EQ(macroFiles.call(ReservedWord::Open, openArgs, result), MacroError::None);
    EXPECT_EQ(result, MacroValue::ofNumber(0));
    const MacroValue h[] = {MacroValue::ofNumber(0)};
    ASSERT_EQ(macroFiles.call(ReservedWord::Get, h, result), MacroError::None);
    EXPECT_EQ(result, MacroValue::ofText("line"));
    ASSERT_EQ(macroFiles.call(ReservedWord::Eof, h, result), MacroError::None);
    EXPECT_EQ(result, MacroValue::ofNumber(1));
    const MacroValue quiet[] = {MacroValue::ofText("nope"), MacroValue::ofText("input"),
                                MacroValue::ofNumber(1)};
    ASSERT_EQ(macroFiles.call(ReservedWord::Open, quiet, result), MacroError::None);
    EXPECT_EQ(result, MacroValue::ofNumber(-1));
}

TEST_F(MacroFilesTest, ClipboardInputSplitsLines) {
    struct Case {
        std::optional<std::string> text;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {std::nullopt, {}},
        {"", {}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"\r\nb", {"", "b"}},
        {"a\nb\rc", {"a", "b", "c"}},
        {std::string(300, 'x'), {std::string(255, 'x'), std::string(45, 'x')}},
    };
    for (const Case& c : cases) {
        clipboard.contents = c.text;
        const std::int32_t h = open("clipboard", "input");
        EXPECT_EQ(readAll(h), c.lines) << c.text.value_or("(none)");
        EXPECT_EQ(macroFiles.close(h), MacroError::None);
    }
    EXPECT_EQ(clipboard.sets, 0);
}

TEST_F(MacroFilesTest, ClipboardBounds) {
    // The text with its terminating NUL must fit the 65,536-byte buffer.
    clipboard.contents = std::string(MacroFiles::kClipboardBuffer - 1, 'a');
    EXPECT_EQ(macroFiles.close(open("CLIPBOARD", "input")), MacroError::None);
    clipboard.contents = std::string(MacroFiles::kClipboardBuffer, 'a');
    open("CLIPBOARD", "input", false, MacroError::ClipboardFull);
    open("CLIPBOARD", "append", false, MacroError::ClipboardFull);
    EXPECT_EQ(open("CLIPBOARD", "append", true), -1);
    clipboard.contents = std::string(1'000'000, 'b');
    open("Clipboard", "input", false, MacroError::ClipboardFull);
    // PUT stops before the buffer holds more than 65,500 bytes.
    const std::int32_t h = open("clipboard", "output");
    const std::string record(253, 'r');  // 255 bytes with CR LF
    std::size_t puts = 0;
    MacroError e = MacroError::None;
    while ((e = macroFiles.put(h, record)) == MacroError::None)
        ++puts;
    EXPECT_EQ(e, MacroError::ClipboardFull);
    EXPECT_EQ(puts, MacroFiles::kClipboardPutLimit / 255);
    EXPECT_EQ(macroFiles.close(h), MacroError::None);
    ASSERT_TRUE(clipboard.contents);
    EXPECT_EQ(clipboard.contents->size(), puts * 255);
}

TEST_F(MacroFilesTest, ClipboardOutputAppendAndCloseAll) {
    clipboard.contents = "old\r\n";
    std::int32_t h = open("clipboard", "append");
    EXPECT_EQ(macroFiles.put(h, "new"), MacroError::None);
    EXPECT_EQ(clipboard.contents, "old\r\n");  // copied only at CLOSE
    EXPECT_EQ(macroFiles.close(h), MacroError::None);
    EXPECT_EQ(clipboard.contents, "old\r\nnew\r\n");
    h = open("clipboard", "output");
    EXPECT_EQ(macroFiles.put(h, "x", "NOCRLF"), MacroError::None);
    EXPECT_EQ(macroFiles.close(h), MacroError::None);
    EXPECT_EQ(clipboard.contents, "x");
    clipboard.contents.reset();
    h = open("clipboard", "append");  // no text: an empty buffer, as for OUTPUT
    EXPECT_EQ(macroFiles.put(h, "y"), MacroError::None);
    // An error or a new macro closes everything; clipboard output is dropped.
    files.files["in"] = "1\n";
    const std::int32_t in = open("in", "input");
    macroFiles.closeAll();
    EXPECT_FALSE(clipboard.contents);
    EXPECT_TRUE(macroFiles.eof(in));
    EXPECT_EQ(open("in", "input"), 0);
}

}  // namespace
}  // namespace cedar
