// Loading macros: file names and folders, the chain of contexts, the REXX
// check, error texts and where errors are reported.
#include <gtest/gtest.h>

#include <string>

#include "macro/macro_error.h"
#include "macro/macro_source.h"
#include "macro_test_util.h"
#include "screen/message_titles.h"

namespace cedar {
namespace {

TEST(MacroSource, FileNames) {
    struct Case {
        const char* name;
        const char* file;
        const char* macroName;
    };
    const Case cases[] = {
        {"logon", "logon.mac", "logon"},        {"logon.mac", "logon.mac", "logon"},
        {"LOGON.MAC", "LOGON.MAC", "LOGON"},    {"locked.ext", "locked.ext", "locked"},
        {"LOCKED.EXT", "LOCKED.EXT", "LOCKED"}, {"notes.txt", "notes.txt.mac", "notes.txt"},
        {"sub\\x", "sub\\x.mac", "sub\\x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(macroFileName(c.name), c.file);
        EXPECT_EQ(macroNameWithoutExtension(macroFileName(c.name)), c.macroName);
    }
}

TEST(MacroSource, RemoteMacrosComeFromTheirOwnFolder) {
    struct Case {
        const char* file;
        char session;
        MacroFolder folder;
    };
    const Case cases[] = {
        {"cdr$A$exec.mac", 'A', MacroFolder::RemoteMacros},
        {"cdr$A$exec2.mac", 'A', MacroFolder::RemoteMacros},
        {"cdr$A$exec.mac", 'B', MacroFolder::Macros},
        {"cdr$7$exec.mac", '7', MacroFolder::RemoteMacros},
        {"cdr$A$exe.mac", 'A', MacroFolder::Macros},
        {"cdr$A$exe", 'A', MacroFolder::Macros},
        {"logon.mac", 'A', MacroFolder::Macros},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        EXPECT_EQ(macroFolderFor(c.file, c.session), c.folder);
    }
}

TEST(MacroSource, LoadsIntoTheChain) {
    MemoryMacroFiles files;
    files.add(MacroFolder::Macros, "main.mac", "IF 1\nRUN(\"child\")\nENDIF\n");
    files.add(MacroFolder::Macros, "child.mac", "x = 1\r\n\x1A garbage");
    files.add(MacroFolder::RemoteMacros, "cdr$C$exec.mac", "TYPE(\"remote\")");
    MacroChain chain;
    MacroLoadOptions options;
    options.sessionId = 'C';

    const auto first = loadMacro(chain, files, "main", options);
    ASSERT_EQ(first.status, MacroLoadStatus::Loaded);
    EXPECT_EQ(first.fileName, "main.mac");
    MacroContext* root = chain.current();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->fileName, "main.mac");
    EXPECT_EQ(root->macroName, "main");
    EXPECT_EQ(root->text, "IF 1\r\nRUN(\"child\")\r\nENDIF\r\n\r\n\x1A");
    EXPECT_EQ(root->length(), root->text.size() - 3);
    EXPECT_EQ(root->scanTable.size(), 2);
    EXPECT_EQ(root->statementNumber, 1);

    ASSERT_EQ(loadMacro(chain, files, "child.mac", options).status, MacroLoadStatus::Loaded);
    MacroContext* child = chain.current();
    EXPECT_EQ(child->text, "x = 1\r\n\r\n\x1A");
    EXPECT_EQ(child->parent, root);
    EXPECT_EQ(root->child, child);
    EXPECT_EQ(chain.root(), root);
    EXPECT_EQ(chain.size(), 2u);

    ASSERT_EQ(loadMacro(chain, files, "cdr$C$exec", options).status, MacroLoadStatus::Loaded);
    EXPECT_EQ(chain.current()->macroName, "cdr$C$exec");

    chain.popCurrent();
    chain.popCurrent();
    EXPECT_EQ(chain.current(), root);
    EXPECT_EQ(root->child, nullptr);
    chain.clear();
    EXPECT_TRUE(chain.empty());
}

TEST(MacroSource, MissingFile) {
    MemoryMacroFiles files;
    files.add(MacroFolder::RemoteMacros, "logon.mac", "x = 1");
    MacroChain chain;
    const auto result = loadMacro(chain, files, "logon", {});
    EXPECT_EQ(result.status, MacroLoadStatus::NotFound);
    EXPECT_EQ(result.fileName, "logon.mac");
    EXPECT_TRUE(chain.empty());
    EXPECT_EQ(macroFileNotFoundText(result.fileName), "Macro file \"logon.mac\" not found");
    EXPECT_EQ(std::string_view(title::kFileError), "File Error");
}

TEST(MacroSource, FailedPreScanKeepsTheContextForTheReport) {
    MemoryMacroFiles files;
    files.add(MacroFolder::Macros, "bad.mac", "x = 1\r\n  y = 2;   ENDIF  \r\nz = 3");
    MacroChain chain;
    const auto result = loadMacro(chain, files, "bad", {});
    EXPECT_EQ(result.status, MacroLoadStatus::Failed);
    EXPECT_EQ(result.error, MacroError::EndIfWithoutIf);
    ASSERT_NE(chain.current(), nullptr);
    const MacroContext& c = *chain.current();
    EXPECT_EQ(c.statementNumber, 3);
    EXPECT_EQ(macroErrorTitle(c), "Macro Error in bad.mac");
    EXPECT_EQ(macroErrorMessage(c, result.error),
              "Macro error at line 2, near column 1\r\nENDIF\r\n"
              "Cedar macro error 36 - EndIf was seen without a previous If");
}

TEST(MacroSource, ErrorColumnCountsFromTheStatement) {
    // The second statement of line 2 fails at its "=-".
    MacroContext context;
    context.fileName = "t.mac";
    context.text = normaliseMacroText("a = 1\r\nb = 2;  c = 1 =-1 ;d = 4");
    advanceStatement(context);
    advanceStatement(context);
    ASSERT_EQ(context.text.substr(context.statementStart, 5), "c = 1");

    VariableTable variables;
    NullMacroHost host;
    ExpressionEvaluator evaluator(variables, host);
    Scanner scanner = context.scanner({});
    Token name;
    ASSERT_EQ(scanner.scanToken(name), MacroError::None);
    const MacroError error = evaluator.assign(scanner, name.text.view());
    ASSERT_EQ(error, MacroError::UnknownOperator);
    context.errorPosition = scanner.tokenStart();
    const MacroErrorLocation where = locateMacroError(context);
    EXPECT_EQ(where.line, 2);
    EXPECT_EQ(where.column, 7);
    EXPECT_EQ(where.statement, "c = 1 =-1");

    // A token before the statement's start counts as column 1.
    context.errorPosition = 0;
    EXPECT_EQ(locateMacroError(context).column, 1);
    // The statement is shown with at most 100 bytes.
    context.text = normaliseMacroText(std::string(300, 'x'));
    context.statementStart = 0;
    EXPECT_EQ(locateMacroError(context).statement.size(), 100u);
}

TEST(MacroSource, RexxCheck) {
    struct Case {
        std::string first;
        bool rexx;
    };
    const Case cases[] = {
        {"/* REXX */\r\nsay 1", true},
        {"/* rexx program */\nsay 1", true},
        {"  /*Rexx*/", true},
        {"/* REXX", true},
        {"/* hello */ REXX", false},
        {"say 1\n/* REXX */", false},
        {"* REXX", false},
        {"", false},
        {std::string(195, ' ') + "/* RE" + "XX */", false},
        {std::string(190, ' ') + "/* REXX */", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.first);
        EXPECT_EQ(isRexxMacro(c.first), c.rexx);
    }
}

TEST(MacroSource, ErrorTexts) {
    struct Case {
        MacroError error;
        const char* text;
    };
    const Case cases[] = {
        {MacroError::Unknown, "Unknown Error - Contact Cedar TN3270 Support"},
        {MacroError::NameTooLong, "Keyword or Variable name is too long"},
        {MacroError::NumericOverflow, "Numeric overflow during evaluation"},
        {MacroError::UnknownOperator, "Unknown operator"},
        {MacroError::TextTooLong, "String variable too long (more than 255 bytes)"},
        {MacroError::ScanAreaOverflow, "Scan area overflow.  Program may be too large"},
        {MacroError::TransferParmError, "File Transfer parm error.  See Help info for an example"},
        {MacroError::InvalidSessionId, "Session id invalid, must be A-Z or 0-9"},
        {MacroError::None, "Unknown Error - Contact Cedar TN3270 Support"},
        {MacroError::NestedMacroLoaded, "Unknown Error - Contact Cedar TN3270 Support"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(macroErrorNumber(c.error));
        EXPECT_EQ(macroErrorText(c.error), c.text);
    }
    EXPECT_EQ(macroErrorNumber(MacroError::InvalidScanTableAddress), 37);
    EXPECT_EQ(macroErrorNumber(MacroError::InvalidSessionId), 67);
    EXPECT_TRUE(isMacroError(MacroError::Unknown));
    EXPECT_FALSE(isMacroError(MacroError::None));
    EXPECT_FALSE(isMacroError(MacroError::NestedMacroLoaded));
}

TEST(MacroSource, ReservedWords) {
    struct Case {
        const char* word;
        int slot;
    };
    const Case cases[] = {
        {"NOT", 4},           {"MID", 5},       {"SESSION", 26}, {"IF", 27},   {"EXIT", 40},
        {"GOTO", 41},         {"SENDFILE", 42}, {"RUN", 59},     {"CALL", 60}, {"RETURN", 61},
        {"WAITUNLOCKED", 74}, {"HEXDEC", 73},   {"EXECUTE", 75}, {"TO", 0},    {"STEP", 0},
        {"SUBROUTINE", 0},    {"mid", 0},       {"", 0},         {"NOTE", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.word);
        EXPECT_EQ(static_cast<int>(lookUpReservedWord(c.word)), c.slot);
    }
    int words = 0;
    for (int slot = 4; slot < kReservedWordSlots; ++slot) {
        const auto word = static_cast<ReservedWord>(slot);
        if (reservedWordName(word).empty()) continue;
        ++words;
        EXPECT_EQ(lookUpReservedWord(reservedWordName(word)), word);
    }
    EXPECT_EQ(words, 72);
    EXPECT_TRUE(isStatementKeyword(ReservedWord::If));
    EXPECT_TRUE(isStatementKeyword(ReservedWord::Exit));
    EXPECT_TRUE(isStatementKeyword(ReservedWord::Return));
    EXPECT_FALSE(isStatementKeyword(ReservedWord::Run));
    EXPECT_FALSE(isStatementKeyword(ReservedWord::Session));

    const ParameterList& edit = parameterList(ReservedWord::EditBox);
    EXPECT_EQ(edit.count, 5);
    EXPECT_EQ(edit.required, 1);
    EXPECT_TRUE(edit.masks[1].accepts(ValueType::Number));
    EXPECT_TRUE(edit.masks[1].accepts(ValueType::Text));
    EXPECT_FALSE(edit.masks[3].accepts(ValueType::Text));
    EXPECT_TRUE(edit.masks[3].optional);
    EXPECT_EQ(parameterList(ReservedWord::Drop).count, 0);
    EXPECT_EQ(parameterList(ReservedWord::ShellExecute).required, 5);
}

}  // namespace
}  // namespace cedar
