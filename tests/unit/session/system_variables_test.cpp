#include "session/system_variables.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "macro_test_util.h"
#include "status_fixture.h"

namespace cedar {
namespace {

using sessionfile::Field;
using test::StatusRig;

MacroValue T(std::string_view s) {
    return MacroValue::ofText(s);
}
MacroValue N(std::int32_t n) {
    return MacroValue::ofNumber(n);
}

// The macro interpreter's view of the session, as the expression tests use it.
class VariablesHost : public NullMacroHost {
  public:
    explicit VariablesHost(SystemVariables& v) : variables_(v) {}
    MacroValue readSystemVariable(SystemVariable id) override { return variables_.systemValue(id); }
    void moveCursor(std::optional<int> row, std::optional<int> column) override {
        variables_.moveCursor(row, column);
    }

  private:
    SystemVariables& variables_;
};

void connectedRig(StatusRig& r) {
    r.options.setText(Field::HostName, "mvs.example:992");
    r.options.setText(Field::SessionName, "Payroll");
    r.options.setNumber(Field::Port, 992);
    r.options.setText(Field::IpName, "MVS1");
    r.options.setText(Field::LuName, "LU00001");
    r.session.options.modelIndex = 2;
    r.session.status = SessionStatus::Unlocked;
    r.session.screen.insertMode = true;
    r.identity.id = 2;  // C
    r.facts.connected = true;
    r.facts.info.peerAddress = "fd00::5";
    r.facts.info.ipVersion = 6;
    r.facts.info.tls = true;
    r.facts.protocolState.tn3270eMode = true;
    r.facts.protocolState.assignedLuName = "TERM0042";
    r.facts.protocolState.applicationName = "CICSPROD";
    r.facts.protocolState.sessionLuName = "SLU0042";
    r.facts.socketNumber = 17;
    r.facts.cell = {9, 18};
    r.facts.transactionMs = 1234;
    r.facts.inputLength = 1920;
    r.facts.local = "desk7";
    r.facts.localAddr = "192.0.2.7";
    r.facts.box = SessionFacts::Selection{2, 3, 5, 40};
    r.facts.scanCode = 0x1C;
    r.facts.passed = "Enter";
    r.facts.hli = "USER1";
    r.facts.dsn = "USER1.DATA";
    r.facts.match = {7, 12};
    r.facts.print = "Printing";
    r.facts.shift = 2;
    r.facts.keepAlive = 240;
    r.facts.macro = "logon";
    r.facts.windows.set(0).set(2).set(27);  // A, C, 1
    r.setCursor(9, 14);
}

TEST(SystemVariables, EveryPredefinedVariableOfAConnectedSession) {
    StatusRig r;
    connectedRig(r);
    const std::map<std::string, MacroValue> expected = {
        {"TRUE", N(1)},
        {"FALSE", N(0)},
        {"TRACEMESSAGE", N(1)},
        {"FONTSIZE", T("9x18")},
        {"TRANTIME", T("1.2")},
        {"HOSTADDR", T("fd00::5")},
        {"SOCKET", N(17)},
        {"INPUTLEN", T("1920")},
        {"TERMMODEL", N(4)},
        {"SESSNAME", T("Payroll")},
        {"HOSTNAME", T("mvs.example")},
        {"PORT", N(992)},
        {"WINDOWID", T("C")},
        {"STATUS", T("UNLOCKED")},
        {"CURSORCOL", N(15)},
        {"CURSORROW", N(10)},
        {"CURSORPOS", T("10,15")},
        {"VERSION", T("1.30")},
        {"LOCALNAME", T("desk7")},
        {"LOCALADDR", T("192.0.2.7")},
        {"STARTROW", N(2)},
        {"STARTCOL", N(3)},
        {"ENDROW", N(5)},
        {"ENDCOL", N(40)},
        {"KEYSCANCODE", T("1C")},
        {"IPNAME", T("MVS1")},
        {"TNMODE", T("TN3270E")},
        {"LUNAME", T("LU00001")},
        {"DEVNAME", T("TERM0042")},
        {"SCREENHEIGHT", N(24)},
        {"SCREENWIDTH", N(80)},
        {"SELECTBOXACTIVE", N(1)},
        {"TPXSWAP", T("")},
        {"PASSEDKEY", T("Enter")},
        {"XFERHLI", T("USER1")},
        {"XFERDSN", T("USER1.DATA")},
        {"ONSCREENROW", N(7)},
        {"ONSCREENCOL", N(12)},
        {"VERSIONDATE", T("Nov 22 2026")},
        {"PRINTSTATUS", T("Printing")},
        {"SNAPLU", T("CICSPROD")},
        {"SNALU", T("SLU0042")},
        {"SHIFTKEY", N(2)},
        {"SSL", T("SSL")},
        {"KEEPALIVETIME", N(240)},
        {"IPVERSION", T("IPv6")},
        {"INSERTMODE", T("Insert")},
        {"WINDOWIDLIST", T("AC1")},
        {"TERMMODE", N(1)},
        {"MACRONAME", T("logon")},
    };
    ASSERT_EQ(expected.size(), predefinedVariables().size());
    VariableTable table;
    for (const auto& p : predefinedVariables()) {
        const auto it = expected.find(std::string(p.name));
        ASSERT_NE(it, expected.end()) << p.name;
        // Through the predefined entries alone and through a macro table.
        EXPECT_EQ(r.variables.lookup(p.name), it->second) << p.name;
        EXPECT_EQ(r.variables.lookup(p.name, &table), it->second) << p.name;
        // The value's type is the entry's.
        EXPECT_EQ(it->second.type, p.type) << p.name;
    }
}

TEST(SystemVariables, ASessionWithoutConnectionOrId) {
    StatusRig r;
    r.options.setText(Field::HostName, "plainhost");
    r.session.status = SessionStatus::NotConnected;
    const std::map<std::string, MacroValue> expected = {
        {"HOSTADDR", T("")},         {"HOSTNAME", T("plainhost")},  {"WINDOWID", T("")},
        {"WINDOWIDLIST", T("")},     {"STATUS", T("NOTCONNECTED")}, {"SSL", T("")},
        {"IPVERSION", T("")},        {"TNMODE", T("TN3270")},       {"SELECTBOXACTIVE", N(0)},
        {"STARTROW", N(0)},          {"KEYSCANCODE", T("00")},      {"TRANTIME", T("0.0")},
        {"INSERTMODE", T("Normal")}, {"CURSORPOS", T("1,1")},       {"FONTSIZE", T("0x0")},
    };
    for (const auto& [name, value] : expected)
        EXPECT_EQ(r.variables.lookup(name), value) << name;
    // With an id but no window list yet, the list is this session's id.
    r.identity.id = 35;
    EXPECT_EQ(r.variables.lookup("WINDOWIDLIST"), T("9"));
    EXPECT_EQ(r.variables.lookup("WINDOWID"), T("9"));
    EXPECT_EQ(r.variables.lookup("NOSUCHNAME"), std::nullopt);
}

TEST(SystemVariables, StatusNamesIncludeTheUnnamedStates) {
    const std::pair<SessionStatus, const char*> cases[] = {
        {SessionStatus::NotConnected, "NOTCONNECTED"},
        {SessionStatus::SessionDialog, "SESSION"},
        {SessionStatus::SysLock, "SYSLOCK"},
        {SessionStatus::TransferMessage, "TR_MESSAGE"},
        {SessionStatus::Rejected, "REJECTED"},
        {SessionStatus::History, "HISTORY"},
    };
    StatusRig r;
    for (const auto& [status, name] : cases) {
        r.session.status = status;
        EXPECT_EQ(r.variables.systemValue(SystemVariable::Status), T(name)) << name;
    }
}

TEST(SystemVariables, TransactionTimeInTenths) {
    const std::pair<std::int64_t, const char*> cases[] = {
        {-5, "0.0"},  {0, "0.0"},    {50, "0.0"},   {99, "0.0"},     {100, "0.1"},
        {999, "0.9"}, {1000, "1.0"}, {1234, "1.2"}, {12345, "12.3"}, {123456, "123.4"},
    };
    for (const auto& [ms, text] : cases)
        EXPECT_EQ(transactionTimeText(ms), text) << ms;
}

TEST(SystemVariables, MacrosReadTheSessionAsItIsNow) {
    StatusRig r;
    VariableTable table;
    VariablesHost host(r.variables);
    ExpressionEvaluator evaluator(table, host);
    r.session.status = SessionStatus::SysLock;
    EXPECT_EQ(test::evaluateText(evaluator, "STATUS").value, T("SYSLOCK"));
    r.session.status = SessionStatus::Unlocked;  // the host restored the keyboard
    EXPECT_EQ(test::evaluateText(evaluator, "STATUS").value, T("UNLOCKED"));
    r.setCursor(4, 6);
    EXPECT_EQ(test::evaluateText(evaluator, "CURSORROW * 100 + CURSORCOL").value, N(507));
}

TEST(SystemVariables, CursorVariablesMoveTheCursor) {
    struct Case {
        const char* statement;
        int row, column;  // where the cursor is afterwards, from 0
    };
    const Case cases[] = {
        {"CURSORPOS = \"3,5\"", 2, 4},
        {"CURSORPOS = \"35\"", 9, 14},  // no comma: nothing moves
        {"CURSORPOS = \"30,100\"", 23, 79},
        {"CURSORPOS = \"0,-4\"", 0, 0},
        {"CURSORROW = 12", 11, 14},
        {"CURSORCOL = 81", 9, 79},
        {"CURSORROW = -3", 0, 14},
    };
    for (const auto& c : cases) {
        StatusRig r;
        r.setCursor(9, 14);
        VariableTable table;
        VariablesHost host(r.variables);
        ExpressionEvaluator evaluator(table, host);
        ASSERT_EQ(test::runStatement(evaluator, c.statement).error, MacroError::None)
            << c.statement;
        EXPECT_EQ(r.session.screen.cursor(), c.row * 80 + c.column) << c.statement;
        EXPECT_EQ(test::evaluateText(evaluator, "CURSORPOS").value,
                  T(std::to_string(c.row + 1) + "," + std::to_string(c.column + 1)))
            << c.statement;
    }
}

TEST(SystemVariables, MacroVariablesReachTemplatesWithTheirOwnValues) {
    StatusRig r;
    VariableTable table;
    VariablesHost host(r.variables);
    ExpressionEvaluator evaluator(table, host);
    ASSERT_EQ(test::runStatement(evaluator, "GREETING = \"hi %H\"").error, MacroError::None);
    ASSERT_EQ(test::runStatement(evaluator, "TRUE = 7").error, MacroError::None);
    EXPECT_EQ(r.variables.lookup("GREETING", &table), T("hi %H"));
    EXPECT_EQ(r.variables.lookup("TRUE", &table), N(7));
    EXPECT_EQ(r.variables.lookup("GREETING"), std::nullopt);  // no table: predefined only
}

}  // namespace
}  // namespace cedar
