// The listing macros that come with the program, played as the transfer
// dialogs' List and Members buttons play them, against cedar_demo_host's
// TSO and CMS listings: every data set, member and file arrives, over
// several screens, in the form a transfer then takes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "child_process.h"
#include "headless_process.h"

namespace cedar {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::vector<std::string> entries(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (const auto& l : lines)
        if (l.rfind("entry ", 0) == 0) out.push_back(l.substr(6));
    return out;
}

TEST(HeadlessHostList, ListAndMembersFillTheHostListFromTheHostsListings) {
    char tmpl[] = "/tmp/cedar-headless-list-XXXXXX";
    const std::string home = ::mkdtemp(tmpl);
    const std::string sets = home + "/sets";
    fs::create_directories(sets);
    fs::create_directories(home + "/Documents/Larkfield/CedarTN3270/macros");
    // 14 data sets (more than one screen of LISTCAT), 25 members of one
    // (more than one screen of LISTDS), two CMS files.
    std::vector<std::string> dataSets = {"USER.CNTL", "USER.DATA"}, members;
    for (int i = 10; i < 22; ++i)
        dataSets.push_back("USER.SET" + std::to_string(i));
    members.push_back("ALLOC");
    for (int i = 10; i < 34; ++i)
        members.push_back("M" + std::to_string(i));
    for (const auto& name : dataSets)
        if (name != "USER.CNTL") std::ofstream(sets + "/" + name) << name;
    for (const auto& m : members)
        std::ofstream(sets + "/USER.CNTL(" + m + ")") << "member " << m << "\n";
    std::ofstream(sets + "/OTHER.X") << "x";
    std::ofstream(sets + "/PROFILE EXEC A") << "p";
    std::ofstream(sets + "/NOTES TEXT A") << "n";

    pid_t demo = -1;
    const int port = test::startListeningProgram({CEDAR_DEMO_HOST, "--data-sets", sets},
                                                 home + "/demo.log", demo);
    ASSERT_GT(port, 0);
    {
        test::HeadlessProcess p(CEDAR_HEADLESS, home, 60s);
        ASSERT_TRUE(p.start({"127.0.0.1:" + std::to_string(port)})) << p.failure();
        for (const char* c : {"connect", "wait unlock 10", "type me", "key Enter", "wait unlock 10",
                              "type 5", "key Enter", "wait unlock 10"}) {
            const auto a = p.command(c);
            ASSERT_TRUE(a.ok) << c << ": " << a.error << "\n" << p.diagnostics();
        }

        // List with a level: the names as LISTCAT shows them.
        auto a = p.command("hostlist tso USER");
        ASSERT_TRUE(a.ok) << a.error << "\n" << p.diagnostics();
        EXPECT_EQ(entries(a.lines), dataSets);

        // Without a level each name is fully qualified in quotes.
        a = p.command("hostlist tso");
        ASSERT_TRUE(a.ok) << a.error;
        std::vector<std::string> quoted{"'OTHER.X'"};
        for (const auto& name : dataSets)
            quoted.push_back("'" + name + "'");
        EXPECT_EQ(entries(a.lines), quoted);

        // Members of the name up to "(": quoted as the name was.
        a = p.command("hostlist members 'USER.CNTL(ALLOC)'");
        ASSERT_TRUE(a.ok) << a.error;
        std::vector<std::string> expected;
        for (const auto& m : members)
            expected.push_back("'USER.CNTL(" + m + ")'");
        EXPECT_EQ(entries(a.lines), expected);
        a = p.command("hostlist members USER.CNTL USER");
        ASSERT_TRUE(a.ok) << a.error;
        ASSERT_EQ(entries(a.lines).size(), members.size());
        EXPECT_EQ(entries(a.lines).back(), "USER.CNTL(M33)");
        a = p.command("hostlist members USER.DATA");
        ASSERT_TRUE(a.ok) << a.error;
        EXPECT_TRUE(entries(a.lines).empty()) << "a sequential data set has no members";

        a = p.command("hostlist cms");
        ASSERT_TRUE(a.ok) << a.error;
        EXPECT_EQ(entries(a.lines), (std::vector<std::string>{"NOTES TEXT A", "PROFILE EXEC A"}));
        a = p.command("hostlist cms * EXEC");
        ASSERT_TRUE(a.ok) << a.error;
        EXPECT_EQ(entries(a.lines), (std::vector<std::string>{"PROFILE EXEC A"}));

        // A listed member downloads under its listed name.
        a = p.command("transfer receive " + home + "/m33.txt 'USER.CNTL(M33)' BINARY");
        EXPECT_TRUE(a.ok) << a.error << "\n" << p.diagnostics();

        EXPECT_FALSE(p.command("hostlist cics").ok);
        EXPECT_FALSE(p.command("hostlist").ok);
        EXPECT_FALSE(p.command("hostlist members (M)").ok) << "no data set to list";
        p.stop();
    }
    test::stopProcess(demo, 2s);
    std::ifstream in(home + "/m33.txt", std::ios::binary);
    std::ostringstream got;
    got << in.rdbuf();
    EXPECT_EQ(got.str(), "member M33\n");
    fs::remove_all(home);
}

}  // namespace
}  // namespace cedar
