// A macro does a user's day against cedar_demo_host through cedar_headless:
// it logs on, pages the data set list with PF8 until a name appears, scrapes
// that line with the screen functions, writes it to a file, asks the user
// with a message box and an edit box, and logs off.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "child_process.h"
#include "headless_process.h"

namespace cedar {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

constexpr const char* kDayMacro =
    "* Logs on, finds a data set on a later page, keeps its line\r\n"
    "WAITUNLOCKED(10)\r\n"
    "TYPE(\"macuser\")\r\n"
    "KEY(\"Tab\")\r\n"
    "TYPE(\"secret\")\r\n"
    "KEY(\"Enter\")\r\n"
    "WAITUNLOCKED(10)\r\n"
    "IF ONSCREEN(\"main menu\") = 0 THEN\r\n"
    "  EXIT 2\r\n"
    "ENDIF\r\n"
    "TYPE(\"2\")\r\n"
    "KEY(\"Enter\")\r\n"
    "WAITUNLOCKED(10)\r\n"
    "pages = 1\r\n"
    "WHILE ONSCREEN(\"TEST.LOADLIB.OBJ.V5\") = 0\r\n"
    "  IF pages > 20 THEN\r\n"
    "    EXIT 3\r\n"
    "  ENDIF\r\n"
    "  KEY(\"PF8\")\r\n"
    "  WAITUNLOCKED(10)\r\n"
    "  pages = pages + 1\r\n"
    "ENDWHILE\r\n"
    "line = TRIM(SCREEN(ONSCREENROW, ONSCREENCOL, 72))\r\n"
    "volume = MID(line, INSTR(0, line, \"VOL\"), 6)\r\n"
    "h = OPEN(\"found\\\\dataset.txt\", \"OUTPUT\")\r\n"
    "PUT(h, line)\r\n"
    "PUT(h, \"page \" + STR(pages) + \" \" + volume)\r\n"
    "CLOSE(h)\r\n"
    "IF MESSAGEBOX(\"Log off now?\", \"Demo\", 2, 4) = 6 THEN\r\n"
    "  note = EDITBOX(\"A note for the file\", \"Note\")\r\n"
    "  h = OPEN(\"found/dataset.txt\", \"APPEND\")\r\n"
    "  PUT(h, note)\r\n"
    "  CLOSE(h)\r\n"
    "  KEY(\"PF3\")\r\n"
    "  WAITUNLOCKED(10)\r\n"
    "  KEY(\"PF3\")\r\n"
    "ENDIF\r\n"
    "DEBUG(\"on \" + volume)\r\n";

TEST(HeadlessMacroDemo, LogsOnPagesScrapesWritesAndLogsOff) {
    char tmpl[] = "/tmp/cedar-headless-demo-XXXXXX";
    const std::string home = ::mkdtemp(tmpl);
    const std::string appData = home + "/Documents/Larkfield/CedarTN3270";
    fs::create_directories(appData + "/macros");
    std::ofstream(appData + "/macros/day.mac", std::ios::binary) << kDayMacro;

    pid_t demo = -1;
    const int port = test::startListeningProgram({CEDAR_DEMO_HOST}, home + "/demo.log", demo);
    ASSERT_GT(port, 0) << readText(home + "/demo.log");
    {
        test::HeadlessProcess p(CEDAR_HEADLESS, home, 30s);
        ASSERT_TRUE(p.start({"127.0.0.1:" + std::to_string(port), "--answer", "yes", "--answer",
                             "seen by the macro"}))
            << p.failure();
        const auto connected = p.command("connect");
        ASSERT_TRUE(connected.ok) << connected.error << "\n" << p.diagnostics();

        const auto a = p.command("macro day");
        EXPECT_TRUE(a.ok) << a.error << "\n" << p.diagnostics();
        EXPECT_EQ(a.lines, (std::vector<std::string>{"message box Demo: Log off now?",
                                                     "edit box Note: A note for the file",
                                                     "debug on VOL001"}));
        // The macro's last PF3 logged off: the host shows its goodbye and ends
        // the connection, after which the session comes back to the logon
        // panel on a new one.
        bool loggedOff = false;
        for (int i = 0; i < 50 && !loggedOff; ++i) {
            const auto s = p.command("screen");
            for (const auto& l : s.lines)
                if (l.find("logged off") != std::string::npos ||
                    l.find("User ID  ===>") != std::string::npos)
                    loggedOff = true;
            if (!loggedOff) std::this_thread::sleep_for(100ms);
        }
        EXPECT_TRUE(loggedOff);
        p.stop();
    }
    test::stopProcess(demo, 2s);

    EXPECT_EQ(readText(appData + "/found/dataset.txt"),
              "TEST.LOADLIB.OBJ.V5                           VOL001  2026/12/15    8573\n"
              "page 3 VOL001\n"
              "seen by the macro\n");
    fs::remove_all(home);
}

}  // namespace
}  // namespace cedar
