#include "transfer/transfer_wildcards.h"

#include <gtest/gtest.h>

#include "macro/scanner.h"

namespace cedar {
namespace {

using Runs = std::vector<std::string>;

TEST(TransferWildcards, Matching) {
    struct Case {
        const char* pattern;
        const char* name;
        bool ignoreCase;
        std::optional<Runs> expected;
    };
    const Case cases[] = {
        {"USER.*.CNTL", "USER.ABC.CNTL", true, Runs{"ABC"}},
        {"user.*.cntl", "USER.ABC.CNTL", true, Runs{"ABC"}},
        {"user.*.cntl", "USER.ABC.CNTL", false, std::nullopt},
        {"'USER.*'", "'USER.A.B'", true, Runs{"A.B"}},
        {"USER.CNTL(*)", "USER.CNTL(MEMBER1)", true, Runs{"MEMBER1"}},
        {"*.txt", "a.b.txt", false, Runs{"a.b"}},
        {"*", "", false, Runs{""}},
        {"*.*", "a.b.c", false, Runs{"a", "b.c"}},
        {"*x*", "axbxc", false, Runs{"a", "bxc"}},
        // "?" is one character, never a dot or a quote.
        {"A?C", "ABC", true, Runs{}},
        {"A?C", "A.C", true, std::nullopt},
        {"A?C", "A'C", true, std::nullopt},
        {"A?C", "AC", true, std::nullopt},
        {"*?", "AB", true, Runs{"A"}},
        {"ABC", "ABCD", true, std::nullopt},
        {"ABC*", "AB", true, std::nullopt},
        {"", "", true, Runs{}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " ~ " + c.name);
        EXPECT_EQ(matchWildcard(c.pattern, c.name, c.ignoreCase), c.expected);
    }
}

TEST(TransferWildcards, LongPatternsStayFastAndBounded) {
    // Many stars against a name that does not match: no exponential search.
    const std::string pattern = std::string(500, '*') + "X";
    const std::string name(1000, 'A');
    EXPECT_FALSE(matchWildcard(pattern, name, false));
    EXPECT_FALSE(matchWildcard("*", std::string(5000, 'A'), false));
}

TEST(TransferWildcards, TargetTakesTheMatchedRuns) {
    EXPECT_EQ(applyWildcardTarget("/tmp/*.txt", {"ABC"}), "/tmp/ABC.txt");
    EXPECT_EQ(applyWildcardTarget("*.*", {"a", "b"}), "a.b");
    EXPECT_EQ(applyWildcardTarget("x*y*z", {"1"}), "x1yz");
    EXPECT_EQ(applyWildcardTarget("plain", {"1"}), "plain");
}

// The strings of one generated macro line as the macro scanner reads them.
std::vector<std::string> scannedStrings(const std::string& line, std::string& word) {
    Scanner scanner(line);
    std::vector<std::string> strings;
    Token token;
    while (scanner.scanToken(token) == MacroError::None && token.kind != TokenKind::End) {
        if (token.kind == TokenKind::Word && word.empty()) word = std::string(token.text.view());
        if (token.kind == TokenKind::String) strings.emplace_back(token.text.view());
        if (scanner.position() >= line.size()) break;
    }
    return strings;
}

TEST(TransferWildcards, MacroLinesReadBackAsTheirNames) {
    TransferMessage error;
    const auto send = sendFileLine("/home/u/it's \"q\".txt", "USER.\"A\"", true, false,
                                   TransferHostType::Cms, error);
    ASSERT_TRUE(send);
    EXPECT_EQ(*send,
              "SendFile(\"/home/u/it's \"\"q\"\".txt\",\"USER.\"\"A\"\"\",\"BINARY\",\"REPLACE\","
              "\"CMS\")\n");
    std::string word;
    EXPECT_EQ(scannedStrings(*send, word),
              (std::vector<std::string>{"/home/u/it's \"q\".txt", "USER.\"A\"", "BINARY", "REPLACE",
                                        "CMS"}));
    EXPECT_EQ(word, "SENDFILE");

    const auto receive =
        receiveFileLine("'U.X(M)'", "/tmp/m", false, true, TransferHostType::Cics, error);
    ASSERT_TRUE(receive);
    EXPECT_EQ(*receive, "ReceiveFile(\"'U.X(M)'\",\"/tmp/m\",\"TEXT\",\"APPEND\",\"CICS\")\n");
}

TEST(TransferWildcards, NamesAMacroCannotCarryAreRefused) {
    struct Case {
        std::string pc;
        std::string host;
    };
    const Case cases[] = {
        {"/tmp/a\nb", "X"},
        {"/tmp/a\rb", "X"},
        {"/tmp/ab", std::string("X\x1A", 2)},
        {"/tmp/a\tb", "X"},
        {"/tmp/a\x7F", "X"},
        {"/tmp/" + std::string(251, 'a'), "X"},  // 256 bytes
        {"/tmp/" + std::string(251, '"'), "X"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pc.substr(0, 12));
        TransferMessage error;
        EXPECT_FALSE(sendFileLine(c.pc, c.host, false, false, TransferHostType::Tso, error));
        EXPECT_EQ(error.title, "Invalid file name");
        for (char ch : error.text)
            EXPECT_TRUE(ch == '\n' || static_cast<unsigned char>(ch) >= 0x20) << error.text;
        TransferMessage receiveError;
        EXPECT_FALSE(
            receiveFileLine(c.host, c.pc, false, false, TransferHostType::Tso, receiveError));
    }
    // The longest name a macro string holds reads back whole, quotes and all.
    TransferMessage error;
    const std::string longest = "/tmp/" + std::string(250, '"');
    const auto line = sendFileLine(longest, "X", false, false, TransferHostType::Tso, error);
    ASSERT_TRUE(line);
    std::string word;
    EXPECT_EQ(scannedStrings(*line, word).at(0), longest);
}

MultiTransferRequest downloadOf(std::vector<std::string> names) {
    MultiTransferRequest r;
    r.direction = TransferDirection::Download;
    r.sourceNames = std::move(names);
    r.pcFolder = "/pc/";
    return r;
}

TEST(TransferWildcards, PlanErrors) {
    struct Case {
        const char* name;
        TransferDirection direction;
        const char* source;
        const char* target;
        std::vector<std::string> names;
        int selected;
        const char* title;
        const char* text;
    };
    const auto up = TransferDirection::Upload;
    const auto down = TransferDirection::Download;
    const Case cases[] = {
        {"download, star in source only",
         down,
         "U.*",
         "/x",
         {"U.A"},
         0,
         "Wildcard character error",
         "For multiple file transfers, both the source and\ntarget filenames must contain the "
         "wildcard character '*'"},
        {"upload, star in target only",
         up,
         "a.txt",
         "U.*",
         {"a.txt"},
         0,
         "Wildcard character error",
         "For multiple file transfers, both the source and\ntarget filenames must contain an "
         "asterisk."},
        {"several selected, no star in target",
         down,
         "U.A",
         "/x",
         {"U.A", "U.B"},
         2,
         "Wildcard character error",
         nullptr},
        {"empty host list",
         down,
         "U.*",
         "*",
         {},
         0,
         "No files in host list",
         "For multiple downloads, you need to click the List button\nto create a list of host "
         "dataset or member names."},
        {"empty PC folder",
         up,
         "*",
         "U.*",
         {},
         0,
         "No files in PC list",
         "For multiple uploads, you need to select a\nsource directory that contains some files."},
        {"nothing matches a download",
         down,
         "V.*",
         "*",
         {"U.A"},
         0,
         "Source file pattern error",
         "No datasets or members in the source list\nmatched the source file pattern."},
        {"nothing matches an upload",
         up,
         "*.c",
         "U.*",
         {"a.txt"},
         0,
         "Source file pattern error",
         "No files match the specified source file pattern"},
        {"a listed name with a control character",
         down,
         "U.*",
         "*",
         {"U.A", "U.\x01"},
         0,
         "Invalid file name",
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MultiTransferRequest r = downloadOf(c.names);
        r.direction = c.direction;
        r.sourcePattern = c.source;
        r.targetPattern = c.target;
        const MultiTransferPlan plan = planMultipleTransfers(r, c.selected);
        EXPECT_EQ(plan.kind, MultiTransferPlan::Kind::Error);
        EXPECT_EQ(plan.error.title, c.title);
        if (c.text != nullptr) {
            EXPECT_EQ(plan.error.text, c.text);
        }
        EXPECT_TRUE(plan.macroText.empty());
    }
}

TEST(TransferWildcards, PlanBuildsTheMacro) {
    MultiTransferRequest r = downloadOf({"USER.A.CNTL", "USER.B.DATA", "'USER.C.CNTL'"});
    r.sourcePattern = "user.*.cntl";
    r.targetPattern = "*.jcl";
    r.hostType = TransferHostType::Tso;
    MultiTransferPlan plan = planMultipleTransfers(r, 0);
    ASSERT_EQ(plan.kind, MultiTransferPlan::Kind::Macro);
    EXPECT_EQ(plan.transfers, 1);
    EXPECT_EQ(plan.macroText,
              "ReceiveFile(\"USER.A.CNTL\",\"/pc/A.jcl\",\"TEXT\",\"REPLACE\",\"TSO\")\n");

    // Selected entries without a star in the source: each by its member.
    r = downloadOf({"'U.X(M1)'", "'U.X(M2)'"});
    r.sourcePattern = "'U.X(M1)'";
    r.targetPattern = "*.txt";
    r.binary = true;
    r.append = true;
    plan = planMultipleTransfers(r, 2);
    ASSERT_EQ(plan.kind, MultiTransferPlan::Kind::Macro);
    EXPECT_EQ(plan.macroText,
              "ReceiveFile(\"'U.X(M1)'\",\"/pc/M1.txt\",\"BINARY\",\"APPEND\",\"TSO\")\n"
              "ReceiveFile(\"'U.X(M2)'\",\"/pc/M2.txt\",\"BINARY\",\"APPEND\",\"TSO\")\n");

    // Uploads: the matched part becomes a host name.
    MultiTransferRequest u;
    u.direction = TransferDirection::Upload;
    u.sourceNames = {"my_file.txt", "b.bin", "c d.txt"};
    u.pcFolder = "/home/u/";
    u.sourcePattern = "*.txt";
    u.targetPattern = "USER.*.TEXT";
    u.hostType = TransferHostType::Cms;
    plan = planMultipleTransfers(u, 0);
    ASSERT_EQ(plan.kind, MultiTransferPlan::Kind::Macro);
    EXPECT_EQ(plan.transfers, 2);
    EXPECT_EQ(plan.macroText,
              "SendFile(\"/home/u/my_file.txt\",\"USER.my#file.TEXT\",\"TEXT\",\"REPLACE\","
              "\"CMS\")\n"
              "SendFile(\"/home/u/c d.txt\",\"USER.c#d.TEXT\",\"TEXT\",\"REPLACE\",\"CMS\")\n");

    // No star anywhere: a single transfer.
    u.sourcePattern = "a.txt";
    u.targetPattern = "USER.A";
    EXPECT_EQ(planMultipleTransfers(u, 0).kind, MultiTransferPlan::Kind::Single);
}

}  // namespace
}  // namespace cedar
