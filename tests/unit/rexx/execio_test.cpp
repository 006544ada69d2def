// Commands to the CEDAR environment: the command word, word splitting with
// quotes, and the EXECIO command with its errors.
#include "rexx/execio.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cedar {
namespace {

TEST(CedarCommand, CommandWord) {
    EXPECT_EQ(cedarCommandWord("execio * diskr a (stem x."), "EXECIO");
    EXPECT_EQ(cedarCommandWord("  Frob the widget"), "FROB");
    EXPECT_EQ(cedarCommandWord(""), "");
    EXPECT_EQ(cedarCommandWord(std::string(30, 'k')), std::string(20, 'K'));
    // A clause of only a function call passes its result as the command.
    EXPECT_EQ(cedarCommandWord("0"), "0");
}

TEST(CedarCommand, ExecuteMacroName) {
    const std::pair<const char*, const char*> cases[] = {
        {"EXECUTE daily", "daily"},              // what the recorded `Execute ("daily")` gives
        {"  execute   my macro  ", "my macro"},  // blanks inside the name stay
        {"EXECUTE 'it''s'", "it's"},
        {"EXECUTE", ""},
        {"EXECUTE    ", ""},
    };
    for (const auto& [text, name] : cases)
        EXPECT_EQ(executeMacroName(text), name) << text;
}

TEST(CedarCommand, SplitWords) {
    struct Case {
        const char* text;
        std::vector<std::string> words;
    } cases[] = {
        {"EXECIO * DISKR a.txt (STEM x.", {"EXECIO", "*", "DISKR", "a.txt", "(STEM", "x."}},
        {"  a   b  ", {"a", "b"}},
        {"DISKR \"my file.txt\" (STEM", {"DISKR", "my file.txt", "(STEM"}},
        {"'it''s here' x", {"it's here", "x"}},
        {"\"say \"\"hi\"\"\"", {"say \"hi\""}},
        {"'' x", {"", "x"}},  // an empty quoted word is a word
        {"'unclosed word", {"unclosed word"}},
        {"'a b'c d", {"a bc", "d"}},
        {"mid'quote word", {"mid'quote", "word"}},
        {"", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(splitCommandWords(c.text), c.words) << c.text;
}

TEST(Execio, Commands) {
    struct Case {
        const char* command;
        RexxError error;
        ExecioOperation operation;
        const char* file;
        const char* stem;
    } cases[] = {
        {"EXECIO * DISKR in.txt (STEM line.", RexxError::None, ExecioOperation::DiskRead, "in.txt",
         "line."},
        {"execio * diskw 'out file.txt' (stem out.", RexxError::None, ExecioOperation::DiskWrite,
         "out file.txt", "out."},
        {"EXECIO * CLIPR (Stem c.", RexxError::None, ExecioOperation::ClipRead, "", "c."},
        {"EXECIO * CLIPW (STEM c.", RexxError::None, ExecioOperation::ClipWrite, "", "c."},
        {"EXECIO 5 DISKR in.txt (STEM l.", RexxError::CountNotStar, {}, "", ""},
        {"EXECIO", RexxError::CountNotStar, {}, "", ""},
        {"EXECIO * DISKA in.txt (STEM l.", RexxError::UnknownOperation, {}, "", ""},
        {"EXECIO *", RexxError::UnknownOperation, {}, "", ""},
        {"EXECIO * DISKR (STEM l.", RexxError::FileNameMissing, {}, "", ""},
        {"EXECIO * DISKW", RexxError::FileNameMissing, {}, "", ""},
        {"EXECIO * DISKR in.txt", RexxError::StemMissing, {}, "", ""},
        {"EXECIO * DISKR in.txt (STEM", RexxError::StemMissing, {}, "", ""},
        {"EXECIO * DISKR in.txt STEM l.", RexxError::StemMissing, {}, "", ""},
        {"EXECIO * DISKR in.txt (STEM l. more", RexxError::StemMissing, {}, "", ""},
        {"EXECIO * CLIPR c. (STEM c.", RexxError::StemMissing, {}, "", ""},
        {"EXECIO * DISKR in.txt (STEM ''", RexxError::StemMissing, {}, "", ""},
    };
    for (const auto& c : cases) {
        ExecioParse parsed = parseExecio(c.command);
        EXPECT_EQ(parsed.error, c.error) << c.command;
        if (c.error != RexxError::None) continue;
        EXPECT_EQ(parsed.command.operation, c.operation) << c.command;
        EXPECT_EQ(parsed.command.file, c.file) << c.command;
        EXPECT_EQ(parsed.command.stem, c.stem) << c.command;
    }
}

TEST(Execio, CommandLength) {
    const std::string head = "EXECIO * DISKR ";
    const std::string tail = " (STEM l.";
    std::string fits =
        head + std::string(kMaxExecioCommand - 1 - head.size() - tail.size(), 'f') + tail;
    ASSERT_EQ(fits.size(), kMaxExecioCommand - 1);
    EXPECT_EQ(parseExecio(fits).error, RexxError::None);
    EXPECT_EQ(parseExecio(fits + " ").error, RexxError::CommandTooLong);
    EXPECT_EQ(parseExecio(std::string(100000, '*')).error, RexxError::CommandTooLong);
}

}  // namespace
}  // namespace cedar
