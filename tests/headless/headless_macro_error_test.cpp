// Macro error reports through cedar_headless: the failing macro's name, the
// line of the failing statement and the column counted from the
// statement's own start (after ";" too), the stop of the whole chain when a
// nested macro fails, and error 21 with the failed open's errno.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "headless_process.h"

namespace cedar {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

class HeadlessMacroError : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/cedar-headless-error-XXXXXX";
        home_ = ::mkdtemp(tmpl);
        macros_ = home_ + "/Documents/Larkfield/CedarTN3270/macros";
        fs::create_directories(macros_);
    }
    void TearDown() override { fs::remove_all(home_); }
    void writeMacro(const std::string& name, const std::string& text) {
        std::ofstream(macros_ + "/" + name, std::ios::binary) << text;
    }
    std::string home_;
    std::string macros_;
};

TEST_F(HeadlessMacroError, ReportsNameLineAndStatementColumnAndStopsTheChain) {
    writeMacro("second.mac", "x = 1\r\ny = 2;   z = y + NOSUCH\r\nCONTROL(1)\r\nw = 3\r\n");
    writeMacro("inner.mac", "* inner\r\nq = 1\r\n\r\nq = q + nope\r\n");
    writeMacro("outer.mac", "a = 1\r\nRUN(\"inner\")\r\nCONTROL(1)\r\nb = 2\r\n");
    writeMacro("run-then-fail.mac", "RUN(\"ok\")\r\nCONTROL(1)\r\nc = 1; d = c + nope\r\n");
    writeMacro("ok.mac", "d = 4\r\n");

    test::HeadlessProcess p(CEDAR_HEADLESS, home_, 20s);
    ASSERT_TRUE(p.start({"127.0.0.1:9"})) << p.failure();
    struct Case {
        const char* command;
        Lines lines;
        const char* error;
    };
    const Case cases[] = {
        // The second statement of line 2: the column counts from "z".
        {"macro second",
         {"macro error in second.mac at line 2, column 9"},
         "10 Variable or function not found"},
        // The nested macro is named; its caller does not go on after RUN.
        {"macro outer",
         {"macro error in inner.mac at line 4, column 9"},
         "10 Variable or function not found"},
        // After a nested macro ended normally, an error belongs to the caller again.
        {"macro run-then-fail",
         {"debug c = 1", "debug d = c + nope",
          "macro error in run-then-fail.mac at line 3, column 9"},
         "10 Variable or function not found"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        const auto a = p.command(c.command);
        EXPECT_FALSE(a.ok);
        EXPECT_EQ(a.lines, c.lines);
        EXPECT_EQ(a.error, c.error);
    }
    // The chain is gone: a new macro starts on its own.
    const auto a = p.command("run CONTROL(1); e = 5");
    EXPECT_TRUE(a.ok) << a.error;
    EXPECT_EQ(a.lines, Lines{"debug e = 5"});
    EXPECT_EQ(p.stop(), 0);
}

TEST_F(HeadlessMacroError, AFailedOpenReportsTheSystemsErrorNumber) {
    fs::create_directories(home_ + "/Documents/Larkfield/CedarTN3270/closed");
    test::HeadlessProcess p(CEDAR_HEADLESS, home_, 20s);
    ASSERT_TRUE(p.start({"127.0.0.1:9"})) << p.failure();
    struct Case {
        const char* statements;
        int errnoValue;
    };
    std::vector<Case> cases = {{"h = OPEN(\"absent.txt\", \"INPUT\")", ENOENT},
                               {"h = OPEN(\"closed\", \"INPUT\")", EISDIR}};
    if (::geteuid() != 0) {
        fs::permissions(home_ + "/Documents/Larkfield/CedarTN3270/closed",
                        fs::perms::owner_read | fs::perms::owner_exec);
        cases.push_back({"h = OPEN(\"closed/new.txt\", \"OUTPUT\")", EACCES});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.statements);
        const auto a = p.command(std::string("run ") + c.statements);
        EXPECT_EQ(a.error, "21 File open error");
        ASSERT_FALSE(a.lines.empty());
        EXPECT_EQ(a.lines.back(), "Windows errno (from fopen) = " + std::to_string(c.errnoValue));
    }
    fs::permissions(home_ + "/Documents/Larkfield/CedarTN3270/closed", fs::perms::owner_all);
    EXPECT_EQ(p.stop(), 0);
}

}  // namespace
}  // namespace cedar
