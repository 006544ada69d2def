// The SESSION dialog as a Qt window over SessionDialogModel: the session file
// box, the host box with its port, TN3270E, LU name and encryption, the
// terminal model buttons with the user size, and the buttons Connect, Save,
// Cancel, Help, Delete Host, Assign Alias and Certificates. The questions it
// asks go through `Ui`, so tests and other front ends can answer them.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sessionfile/session_dialog.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace cedar::gui {

class SessionDialogWindow : public QDialog {
  public:
    struct Ui {
        // A message that needs no decision (a warning with OK).
        std::function<void(const sessionfile::DialogMessage&)> inform;
        // "New Session File": Yes, No or Cancel.
        std::function<sessionfile::SessionDialogModel::NewFileAnswer(
            const sessionfile::DialogMessage&)>
            askNewFile;
        // "Assign Host to Alias": the IP name for `alias`, or nothing.
        std::function<std::optional<std::string>(const std::string& alias,
                                                 const std::string& ipName)>
            askAlias;
        // "SSL Certificates" for the selected host: true when OK was chosen
        // (the dialog has stored the choices through the model).
        std::function<bool(sessionfile::SessionDialogModel&, const std::vector<std::string>& pems)>
            certificates;
        std::function<void(const std::string& topic)> help;
    };
    // The standard questions: message boxes and the dialogs of this module.
    static Ui standardUi(QWidget* parent);

    enum class Button { Connect, Save, Cancel, Help, DeleteHost, AssignAlias, Certificates };

    // `pemFiles`: the *.pem files of AppData's certs folder.
    SessionDialogWindow(sessionfile::SessionDialogModel& model, std::vector<std::string> pemFiles,
                        Ui ui, QWidget* parent = nullptr);

    // Connect or Save's outcome once the dialog has ended (nothing: Cancel).
    const std::optional<sessionfile::SessionDialogModel::Outcome>& outcome() const {
        return outcome_;
    }

    QComboBox* sessionFileBox() const { return files_; }
    QComboBox* hostBox() const { return hosts_; }
    QLineEdit* portBox() const { return port_; }
    QCheckBox* tn3270eBox() const { return tn3270e_; }
    QLineEdit* luNameBox() const { return lu_; }
    QComboBox* encryptionBox() const { return encryption_; }
    QRadioButton* modelButton(int model) const { return models_[model]; }
    QLineEdit* heightBox() const { return height_; }
    QLineEdit* widthBox() const { return width_; }
    QPushButton* button(Button b) const { return buttons_[static_cast<int>(b)]; }

  private:
    void build();
    void refresh();
    void refreshHost();
    void commit(sessionfile::SessionDialogModel::Action action);
    void show(const std::optional<sessionfile::DialogMessage>& message);

    sessionfile::SessionDialogModel& model_;
    std::vector<std::string> pems_;
    Ui ui_;
    std::optional<sessionfile::SessionDialogModel::Outcome> outcome_;
    bool refreshing_ = false;

    QComboBox* files_ = nullptr;
    QComboBox* hosts_ = nullptr;
    QLineEdit* port_ = nullptr;
    QCheckBox* tn3270e_ = nullptr;
    QLineEdit* lu_ = nullptr;
    QComboBox* encryption_ = nullptr;
    QRadioButton* models_[5] = {};
    QLineEdit* height_ = nullptr;
    QLineEdit* width_ = nullptr;
    QPushButton* buttons_[7] = {};
};

}  // namespace cedar::gui
