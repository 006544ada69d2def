// The SESSION dialog's widgets over its model: what a user types and clicks
// reaches the host list and the session, and the questions are asked.
#include "sessionfile/qt/session_dialog_window.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "sessionfile/qt/certificates_dialog.h"
#include "sessionfile/standard_session.h"

namespace cedar::gui {
namespace {

using sessionfile::DialogMessage;
using sessionfile::Field;
using sessionfile::HostList;
using Model = sessionfile::SessionDialogModel;

struct Recorder {
    std::vector<DialogMessage> messages;
    std::vector<DialogMessage> questions;
    Model::NewFileAnswer answer = Model::NewFileAnswer::No;
    std::optional<std::string> alias;
    SessionDialogWindow::Ui ui() {
        SessionDialogWindow::Ui u;
        u.inform = [this](const DialogMessage& m) { messages.push_back(m); };
        u.askNewFile = [this](const DialogMessage& m) {
            questions.push_back(m);
            return answer;
        };
        u.askAlias = [this](const std::string&, const std::string&) { return alias; };
        u.certificates = [](Model& model, const std::vector<std::string>& pems) {
            CertificatesDialog d(model, pems);
            d.caBox()->setCurrentText("ca.pem");
            d.validateBox()->setChecked(true);
            d.store();
            return true;
        };
        return u;
    }
};

Model makeModel(HostList hosts) {
    Model::Start start;
    start.sessionFiles = {"standard.ses", "tso.ses"};
    return Model(std::move(hosts), start, [](const std::string&) {
        auto o = sessionfile::standardSessionOptions();
        o.setText(Field::HostName, "mvs1");
        return std::optional(o);
    });
}

void type(QLineEdit* box, const QString& text) {
    box->setText(text);
    emit box->editingFinished();
}

TEST(SessionDialogWindow, ATypedHostWithItsFieldsConnects) {
    Model model = makeModel(HostList{});
    Recorder r;
    SessionDialogWindow dialog(model, {"ca.pem", "client.pem"}, r.ui());
    EXPECT_EQ(dialog.windowTitle(), " Cedar TN3270 - Start a New Terminal Session");
    EXPECT_EQ(dialog.hostBox()->currentText(), "mainframe.example.com");
    EXPECT_TRUE(dialog.modelButton(0)->isChecked());

    dialog.hostBox()->setEditText("zos.example");
    emit dialog.hostBox()->lineEdit()->editingFinished();  // leaving the box adds it
    ASSERT_EQ(dialog.hostBox()->count(), 1);
    type(dialog.portBox(), "992");
    dialog.tn3270eBox()->setChecked(false);
    EXPECT_FALSE(dialog.luNameBox()->isEnabled());
    dialog.tn3270eBox()->setChecked(true);
    type(dialog.luNameBox(), "LU01");
    dialog.encryptionBox()->setCurrentIndex(4);
    dialog.button(SessionDialogWindow::Button::Certificates)->click();
    dialog.modelButton(4)->setChecked(true);
    EXPECT_TRUE(dialog.heightBox()->isEnabled());
    type(dialog.heightBox(), "300");
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0].title, "Screen Height Error");
    EXPECT_EQ(dialog.heightBox()->text(), "200");

    dialog.button(SessionDialogWindow::Button::Connect)->click();
    ASSERT_TRUE(dialog.outcome().has_value());
    EXPECT_EQ(dialog.result(), 1);
    EXPECT_TRUE(r.questions.empty()) << "standard.ses is listed";
    const auto& o = model.options();
    EXPECT_EQ(o.text(Field::HostName), "zos.example");
    EXPECT_EQ(o.number(Field::Port), 992);
    EXPECT_EQ(o.text(Field::LuName), "LU01");
    EXPECT_EQ(o.number(Field::SecurityLevel), 4);
    EXPECT_EQ(o.number(Field::TerminalModel), 4);
    EXPECT_EQ(o.number(Field::UserModelHeight), 200);
    ASSERT_TRUE(dialog.outcome()->security);
    EXPECT_EQ(dialog.outcome()->security->caCert, "ca.pem");
    EXPECT_TRUE(dialog.outcome()->security->validateHostCert);
}

TEST(SessionDialogWindow, SaveAsksForANewFileAndCancelKeepsTheDialog) {
    HostList hosts;
    hosts.add("mvs1");
    hosts.add("mvs2");
    Model model = makeModel(hosts);
    Recorder r;
    SessionDialogWindow dialog(model, {}, r.ui());
    dialog.sessionFileBox()->setEditText("payroll");
    r.answer = Model::NewFileAnswer::Cancel;
    dialog.button(SessionDialogWindow::Button::Save)->click();
    ASSERT_EQ(r.questions.size(), 1u);
    EXPECT_EQ(r.questions[0].title, "New Session File");
    EXPECT_FALSE(dialog.outcome().has_value()) << "Cancel keeps the dialog open";

    r.answer = Model::NewFileAnswer::Yes;
    dialog.button(SessionDialogWindow::Button::Save)->click();
    ASSERT_TRUE(dialog.outcome().has_value());
    EXPECT_FALSE(dialog.outcome()->connect);
    EXPECT_TRUE(dialog.outcome()->makeShortcut);
    EXPECT_EQ(dialog.outcome()->sessionFile, "payroll.ses");
    EXPECT_EQ(dialog.result(), 0);
}

TEST(SessionDialogWindow, DeleteHostAndAssignAlias) {
    HostList hosts;
    hosts.add("mvs1");
    hosts.add("mvs2");
    Model model = makeModel(hosts);
    Recorder r;
    SessionDialogWindow dialog(model, {}, r.ui());
    EXPECT_EQ(dialog.hostBox()->currentText(), "mvs1");
    r.alias = "10.0.0.7";
    dialog.button(SessionDialogWindow::Button::AssignAlias)->click();
    EXPECT_EQ(model.hosts().find("mvs1")->ipName, "10.0.0.7");
    dialog.button(SessionDialogWindow::Button::DeleteHost)->click();
    EXPECT_EQ(dialog.hostBox()->count(), 1);
    EXPECT_EQ(dialog.hostBox()->currentText(), "mvs2");
    dialog.button(SessionDialogWindow::Button::DeleteHost)->click();
    dialog.button(SessionDialogWindow::Button::Connect)->click();
    EXPECT_FALSE(dialog.outcome().has_value());
    ASSERT_FALSE(r.messages.empty());
    EXPECT_EQ(r.messages.back().title, "No Host Name");
}

}  // namespace
}  // namespace cedar::gui
