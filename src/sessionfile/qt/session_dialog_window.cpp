#include "sessionfile/qt/session_dialog_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "sessionfile/qt/certificates_dialog.h"

namespace cedar::gui {

using sessionfile::DialogMessage;
using sessionfile::SessionDialogModel;

namespace {

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

SessionDialogWindow::Ui SessionDialogWindow::standardUi(QWidget* parent) {
    Ui ui;
    ui.inform = [parent](const DialogMessage& m) {
        QMessageBox::warning(parent, q(m.title), q(m.text));
    };
    ui.askNewFile = [parent](const DialogMessage& m) {
        const auto answer =
            QMessageBox::question(parent, q(m.title), q(m.text),
                                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        return answer == QMessageBox::Yes  ? SessionDialogModel::NewFileAnswer::Yes
               : answer == QMessageBox::No ? SessionDialogModel::NewFileAnswer::No
                                           : SessionDialogModel::NewFileAnswer::Cancel;
    };
    ui.askAlias = [parent](const std::string& alias,
                           const std::string& ipName) -> std::optional<std::string> {
        bool ok = false;
        QString text = QInputDialog::getText(
            parent, "Assign Host to Alias",
            "Alias " + q(alias) + " stands for the host:", QLineEdit::Normal, q(ipName), &ok);
        if (!ok) return std::nullopt;
        return text.left(64).toStdString();
    };
    ui.certificates = [parent](SessionDialogModel& model, const std::vector<std::string>& pems) {
        CertificatesDialog dialog(model, pems, parent);
        return dialog.exec() == QDialog::Accepted;
    };
    // Help topics open in the help viewer once there is one; until then a
    // help request does nothing, as without a viewer.
    ui.help = [](const std::string&) {};
    return ui;
}

SessionDialogWindow::SessionDialogWindow(SessionDialogModel& model, std::vector<std::string> pems,
                                         Ui ui, QWidget* parent)
    : QDialog(parent), model_(model), pems_(std::move(pems)), ui_(std::move(ui)) {
    setWindowTitle(sessionfile::kSessionDialogTitle);
    build();
    refresh();
    if (model_.hostBoxFocus())
        hosts_->setFocus();
    else
        files_->setFocus();
}

void SessionDialogWindow::build() {
    auto* grid = new QGridLayout;
    files_ = new QComboBox;
    files_->setEditable(true);
    files_->lineEdit()->setMaxLength(260);
    hosts_ = new QComboBox;
    hosts_->setEditable(true);
    hosts_->lineEdit()->setMaxLength(64);
    port_ = new QLineEdit;
    port_->setMaxLength(5);
    port_->setValidator(new QIntValidator(0, 99999, port_));
    tn3270e_ = new QCheckBox("TN3270E");
    lu_ = new QLineEdit;
    lu_->setMaxLength(17);
    encryption_ = new QComboBox;
    for (const char* name : sessionfile::kEncryptionNames)
        encryption_->addItem(name);
    grid->addWidget(new QLabel("Session file:"), 0, 0);
    grid->addWidget(files_, 0, 1, 1, 3);
    grid->addWidget(new QLabel("Host:"), 1, 0);
    grid->addWidget(hosts_, 1, 1, 1, 3);
    grid->addWidget(new QLabel("Port:"), 2, 0);
    grid->addWidget(port_, 2, 1);
    grid->addWidget(tn3270e_, 2, 2);
    grid->addWidget(new QLabel("LU name:"), 3, 0);
    grid->addWidget(lu_, 3, 1);
    grid->addWidget(new QLabel("Encryption:"), 3, 2);
    grid->addWidget(encryption_, 3, 3);

    auto* modelBox = new QGroupBox("Terminal model");
    auto* modelRow = new QHBoxLayout(modelBox);
    const char* names[] = {"Mod 2", "Mod 3", "Mod 4", "Mod 5", "User"};
    for (int i = 0; i < 5; ++i) {
        models_[i] = new QRadioButton(names[i]);
        modelRow->addWidget(models_[i]);
        connect(models_[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (!on || refreshing_) return;
            model_.setModel(i);
            refresh();
        });
    }
    height_ = new QLineEdit;
    height_->setMaxLength(3);
    width_ = new QLineEdit;
    width_->setMaxLength(3);
    modelRow->addWidget(new QLabel("Height:"));
    modelRow->addWidget(height_);
    modelRow->addWidget(new QLabel("Width:"));
    modelRow->addWidget(width_);
    grid->addWidget(modelBox, 4, 0, 1, 4);

    auto* buttonRow = new QHBoxLayout;
    const char* labels[] = {"Connect",     "Save",         "Cancel",      "Help",
                            "Delete Host", "Assign Alias", "Certificates"};
    for (int i = 0; i < 7; ++i) {
        buttons_[i] = new QPushButton(labels[i]);
        buttonRow->addWidget(buttons_[i]);
    }
    button(Button::Connect)->setDefault(true);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttonRow);

    connect(files_, &QComboBox::activated, this, [this](int index) {
        model_.chooseSessionFile(files_->itemText(index).toStdString());
        refresh();
    });
    connect(files_, &QComboBox::editTextChanged, this, [this](const QString& text) {
        if (!refreshing_) model_.setSessionFileText(text.toStdString());
    });
    connect(hosts_, &QComboBox::activated, this, [this](int row) {
        model_.chooseHost(row);
        refreshHost();
    });
    connect(hosts_, &QComboBox::editTextChanged, this, [this](const QString& text) {
        if (!refreshing_) model_.setHostText(text.toStdString());
    });
    // Leaving the host box adds a typed host.
    connect(hosts_->lineEdit(), &QLineEdit::editingFinished, this, [this] {
        if (refreshing_) return;
        show(model_.addTypedHost());
        refresh();
    });
    connect(port_, &QLineEdit::editingFinished, this, [this] {
        model_.setPort(port_->text().toInt());
        refreshHost();
    });
    connect(tn3270e_, &QCheckBox::toggled, this, [this](bool on) {
        if (refreshing_) return;
        model_.setTn3270e(on);
        refreshHost();
    });
    connect(lu_, &QLineEdit::editingFinished, this, [this] {
        show(model_.setLuName(lu_->text().toStdString()));
        refreshHost();
    });
    connect(encryption_, &QComboBox::currentIndexChanged, this, [this](int level) {
        if (!refreshing_) model_.setEncryption(level);
    });
    connect(height_, &QLineEdit::editingFinished, this, [this] {
        show(model_.leaveHeight(height_->text().toInt()));
        refresh();
    });
    connect(width_, &QLineEdit::editingFinished, this, [this] {
        show(model_.leaveWidth(width_->text().toInt()));
        refresh();
    });
    connect(button(Button::Connect), &QPushButton::clicked, this,
            [this] { commit(SessionDialogModel::Action::Connect); });
    connect(button(Button::Save), &QPushButton::clicked, this,
            [this] { commit(SessionDialogModel::Action::Save); });
    connect(button(Button::Cancel), &QPushButton::clicked, this, [this] { done(0); });
    connect(button(Button::Help), &QPushButton::clicked, this, [this] {
        if (ui_.help) ui_.help("main_connecting.htm");
    });
    connect(button(Button::DeleteHost), &QPushButton::clicked, this, [this] {
        model_.deleteHost();
        refresh();
    });
    connect(button(Button::AssignAlias), &QPushButton::clicked, this, [this] {
        const auto* entry = model_.selected();
        if (entry == nullptr || !ui_.askAlias) return;
        if (auto ip = ui_.askAlias(entry->hostName, entry->ipName)) show(model_.assignAlias(*ip));
        refreshHost();
    });
    connect(button(Button::Certificates), &QPushButton::clicked, this, [this] {
        if (model_.selected() != nullptr && ui_.certificates) ui_.certificates(model_, pems_);
        refreshHost();
    });
}

void SessionDialogWindow::refresh() {
    refreshing_ = true;
    files_->clear();
    for (const auto& item : model_.sessionFileItems())
        files_->addItem(q(item));
    files_->setEditText(q(model_.sessionFileText()));
    hosts_->clear();
    for (const auto& item : model_.hostItems())
        hosts_->addItem(q(item));
    models_[model_.model()]->setChecked(true);
    const bool user = model_.model() == 4;
    height_->setEnabled(user);
    width_->setEnabled(user);
    height_->setText(QString::number(model_.userRows()));
    width_->setText(QString::number(model_.userColumns()));
    refreshing_ = false;
    refreshHost();
}

void SessionDialogWindow::refreshHost() {
    refreshing_ = true;
    if (model_.hostRow() >= 0) hosts_->setCurrentIndex(model_.hostRow());
    hosts_->setEditText(q(model_.hostText()));
    port_->setText(QString::number(model_.port()));
    tn3270e_->setChecked(model_.tn3270e());
    lu_->setText(q(model_.luName()));
    lu_->setEnabled(model_.luNameEnabled());
    encryption_->setCurrentIndex(model_.encryption());
    refreshing_ = false;
}

void SessionDialogWindow::show(const std::optional<DialogMessage>& message) {
    if (message && ui_.inform) ui_.inform(*message);
}

void SessionDialogWindow::commit(SessionDialogModel::Action action) {
    auto result = model_.commit(action);
    if (result.kind == SessionDialogModel::Outcome::Kind::AskNewFile) {
        const auto answer = ui_.askNewFile ? ui_.askNewFile(*result.message)
                                           : SessionDialogModel::NewFileAnswer::Cancel;
        result = model_.commit(action, answer);
    }
    if (result.kind != SessionDialogModel::Outcome::Kind::Done) {
        show(result.message);
        refresh();
        if (model_.hostBoxFocus()) hosts_->setFocus();
        return;
    }
    outcome_ = result;
    done(result.connect ? 1 : 0);
}

}  // namespace cedar::gui
