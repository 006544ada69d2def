// The "transfer" command line of cedar_headless: what each option puts
// into the request, and the lines refused.
#include "headless_transfer.h"

#include <gtest/gtest.h>

#include <sstream>

namespace cedar::headless {
namespace {

std::vector<std::string> split(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> out;
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

TEST(HeadlessTransfer, OptionsShapeTheCommand) {
    struct Case {
        const char* line;
        const char* command;  // the IND$FILE command the request types
        bool binary;
        int timeout;
    };
    const Case cases[] = {
        {"transfer send a.txt user.data", "IND$FILE PUT USER.DATA ASCII CRLF ", false, 600},
        {"transfer SEND a.txt u.d binary append cms lrecl=80 recfm=f",
         "IND$FILE PUT U.D ( APPEND LRECL 80 RECFM F ) ", true, 600},
        {"transfer send a u.d SPACE=5,2 cylinders blksize=6160 recfm=v noascii timeout=30",
         "IND$FILE PUT U.D CRLF SPACE(5 2) CYLINDERS BLKSIZE(6160) RECFM(V) ", false, 30},
        {"transfer receive a.bin 'U.LOAD(M)' BINARY CICS", "IND$FILE GET 'U.LOAD(M)' (BINARY ) ",
         true, 600},
        {"transfer receive a u.d nocrlf parms=Mode(x) text", "IND$FILE GET U.D ASCII MODE(X) ",
         false, 600},
        {"transfer receive a u.d binary text", "IND$FILE GET U.D ASCII CRLF ", false, 600},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        TransferCommandLine parsed;
        std::string error;
        ASSERT_TRUE(parseTransferCommand(split(c.line), parsed, error)) << error;
        const TransferRequest& r = parsed.request;
        EXPECT_EQ(transferCommand(r.direction, r.program, r.hostName, r.command, '$'), c.command);
        EXPECT_EQ(r.binary, c.binary);
        EXPECT_EQ(parsed.timeoutSeconds, c.timeout);
    }
}

TEST(HeadlessTransfer, BadLinesAreRefused) {
    const char* lines[] = {
        "transfer",
        "transfer send a",
        "transfer copy a b",
        "transfer send a b frobnicate",
        "transfer send a b lrecl=",
        "transfer send a b lrecl=100000",
        "transfer send a b lrecl=-1",
        "transfer send a b recfm=u",
        "transfer send a b space=1,",
        "transfer send a b space=x",
        "transfer send a b timeout=0",
        "transfer send a b timeout=99999999999999999999",
        "transfer send a b size=5",
    };
    for (const char* line : lines) {
        SCOPED_TRACE(line);
        TransferCommandLine parsed;
        std::string error;
        EXPECT_FALSE(parseTransferCommand(split(line), parsed, error));
        EXPECT_NE(error.find("usage: transfer"), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace cedar::headless
