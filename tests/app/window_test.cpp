// cedar_tn3270 as a user meets it, on an X display with a window manager:
// real X key events typed into the window reach the host as a 3270 record;
// a resized window settles on the size of the cell chosen for it; closing it
// through the window manager asks, saves the session file and ends the
// program (and saves nothing with NoSessionSave). Also the README's first
// command's demo path: the window on the demo host, stopped with the window.
#include <gtest/gtest.h>

#include <thread>

#include "child_process.h"
#include "display/cell_size.h"
#include "oracles.h"
#include "program_run.h"
#include "record_builder.h"
#include "replay_host.h"
#include "screen/record_processor.h"
#include "sessionfile/session_file.h"
#include "x_desktop.h"

namespace cedar {
namespace {

using test::ProgramRun;
using test::ReplayHost;
using test::TempFolder;
using test::XDesktop;
using Record = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

constexpr int kField = 90;  // row 2, column 11 of 24 x 80

// A screen with one input field, the cursor in it.
Record inputScreen() {
    return test::RecordBuilder(cmd::kEraseWrite, 0xC3)
        .sba(0)
        .sf(0x60)
        .text("TYPE HERE")
        .sba(kField - 1)
        .sf(0x40)
        .ic()
        .sba(kField + 20)
        .sf(0x60)
        .bytes();
}

bool contains(const Record& haystack, const Record& needle) {
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) !=
           haystack.end();
}

sessionfile::SessionOptions sessionIn(const std::string& path) {
    const std::string bytes = test::readBytes(path);
    sessionfile::SessionFile file;
    const auto result = file.load(
        "standard.ses", {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
    EXPECT_TRUE(result.ok) << path;
    return file.options;
}

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        CEDAR_REQUIRE_ORACLE(XDesktop::available(),
                             "an X display (xvfb-run), openbox, xdotool, wmctrl");
        std::string error;
        ASSERT_TRUE(XDesktop::startShared(error)) << error;
    }

    // The user's own folder before the first start: the shipped session
    // file, and `ini` as cedar.ini.
    std::string prepareAppData(const std::string& ini) {
        const std::string appData = test::appDataOf(home_.path());
        test::writeBytes(appData + "/standard.ses",
                         test::readBytes(std::string(CEDAR_DATA_DIR) + "/defaults/standard.ses"));
        test::writeBytes(appData + "/standard.key",
                         test::readBytes(std::string(CEDAR_DATA_DIR) + "/defaults/standard.key"));
        test::writeBytes(appData + "/cedar.ini", ini);
        return appData;
    }

    // Starts the program against the host and waits until its window shows the screen.
    std::string startAgainst(ReplayHost& host, ProgramRun& program) {
        EXPECT_TRUE(host.start()) << host.error();
        EXPECT_TRUE(program.start({"--host", "127.0.0.1", "--port", std::to_string(host.port())}));
        EXPECT_TRUE(host.waitForSync(20s)) << program.output();
        const auto window = XDesktop::findWindow("Cedar TN3270", 20s);
        EXPECT_TRUE(window) << program.output();
        return window.value_or("");
    }

    TempFolder home_;
};

TEST_F(WindowTest, KeysTypedIntoTheWindowReachTheHostAndClosingSavesTheSession) {
    const std::string appData = prepareAppData("[Cedar]\r\n");
    const std::string before = test::readBytes(appData + "/standard.ses");
    ReplayHost host({.records = {inputScreen()}});
    ProgramRun program(CEDAR_TN3270, home_.path());
    const std::string window = startAgainst(host, program);
    ASSERT_FALSE(window.empty());
    ASSERT_TRUE(XDesktop::activate(window));

    // Real key events: letters, then the Enter key.
    ASSERT_TRUE(XDesktop::run({"xdotool", "type", "--delay", "30", "hello"}));
    ASSERT_TRUE(XDesktop::run({"xdotool", "key", "Return"}));
    ASSERT_TRUE(host.waitForRecords(1, 10s)) << program.output();
    const Record sent = host.clientRecords().at(0);
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(sent[0], 0x7D) << "the Enter AID";
    EXPECT_TRUE(contains(sent, {0x11}));
    EXPECT_TRUE(contains(sent, {0x88, 0x85, 0x93, 0x93, 0x96})) << "\"hello\" in EBCDIC";

    // A resized window takes the cell that fits it, then the size of that cell.
    ASSERT_TRUE(XDesktop::run({"xdotool", "windowsize", window, "1000", "700"}));
    const auto options = sessionIn(appData + "/standard.ses");
    display::WindowMetrics metrics;
    metrics.clientWidth = 1000;
    metrics.clientHeight = 700;
    metrics.toolBarHeight = 0;
    display::CellRequest request;
    request.borderSize = static_cast<int>(options.number(sessionfile::Field::BorderSize));
    const auto cell = display::chooseScalableCell(metrics, request, std::nullopt, {});
    display::LayoutRequest layout;
    layout.cell = cell;
    layout.sizeWindowToFont = true;
    layout.borderSize = request.borderSize;
    const auto expected = display::layoutWindow(metrics, {}, layout).windowSize;
    ASSERT_TRUE(expected);
    std::optional<test::WindowGeometry> g;
    for (int i = 0; i < 50; ++i) {
        std::this_thread::sleep_for(100ms);
        g = XDesktop::geometry(window);
        if (g && g->width == expected->width && g->height == expected->height) break;
    }
    ASSERT_TRUE(g);
    EXPECT_EQ(g->width, expected->width) << "cell " << cell.width << " x " << cell.height;
    EXPECT_EQ(g->height, expected->height);

    // Closed through the window manager: the question, the save, the end.
    ASSERT_TRUE(XDesktop::run({"wmctrl", "-c", "Cedar TN3270"}));
    const auto status = program.wait(15s);
    ASSERT_TRUE(status) << program.output();
    EXPECT_EQ(*status, 0);
    EXPECT_NE(program.output().find("message box: Cedar TN3270: Ok to close session A ?"),
              std::string::npos)
        << program.output();
    const std::string after = test::readBytes(appData + "/standard.ses");
    EXPECT_NE(after, before);
    const auto saved = sessionIn(appData + "/standard.ses");
    EXPECT_EQ(saved.text(sessionfile::Field::HostName), "127.0.0.1");
    EXPECT_GE(saved.number(sessionfile::Field::WindowWidth), expected->width);
    EXPECT_LE(saved.number(sessionfile::Field::WindowWidth), expected->width + 20);
}

TEST_F(WindowTest, NoSessionSaveLeavesTheSessionFileAsItWas) {
    const std::string appData = prepareAppData("[Cedar]\r\nNoSessionSave=1\r\n");
    const std::string before = test::readBytes(appData + "/standard.ses");
    ReplayHost host({.records = {inputScreen()}});
    ProgramRun program(CEDAR_TN3270, home_.path());
    const std::string window = startAgainst(host, program);
    ASSERT_FALSE(window.empty());
    ASSERT_TRUE(XDesktop::run({"xdotool", "windowsize", window, "900", "650"}));
    std::this_thread::sleep_for(600ms);
    ASSERT_TRUE(XDesktop::run({"wmctrl", "-c", "Cedar TN3270"}));
    const auto status = program.wait(15s);
    ASSERT_TRUE(status) << program.output();
    EXPECT_EQ(*status, 0);
    EXPECT_EQ(test::readBytes(appData + "/standard.ses"), before);
}

// bash scripts/run.sh with the programs of this build: the demo host on a
// free port, the window connected to it with a home folder of the demo's
// own, and the demo host stopped once the window is closed.
TEST_F(WindowTest, RunScriptOpensTheWindowOnTheDemoHostAndStopsItAtTheEnd) {
    TempFolder demoHome;
    ProgramRun script("bash", home_.path());
    ASSERT_TRUE(script.start(
        {std::string(CEDAR_SOURCE_DIR) + "/scripts/run.sh"},
        {"CEDAR_BUILD_DIR=" + std::string(CEDAR_BUILD_DIR), "CEDAR_DEMO_HOME=" + demoHome.path()}));
    const auto window = XDesktop::findWindow("Cedar TN3270 A - 127.0.0.1", 30s);
    ASSERT_TRUE(window) << script.output();
    // The session's host and port went to the demo's own folder only.
    const std::string appData = test::appDataOf(demoHome.path());
    std::optional<sessionfile::SessionOptions> session;
    for (int i = 0; i < 50 && !session; ++i) {
        if (!test::readBytes(appData + "/standard.ses").empty())
            session = sessionIn(appData + "/standard.ses");
        else
            std::this_thread::sleep_for(100ms);
    }
    ASSERT_TRUE(session);
    const int port = static_cast<int>(session->number(sessionfile::Field::Port));
    ASSERT_GT(port, 0);
    EXPECT_TRUE(test::readBytes(test::appDataOf(home_.path()) + "/standard.ses").empty());

    ASSERT_TRUE(XDesktop::run({"wmctrl", "-c", "Cedar TN3270"}));
    const auto status = script.wait(20s);
    ASSERT_TRUE(status) << script.output();
    EXPECT_EQ(*status, 0) << script.output();
    // Nothing listens on the demo host's port any more.
    EXPECT_NE(
        test::runProcess({"bash", "-c", "exec 3<>/dev/tcp/127.0.0.1/" + std::to_string(port)}, 5s),
        0);
}

}  // namespace
}  // namespace cedar
