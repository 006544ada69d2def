// The "Send File to Host" and "Receive File from Host" dialogs: the PC and
// host names, text or binary, the host system (its choice shows and hides
// the controls that system has), record attributes and space for uploads,
// code conversion and more host options, the host list that "List" and
// "Members" have filled (choosing an entry takes it as the host name), a
// status line with the last progress line, and the confirmation before a
// running transfer is left.
#pragma once

#include <QDialog>
#include <functional>

#include "transfer/transfer_dialog_values.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace cedar::gui {

class TransferDialog : public QDialog {
  public:
    struct Ui {
        // "Send"/"Receive" pressed with these values.
        std::function<void(const TransferDialogValues&)> start{};
        // "View Log" pressed.
        std::function<void()> viewLog{};
        // Leaving during a transfer: true when the user lets it be cancelled
        // (unset: a message box asks kCancelQuestion).
        std::function<bool()> confirmCancel{};
        // The transfer is to be cancelled.
        std::function<void()> cancel{};
        // "List" and "Members" pressed with these values: the host list is
        // to be filled.
        std::function<void(const TransferDialogValues&)> list{};
        std::function<void(const TransferDialogValues&)> members{};
    };

    static constexpr const char* kCancelQuestion =
        "A file transfer is currently in progress.\nPress Ok to interrupt the transfer and exit";

    TransferDialog(TransferDirection direction, Ui ui, QWidget* parent = nullptr);

    TransferDialogValues values() const;
    void setValues(const TransferDialogValues& values);
    void setStatusLine(const QString& line);
    QString statusLine() const;
    // While a transfer runs, closing asks first.
    void setTransferRunning(bool running) { running_ = running; }
    // A host list entry (XFERADDSTG).
    void addHostListEntry(const QString& entry);
    void clearHostList();

    // The controls, for tests and the wiring.
    QPushButton* startButton() const { return startButton_; }
    QGroupBox* attributesGroup() const { return attributes_; }
    QGroupBox* allocationGroup() const { return allocation_; }
    QRadioButton* hostButton(TransferHostType type) const;
    QRadioButton* textButton() const { return text_; }
    QRadioButton* binaryButton() const { return binary_; }
    QCheckBox* asciiBox() const { return ascii_; }
    QCheckBox* crlfBox() const { return crlf_; }
    QLineEdit* listLevelEdit() const { return listLevel_; }
    QLineEdit* recordLengthEdit() const { return recordLength_; }
    QComboBox* recordFormatBox() const { return recordFormat_; }
    QLineEdit* blockSizeEdit() const { return blockSize_; }
    QListWidget* hostList() const { return hostList_; }
    QPushButton* listButton() const { return listButton_; }
    QPushButton* membersButton() const { return membersButton_; }

  protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void hostTypeChosen(TransferHostType type);
    void showHostType(TransferHostType type);
    void modeChosen(bool binary);
    void browse();
    bool mayLeave();
    TransferRecordValues shownRecordValues() const;
    void showRecordValues(const TransferRecordValues& values);

    TransferDirection direction_;
    Ui ui_;
    bool running_ = false;
    TransferHostType shownType_ = TransferHostType::Tso;
    TransferRecordValues tso_, cms_;

    QLabel* folder_ = nullptr;
    QLineEdit* pcName_ = nullptr;
    QListWidget* pcFiles_ = nullptr;
    QLineEdit* listLevel_ = nullptr;
    QLabel* listLevelLabel_ = nullptr;
    QPushButton* listButton_ = nullptr;
    QPushButton* membersButton_ = nullptr;
    QLineEdit* hostName_ = nullptr;
    QListWidget* hostList_ = nullptr;
    QRadioButton* text_ = nullptr;
    QRadioButton* binary_ = nullptr;
    QCheckBox* append_ = nullptr;
    QRadioButton* tsoButton_ = nullptr;
    QRadioButton* cmsButton_ = nullptr;
    QRadioButton* cicsButton_ = nullptr;
    QGroupBox* attributes_ = nullptr;
    QLineEdit* recordLength_ = nullptr;
    QComboBox* recordFormat_ = nullptr;
    QLabel* blockSizeLabel_ = nullptr;
    QLineEdit* blockSize_ = nullptr;
    QGroupBox* allocation_ = nullptr;
    QLineEdit* prime_ = nullptr;
    QLineEdit* sec_ = nullptr;
    QRadioButton* cylinders_ = nullptr;
    QRadioButton* tracks_ = nullptr;
    QCheckBox* ascii_ = nullptr;
    QCheckBox* crlf_ = nullptr;
    QLineEdit* additional_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* startButton_ = nullptr;
};

}  // namespace cedar::gui
