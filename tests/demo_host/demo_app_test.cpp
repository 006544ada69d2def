// The demo host's panels and application: the shipped panel file, its
// parser's errors, and the panels as our own screen model shows them.
#include "demo_app.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "ebcdic.h"
#include "listings.h"
#include "record_builder.h"
#include "test_paths.h"

namespace cedar::demo {
namespace {

PanelSet shippedPanels() {
    std::string error;
    auto set = parsePanels(test::readFile(test::dataDir() + "/demo/panels.txt"), error);
    EXPECT_TRUE(set.has_value()) << error;
    return set.value_or(PanelSet{});
}

// An inbound record: the AID, the cursor and modified fields at positions.
Bytes inbound(std::uint8_t aid, std::vector<std::pair<int, std::string>> fields = {}) {
    Bytes out = {aid};
    const auto cursor = hostside::encodeAddress(0);
    out.insert(out.end(), cursor.begin(), cursor.end());
    for (const auto& [position, text] : fields) {
        out.push_back(0x11);
        const auto a = hostside::encodeAddress(position);
        out.insert(out.end(), a.begin(), a.end());
        const auto e = hostside::toEbcdic(text);
        out.insert(out.end(), e.begin(), e.end());
    }
    return out;
}

constexpr std::uint8_t kEnter = 0x7D, kPf3 = 0xF3, kPf7 = 0xF7, kPf8 = 0xF8, kClear = 0x6D,
                       kPa1 = 0x6C;
constexpr int kUserId = 6 * 80 + 25, kPassword = 8 * 80 + 25, kOption = 2 * 80 + 14,
              kQuantity = 3 * 80 + 20;

class DemoFlow : public ::testing::Test {
  protected:
    DemoFlow() : app_(panels_, terminal(2), [] { return std::string("12:00:00"); }) {}
    static hostside::Terminal terminal(int model) {
        hostside::Terminal t;
        t.type = "IBM-3278-" + std::to_string(model) + "-E";
        t.model = model;
        return t;
    }
    // Sends `record` (or starts), applies the answer to our screen model.
    DemoApp::Reply step(const Bytes& record) {
        auto reply = record.empty() ? app_.start() : app_.handle(record);
        for (const auto& r : reply.records)
            screen_.apply(r);
        return reply;
    }
    std::string row(int r) { return screen_.row(r); }

    PanelSet panels_ = shippedPanels();
    DemoApp app_;
    test::TestSession screen_;
};

TEST_F(DemoFlow, LogOnPageTheListAndLogOff) {
    step({});
    EXPECT_EQ(app_.panel(), "LOGON");
    EXPECT_EQ(row(0).substr(0, 16), " CEDAR DEMO HOST");
    EXPECT_NE(row(0).find("Terminal IBM-3278-2-E"), std::string::npos);

    step(inbound(kEnter, {{kPassword, "SECRET"}}));
    EXPECT_EQ(app_.panel(), "LOGON") << "a user id is needed";
    EXPECT_NE(row(21).find("Type a user id"), std::string::npos);
    EXPECT_EQ(row(8).find("SECRET"), std::string::npos) << "the password is never shown";

    step(inbound(kEnter, {{kUserId, "ibmuser"}, {kPassword, "SECRET"}}));
    EXPECT_EQ(app_.panel(), "MENU");
    EXPECT_NE(row(0).find("User IBMUSER"), std::string::npos);

    step(inbound(kEnter, {{kOption, "2"}}));
    EXPECT_EQ(app_.panel(), "LIST");
    EXPECT_NE(row(0).find("Page 1 of 17"), std::string::npos);
    const std::string firstLine = row(3);
    step(inbound(kPf7));
    EXPECT_NE(row(21).find("Top of the list."), std::string::npos);
    for (int page = 2; page <= 17; ++page)
        step(inbound(kPf8));
    EXPECT_NE(row(0).find("Page 17 of 17"), std::string::npos);
    EXPECT_NE(row(3), firstLine);
    step(inbound(kPf8));
    EXPECT_NE(row(21).find("Bottom of the list."), std::string::npos);

    step(inbound(kPf3));
    EXPECT_EQ(app_.panel(), "MENU");
    const auto bye = step(inbound(kEnter, {{kOption, "x"}}));
    EXPECT_EQ(app_.panel(), "BYE");
    EXPECT_TRUE(bye.close);
    EXPECT_NE(row(2).find("IBMUSER logged off"), std::string::npos);
}

TEST_F(DemoFlow, MessagesForKeysAndOptions) {
    step({});
    step(inbound(kEnter, {{kUserId, "me"}}));
    struct Case {
        Bytes record;
        const char* panel;
        const char* message;  // on row 21
    };
    const std::vector<Case> cases = {
        {inbound(kEnter, {{kOption, "9"}}), "MENU", "Option 9 is not valid."},
        {inbound(kEnter, {{kOption, "4"}}), "MENU", "needs a model 5 terminal"},
        {inbound(kPa1), "MENU", "PA1 pressed"},
        {{kClear}, "MENU", "CLEAR pressed"},
        {inbound(0xF5), "MENU", "PF5 is not active here."},
        {inbound(kEnter, {{kOption, "1"}}), "ENTRY", ""},
        {inbound(kEnter, {{kQuantity, "12.5"}}), "ENTRY", "Quantity must be a whole number."},
        {inbound(kEnter, {{kQuantity, "125"}}), "ENTRY", "quantity 125"},
    };
    for (const auto& c : cases) {
        step(c.record);
        EXPECT_EQ(app_.panel(), c.panel) << c.message;
        EXPECT_NE(row(21).find(c.message), std::string::npos) << row(21);
    }
    // What was typed stays with the session's panel.
    step(inbound(kPf3));
    step(inbound(kEnter, {{kOption, "1"}}));
    EXPECT_NE(row(3).find("125"), std::string::npos);
}

// Garbage from a client never crashes the application.
TEST_F(DemoFlow, ShortAndMalformedRecords) {
    step({});
    for (const Bytes& record :
         {Bytes{}, Bytes{0x7D}, Bytes{0x7D, 0x40}, Bytes{0x7D, 0x40, 0x40, 0x11},
          Bytes{0x7D, 0x40, 0x40, 0x11, 0xFF, 0xFF, 0xC1}, Bytes{0x00, 0x11, 0x11, 0x11}}) {
        step(record);
        EXPECT_EQ(app_.panel(), "LOGON");
    }
}

TEST(Panels, FileErrorsNameTheirLine) {
    const std::string base = "panel LOGON\nend\npanel MENU\nend\npanel BYE\nend\n";
    struct Case {
        std::string text;
        std::string error;
    };
    const std::vector<Case> cases = {
        {base + "panel X\n  text 1 1 \"open\nend\n", "line 8: a text without its closing \""},
        {base + "panel X\n  text 99 1 \"far\"\nend\n", "line 8: a row (0 to 61)"},
        {base + "panel X\n  input A 1 1 0\nend\n", "line 8: input NAME ROW COL LENGTH"},
        {base + "panel X\n  text 1 1 purple \"a\"\nend\n", "line 8: unknown word \"purple\""},
        {base + "panel X\n  key pf99 back\nend\n", "line 8: unknown key \"pf99\""},
        {base + "panel X\n  key enter fly\nend\n", "line 8: unknown action \"fly\""},
        {base + "panel X\n  key enter goto NOWHERE\nend\n", "panel X: no panel NOWHERE"},
        {base + "panel X\n  list 3 10 NONE\nend\n", "panel X: no source NONE"},
        {base + "panel X\n", "the file ends inside a panel"},
        {base + "panel MENU\nend\n", "line 7: MENU is there twice"},
        {"panel LOGON\nend\n", "no panel MENU"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(parsePanels(c.text, error).has_value()) << c.text;
        EXPECT_EQ(error.substr(0, c.error.size()), c.error) << error;
    }
}

TEST(Panels, LooksBecomeFieldAttributesAndExtendedAttributes) {
    PanelSet set;
    std::string error;
    auto parsed = parsePanels(
        "panel LOGON\n text 0 1 red reverse \"R\"\n input PIN 1 10 4 numeric hidden\nend\n"
        "panel MENU\nend\npanel BYE\nend\n",
        error);
    ASSERT_TRUE(parsed) << error;
    RenderInput input;
    input.variable = [](const std::string&) { return std::string(); };
    const auto r = renderPanel(parsed->panels.at("LOGON"), *parsed, input);
    // EW, WCC; SBA 0; SFE with protected attribute, reverse, red; "R".
    const Bytes head = {0xF5, 0xC3, 0x11, 0x40, 0x40, 0x29, 3,
                        0xC0, 0x60, 0x41, 0xF2, 0x42, 0xF2, 0xD9};
    ASSERT_GE(r.record.size(), head.size());
    EXPECT_EQ(Bytes(r.record.begin(), r.record.begin() + head.size()), head);
    // The input field: numeric and non-display (0x1C -> graphic 0x5C), then
    // the skip stopper (0x30 -> 0xF0).
    const Bytes field = {0x11, 0xC1, 0xD9, 0x1D, 0x5C, 0x11, 0xC1, 0x5E, 0x1D, 0xF0};
    EXPECT_NE(std::search(r.record.begin(), r.record.end(), field.begin(), field.end()),
              r.record.end());
    EXPECT_EQ(r.inputs.at(90), "PIN");
}

// The command line panel: IND$FILE starts the host's transfer program (its
// first record is the Read Partition Query), anything else is answered on
// the panel.
TEST(DemoCommandLine, RunsIndFileAndAnswersEverythingElse) {
    const PanelSet panels = shippedPanels();
    hostside::Terminal terminal;
    terminal.type = "IBM-3278-2-E";
    terminal.model = 2;
    char tmpl[] = "/tmp/cedar-demo-sets-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    const std::string folder = tmpl;
    hostside::DataSetStore store(folder);
    constexpr int kLine = 22 * 80 + 6;
    struct Case {
        bool withStore;
        std::string typed;
        bool transfer;        // the host's transfer program took over
        std::string message;  // else: row 21 holds this
    } cases[] = {
        {true, "IND$FILE PUT MY.DATA", true, ""},
        {true, "ind$file get my.data (ascii crlf", true, ""},
        {true, "IND$FILE", false, "TRANS13 Invalid IND$FILE command"},
        {true, "SUBMIT JOB", false, "Unknown command SUBMIT"},
        {true, "", false, "Type a command"},
        {false, "IND$FILE PUT MY.DATA", false, "This host runs no commands"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        DemoApp app(
            panels, terminal, [] { return std::string("12:00:00"); },
            c.withStore ? &store : nullptr);
        test::TestSession screen;
        auto apply = [&](const DemoApp::Reply& reply) {
            for (const auto& r : reply.records)
                screen.apply(r);
            return reply;
        };
        apply(app.start());
        apply(app.handle(inbound(kEnter, {{kUserId, "me"}})));
        apply(app.handle(inbound(kEnter, {{kOption, "5"}})));
        ASSERT_EQ(app.panel(), "COMMAND");
        EXPECT_NE(screen.row(2).find("IND$FILE PUT"), std::string::npos) << "the hint";
        const auto reply = app.handle(inbound(kEnter, {{kLine, c.typed}}));
        EXPECT_EQ(app.transferring(), c.transfer);
        if (c.transfer) {
            ASSERT_EQ(reply.records.size(), 1u);
            // Write Structured Field: Read Partition Query.
            EXPECT_EQ(reply.records[0][0], 0xF3);
            continue;
        }
        apply(reply);
        EXPECT_NE(screen.row(21).find(c.message), std::string::npos) << screen.row(21);
        EXPECT_EQ(screen.row(22).find(c.typed.empty() ? "#" : c.typed), std::string::npos)
            << "the command line starts empty again";
    }
    EXPECT_TRUE(store.names().empty());
    std::filesystem::remove_all(folder);
}

// The listing commands over a store's names: data sets at a level, the
// members of a partitioned data set, CMS files by pattern, and what each
// answers when nothing matches.
TEST(DemoListings, CatalogMembersAndFiles) {
    const std::vector<std::string> names = {"USER.CNTL(ALLOC)", "USER.CNTL(BUILD)", "USER.DATA",
                                            "OTHER.X",          "PROFILE EXEC A",   "NOTES TEXT"};
    const std::string inCatalog = "     IN-CAT --- CATALOG.DEMO";
    const struct {
        std::string command;
        std::vector<std::string> body;  // after the command's echo
    } cases[] = {
        {"listcat level(user)",
         {"NONVSAM ------- USER.CNTL", inCatalog, "NONVSAM ------- USER.DATA", inCatalog, "READY"}},
        {"LISTC LEVEL('OTHER')", {"NONVSAM ------- OTHER.X", inCatalog, "READY"}},
        {"LISTCAT LEVEL(NONE)", {"NO DATA SETS AT LEVEL NONE", "READY"}},
        {"LISTDS 'USER.CNTL' MEMBERS",
         {"USER.CNTL", "--RECFM-LRECL-BLKSIZE-DSORG", "  VB    255   27998   PO", "--VOLUMES--",
          "  DEMO01", "--MEMBERS--", "  ALLOC", "  BUILD", "READY"}},
        {"LISTD USER.DATA MEMBERS",
         {"USER.DATA", "--RECFM-LRECL-BLKSIZE-DSORG", "  VB    255   27998   PS", "--VOLUMES--",
          "  DEMO01", "READY"}},
        {"LISTDS USER.NONE MEMBERS", {"USER.NONE NOT IN CATALOG", "READY"}},
        {"LISTFILE * * A", {"NOTES    TEXT     A1", "PROFILE  EXEC     A1", "Ready;"}},
        {"listfile pro* exec", {"PROFILE  EXEC     A1", "Ready;"}},
        {"LISTF X* * *", {"DMSLST002E File not found", "Ready;"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        const auto lines = listingFor(c.command, names);
        ASSERT_TRUE(lines.has_value());
        ASSERT_FALSE(lines->empty());
        EXPECT_EQ(lines->front(), c.command);
        EXPECT_EQ(std::vector<std::string>(lines->begin() + 1, lines->end()), c.body);
    }
    EXPECT_FALSE(listingFor("IND$FILE PUT X", names).has_value());
    EXPECT_FALSE(listingFor("", names).has_value());
}

// A listing longer than the screen comes a screen at a time: "***" on the
// last output row, Enter on the empty command line for the next, "READY"
// after the last line; Clear then leaves the output. Names show as they
// are, "&" included.
TEST(DemoCommandLine, ListingsComeAScreenAtATime) {
    const PanelSet panels = shippedPanels();
    hostside::Terminal terminal;
    terminal.type = "IBM-3278-2-E";
    terminal.model = 2;
    hostside::DataSetStore store;
    for (int i = 0; i < 14; ++i)
        ASSERT_TRUE(store.put("USER.SET" + std::to_string(10 + i), hostside::DataSet{}));
    ASSERT_TRUE(store.put("USER.R&D", hostside::DataSet{}));
    DemoApp app(
        panels, terminal, [] { return std::string("12:00:00"); }, &store);
    test::TestSession screen;
    auto send = [&](const Bytes& record) {
        for (const auto& r : (record.empty() ? app.start() : app.handle(record)).records)
            screen.apply(r);
    };
    constexpr int kLine = 22 * 80 + 6;
    send({});
    send(inbound(kEnter, {{kUserId, "me"}}));
    send(inbound(kEnter, {{kOption, "5"}}));
    send(inbound(kEnter, {{kLine, "listcat level(user)"}}));
    // The echo, then 15 data sets of two lines each, then READY: 32 lines.
    EXPECT_NE(screen.row(0).find("listcat level(user)"), std::string::npos) << screen.row(0);
    EXPECT_NE(screen.row(1).find("NONVSAM ------- USER.R&D"), std::string::npos) << screen.row(1);
    EXPECT_NE(screen.row(19).find("NONVSAM ------- USER.SET18"), std::string::npos);
    EXPECT_NE(screen.row(20).find("***"), std::string::npos) << screen.row(20);
    send(inbound(kEnter));
    EXPECT_NE(screen.row(0).find("IN-CAT"), std::string::npos) << screen.row(0);
    EXPECT_NE(screen.row(9).find("NONVSAM ------- USER.SET23"), std::string::npos) << screen.row(9);
    EXPECT_NE(screen.row(11).find("READY"), std::string::npos) << screen.row(11);
    EXPECT_EQ(screen.row(20).find("***"), std::string::npos);
    send(inbound(kClear));
    EXPECT_EQ(app.panel(), "COMMAND");
}

// A store with a folder keeps data sets as its files; names that are no
// plain file name never reach the file system.
TEST(DataSetFolder, KeepsDataSetsAsFilesAndRefusesOtherNames) {
    char tmpl[] = "/tmp/cedar-demo-sets-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    const std::string folder = std::string(tmpl) + "/sets";
    std::filesystem::create_directory(folder);
    hostside::DataSetStore store(folder);
    const Bytes bytes = {0x00, 0xFF, 0x1A, 0x0A, 'x'};
    EXPECT_TRUE(store.put("MY.DATA", {bytes, "ASCII"}));
    EXPECT_TRUE(store.append("MY.DATA", {{'y'}, ""}));
    EXPECT_TRUE(store.put("FN FT A", {{}, ""}));
    std::ifstream file(folder + "/MY.DATA", std::ios::binary);
    const Bytes onDisk{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    Bytes expected = bytes;
    expected.push_back('y');
    EXPECT_EQ(onDisk, expected);
    ASSERT_TRUE(store.get("MY.DATA").has_value());
    EXPECT_EQ(store.get("MY.DATA")->bytes, expected);
    ASSERT_TRUE(store.get("FN FT A").has_value());
    EXPECT_TRUE(store.get("FN FT A")->bytes.empty()) << "an empty data set is still there";
    EXPECT_EQ(store.names(), (std::vector<std::string>{"FN FT A", "MY.DATA"}));

    for (const std::string& name :
         std::vector<std::string>{"", ".", "..", "../UP", "A/B", "/etc/passwd", "A\\B", "X..Y",
                                  std::string("A\nB"), std::string("A\0B", 3)}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(store.acceptsName(name));
        EXPECT_FALSE(store.put(name, {bytes, ""}));
        EXPECT_FALSE(store.append(name, {bytes, ""}));
        EXPECT_FALSE(store.get(name).has_value());
        EXPECT_FALSE(store.erase(name));
    }
    EXPECT_FALSE(std::filesystem::exists(std::string(tmpl) + "/UP"));
    EXPECT_EQ(store.names().size(), 2u) << "nothing else was written";
    EXPECT_FALSE(store.get("NOT.THERE").has_value());
    EXPECT_TRUE(store.erase("MY.DATA"));
    EXPECT_FALSE(std::filesystem::exists(folder + "/MY.DATA"));
    // In memory every name is a key of its own.
    hostside::DataSetStore memory;
    EXPECT_TRUE(memory.acceptsName("../UP"));
    std::filesystem::remove_all(tmpl);
}

}  // namespace
}  // namespace cedar::demo
