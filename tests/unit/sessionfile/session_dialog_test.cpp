// The SESSION dialog's decisions, driven as a user drives the dialog.
#include "sessionfile/session_dialog.h"

#include <gtest/gtest.h>

#include <map>

#include "sessionfile/standard_session.h"

namespace cedar::sessionfile {
namespace {

using Model = SessionDialogModel;

SessionOptions sessionFor(const std::string& host, int model = 0) {
    auto o = standardSessionOptions();
    EXPECT_TRUE(o.setText(Field::HostName, host));
    EXPECT_TRUE(o.setNumber(Field::TerminalModel, model));
    return o;
}

HostList hostsNamed(std::initializer_list<const char*> names) {
    HostList list;
    for (const char* n : names)
        EXPECT_EQ(list.add(n).status, HostList::AddStatus::Added);
    return list;
}

struct Files {
    std::map<std::string, SessionOptions> byName;
    Model::Loader loader() {
        return [this](const std::string& name) -> std::optional<SessionOptions> {
            auto it = byName.find(name);
            if (it == byName.end()) return std::nullopt;
            return it->second;
        };
    }
};

TEST(SessionDialog, OpensOnTheLastSessionWithItsHostAndModel) {
    Files files;
    files.byName["tso.ses"] = sessionFor("mvs2", 3);
    Model::Start start;
    start.sessionFiles = {"standard.ses", "tso.ses"};
    start.lastSession = "tso";
    start.hideSesExtension = true;
    Model m(hostsNamed({"mvs1", "mvs2"}), start, files.loader());
    EXPECT_EQ(m.sessionFileItems(), (std::vector<std::string>{"STANDARD", "TSO"}));
    EXPECT_EQ(m.sessionFileText(), "TSO");
    EXPECT_EQ(m.hostRow(), 1);
    EXPECT_EQ(m.hostText(), "mvs2");
    EXPECT_EQ(m.model(), 3);
    EXPECT_FALSE(m.hostBoxFocus());

    // A connect time-out's file comes first; an unlisted host selects the first.
    files.byName["cics.ses"] = sessionFor("elsewhere");
    start.timeoutSessionFile = "cics.ses";
    Model again(hostsNamed({"mvs1", "mvs2"}), start, files.loader());
    EXPECT_EQ(again.sessionFileText(), "CICS");
    EXPECT_EQ(again.hostRow(), 0);
}

TEST(SessionDialog, AnEmptyHostListShowsTheSampleHostAndAsksForAName) {
    Files files;
    Model::Start start;
    start.sessionFiles = {"standard.ses"};
    Model m(HostList{}, start, files.loader());
    EXPECT_EQ(m.hostText(), kSampleHostName);
    EXPECT_TRUE(m.hostBoxFocus());
    EXPECT_EQ(m.port(), 23);
    EXPECT_TRUE(m.tn3270e());
    // The sample name is never added: Connect has no host.
    const auto out = m.commit(Model::Action::Connect);
    EXPECT_EQ(out.kind, Model::Outcome::Kind::Stay);
    ASSERT_TRUE(out.message);
    EXPECT_EQ(out.message->title, "No Host Name");
    // A typed host is added on Connect and copied into the session.
    m.setHostText("  zos.example  ");
    const auto done = m.commit(Model::Action::Connect);
    ASSERT_EQ(done.kind, Model::Outcome::Kind::Done);
    EXPECT_TRUE(done.connect);
    EXPECT_TRUE(done.resetScreen);
    EXPECT_EQ(m.hosts().size(), 1u);
    EXPECT_EQ(m.options().text(Field::HostName), "zos.example");
    EXPECT_EQ(m.options().number(Field::Port), 23);
    ASSERT_TRUE(done.security);
    EXPECT_TRUE(done.security->validateHostCert) << "new hosts check certificates";
}

TEST(SessionDialog, HostFieldsEditDeleteAndAlias) {
    Files files;
    Model::Start start;
    start.sessionFiles = {"standard.ses"};
    Model m(hostsNamed({"a", "b", "c"}), start, files.loader());
    m.chooseHost(1);
    m.setPort(0);  // below 1 is 23
    EXPECT_EQ(m.port(), 23);
    m.setPort(992);
    m.setEncryption(4);
    m.setTn3270e(false);
    EXPECT_FALSE(m.luNameEnabled());
    EXPECT_TRUE(m.setLuName("LU,1").has_value()) << "a comma would shift every later entry";
    EXPECT_FALSE(m.setLuName("LU01"));
    EXPECT_FALSE(m.assignAlias("  10.1.2.3 "));
    m.setCertificates("ca.pem", "(none)", "", true, false);
    const HostEntry& b = *m.selected();
    EXPECT_EQ(b.port, 992);
    EXPECT_EQ(b.securityLevel, 4);
    EXPECT_EQ(b.luName, "LU01");
    EXPECT_EQ(b.ipName, "10.1.2.3");
    EXPECT_EQ(b.caCert, "ca.pem");
    EXPECT_EQ(b.clientCert, "");
    EXPECT_TRUE(b.validateHostCert);
    EXPECT_FALSE(b.domainMustMatchHost);

    m.deleteHost();
    EXPECT_EQ(m.hostItems(), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(m.hostText(), "c") << "the next one is selected";
    m.deleteHost();
    EXPECT_EQ(m.hostText(), "a") << "then the last";
    m.deleteHost();
    EXPECT_EQ(m.hostText(), kSampleHostName);
    EXPECT_EQ(m.hostRow(), -1);
}

TEST(SessionDialog, UserSizeChecks) {
    Files files;
    Model m(HostList{}, Model::Start{}, files.loader());
    struct Case {
        bool height;
        int value;
        int rows, columns;
        const char* title;  // "" for no message
    };
    const std::vector<Case> cases = {
        {true, 10, 24, 80, "Screen Height Error"},
        {true, 300, 200, 80, "Screen Height Error"},
        {false, 79, 200, 80, "Screen Width Error"},
        {false, 81, 200, 81, ""},
        {true, 100, 100, 81, ""},
        {false, 150, 100, 150, ""},
        {true, 110, 100, 150, "Screen Height Error"},  // 16,500 positions: kept
        {false, 164, 100, 150, "Screen Height Error"},
        {false, 163, 100, 163, ""},
    };
    for (const auto& c : cases) {
        const auto message = c.height ? m.leaveHeight(c.value) : m.leaveWidth(c.value);
        EXPECT_EQ(message ? message->title : "", c.title) << c.value;
        EXPECT_EQ(m.userRows(), c.rows) << c.value;
        EXPECT_EQ(m.userColumns(), c.columns) << c.value;
    }
}

TEST(SessionDialog, ANewSessionFileIsAskedForAndSaveLeavesTheHostAlone) {
    Files files;
    files.byName["standard.ses"] = sessionFor("a");
    Model::Start start;
    start.sessionFiles = {"standard.ses"};
    Model m(hostsNamed({"a", "b"}), start, files.loader());
    m.chooseHost(1);
    m.setModel(2);
    m.setSessionFileText("payroll");
    auto out = m.commit(Model::Action::Save);
    ASSERT_EQ(out.kind, Model::Outcome::Kind::AskNewFile);
    EXPECT_EQ(out.message->text,
              "Session file payroll does not exist but will be created.\n\nDo you want to add an "
              "icon for this session?\n");
    EXPECT_EQ(m.commit(Model::Action::Save, Model::NewFileAnswer::Cancel).kind,
              Model::Outcome::Kind::Stay);
    out = m.commit(Model::Action::Save, Model::NewFileAnswer::Yes);
    ASSERT_EQ(out.kind, Model::Outcome::Kind::Done);
    EXPECT_FALSE(out.connect);
    EXPECT_TRUE(out.makeShortcut);
    EXPECT_EQ(out.sessionFile, "payroll.ses");
    EXPECT_EQ(m.options().text(Field::HostName), "a") << "Save keeps the session's host";

    // A listed file, named in another case and without ".ses", is no new file.
    m.setSessionFileText("Standard");
    out = m.commit(Model::Action::Connect);
    ASSERT_EQ(out.kind, Model::Outcome::Kind::Done);
    EXPECT_EQ(out.sessionFile, "Standard.ses");
    EXPECT_EQ(m.options().text(Field::HostName), "b");
    EXPECT_EQ(m.options().number(Field::TerminalModel), 2);
}

TEST(SessionDialog, AFullHostListRefusesATypedHost) {
    HostList full;
    for (std::size_t i = 0; i < kMaxHosts; ++i)
        ASSERT_EQ(full.add("h" + std::to_string(i)).status, HostList::AddStatus::Added);
    Files files;
    Model m(std::move(full), Model::Start{}, files.loader());
    m.setHostText("one.more");
    const auto out = m.commit(Model::Action::Connect);
    EXPECT_EQ(out.kind, Model::Outcome::Kind::Stay);
    ASSERT_TRUE(out.message);
    EXPECT_EQ(out.message->title, "Host name not added");
}

}  // namespace
}  // namespace cedar::sessionfile
