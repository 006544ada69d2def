#include "transfer/qt/transfer_dialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace cedar::gui {

namespace {

QLineEdit* numberEdit(int digits, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setMaxLength(digits);
    int top = 1;
    for (int i = 0; i < digits; ++i)
        top *= 10;
    edit->setValidator(new QIntValidator(0, top - 1, edit));
    return edit;
}

int numberOf(const QLineEdit* edit) {
    return edit->text().trimmed().toInt();
}

QString numberText(int n) {
    return n > 0 ? QString::number(n) : QString();
}

std::string utf8(const QLineEdit* edit) {
    return edit->text().toStdString();
}

}  // namespace

TransferDialog::TransferDialog(TransferDirection direction, Ui ui, QWidget* parent)
    : QDialog(parent), direction_(direction), ui_(std::move(ui)) {
    const bool upload = direction == TransferDirection::Upload;
    setWindowTitle(upload ? "Send File to Host" : "Receive File from Host");
    setSizeGripEnabled(true);
    setMinimumSize(619, 504);

    auto* pc = new QGroupBox(upload ? "Source - PC File" : "Target - PC File", this);
    auto* pcLayout = new QGridLayout(pc);
    folder_ = new QLabel(QDir::currentPath(), pc);
    auto* browse = new QPushButton("Browse", pc);
    pcName_ = new QLineEdit(pc);
    pcName_->setMaxLength(260);
    pcName_->setAccessibleName("PC file name");
    pcFiles_ = new QListWidget(pc);
    pcLayout->addWidget(folder_, 0, 0);
    pcLayout->addWidget(browse, 0, 1);
    pcLayout->addWidget(pcName_, 1, 0, 1, 2);
    pcLayout->addWidget(pcFiles_, 2, 0, 1, 2);

    auto* host = new QGroupBox(upload ? "Target - Host File" : "Source - Host File", this);
    auto* hostLayout = new QGridLayout(host);
    listLevelLabel_ = new QLabel("List level", host);
    listLevel_ = new QLineEdit(host);
    listLevel_->setMaxLength(44);
    hostName_ = new QLineEdit(host);
    hostName_->setMaxLength(54);
    hostName_->setAccessibleName("Host file name");
    hostList_ = new QListWidget(host);
    hostList_->setAccessibleName("Host file list");
    if (!upload) hostList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    listButton_ = new QPushButton("List", host);
    membersButton_ = new QPushButton("Members", host);
    auto* listButtons = new QHBoxLayout;
    listButtons->addWidget(listButton_);
    listButtons->addWidget(membersButton_);
    listButtons->addStretch();
    hostLayout->addLayout(listButtons, 0, 0, 1, 2);
    hostLayout->addWidget(listLevelLabel_, 1, 0);
    hostLayout->addWidget(listLevel_, 1, 1);
    hostLayout->addWidget(hostName_, 2, 0, 1, 2);
    hostLayout->addWidget(hostList_, 3, 0, 1, 2);

    auto* dataGroup = new QGroupBox("Data", this);
    auto* dataLayout = new QVBoxLayout(dataGroup);
    text_ = new QRadioButton("Text", dataGroup);
    binary_ = new QRadioButton("Binary", dataGroup);
    append_ = new QCheckBox("Append", dataGroup);
    dataLayout->addWidget(text_);
    dataLayout->addWidget(binary_);
    dataLayout->addWidget(append_);

    auto* system = new QGroupBox("Host", this);
    auto* systemLayout = new QVBoxLayout(system);
    tsoButton_ = new QRadioButton("TSO", system);
    cmsButton_ = new QRadioButton("CMS", system);
    cicsButton_ = new QRadioButton("CICS", system);
    systemLayout->addWidget(tsoButton_);
    systemLayout->addWidget(cmsButton_);
    systemLayout->addWidget(cicsButton_);

    attributes_ = new QGroupBox("Attributes", this);
    auto* attributesLayout = new QGridLayout(attributes_);
    recordLength_ = numberEdit(5, attributes_);
    recordFormat_ = new QComboBox(attributes_);
    recordFormat_->addItems({"", "FB", "VB"});
    blockSizeLabel_ = new QLabel("Block Size", attributes_);
    blockSize_ = numberEdit(5, attributes_);
    attributesLayout->addWidget(new QLabel("Record Length", attributes_), 0, 0);
    attributesLayout->addWidget(recordLength_, 0, 1);
    attributesLayout->addWidget(new QLabel("Record Format", attributes_), 1, 0);
    attributesLayout->addWidget(recordFormat_, 1, 1);
    attributesLayout->addWidget(blockSizeLabel_, 2, 0);
    attributesLayout->addWidget(blockSize_, 2, 1);

    allocation_ = new QGroupBox("New Allocation", this);
    auto* allocationLayout = new QGridLayout(allocation_);
    prime_ = numberEdit(6, allocation_);
    sec_ = numberEdit(6, allocation_);
    cylinders_ = new QRadioButton("Cylinders", allocation_);
    tracks_ = new QRadioButton("Tracks", allocation_);
    tracks_->setChecked(true);
    allocationLayout->addWidget(new QLabel("Prime", allocation_), 0, 0);
    allocationLayout->addWidget(prime_, 0, 1);
    allocationLayout->addWidget(new QLabel("Sec", allocation_), 1, 0);
    allocationLayout->addWidget(sec_, 1, 1);
    allocationLayout->addWidget(cylinders_, 2, 0);
    allocationLayout->addWidget(tracks_, 2, 1);
    if (!upload) {
        attributes_->hide();
        allocation_->hide();
    }

    auto* conversion = new QGroupBox("Code Conversion", this);
    auto* conversionLayout = new QVBoxLayout(conversion);
    ascii_ = new QCheckBox("ASCII", conversion);
    crlf_ = new QCheckBox("CRLF", conversion);
    conversionLayout->addWidget(ascii_);
    conversionLayout->addWidget(crlf_);

    auto* additional = new QGroupBox("Additional Parameters", this);
    auto* additionalLayout = new QVBoxLayout(additional);
    additional_ = new QLineEdit(additional);
    additional_->setMaxLength(100);
    additionalLayout->addWidget(additional_);

    status_ = new QLabel(this);
    status_->setFrameShape(QFrame::StyledPanel);

    startButton_ = new QPushButton(upload ? "Send" : "Receive", this);
    auto* exitButton = new QPushButton("Exit", this);
    auto* viewLog = new QPushButton("View Log", this);

    auto* options = new QHBoxLayout;
    options->addWidget(dataGroup);
    options->addWidget(system);
    options->addWidget(attributes_);
    options->addWidget(allocation_);
    options->addWidget(conversion);
    auto* files = new QHBoxLayout;
    files->addWidget(pc);
    files->addWidget(host);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(startButton_);
    buttons->addWidget(exitButton);
    buttons->addWidget(viewLog);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(files);
    layout->addLayout(options);
    layout->addWidget(additional);
    layout->addWidget(status_);
    layout->addLayout(buttons);

    connect(browse, &QPushButton::clicked, this, [this] { this->browse(); });
    connect(text_, &QRadioButton::clicked, this, [this] { modeChosen(false); });
    connect(binary_, &QRadioButton::clicked, this, [this] { modeChosen(true); });
    connect(tsoButton_, &QRadioButton::clicked, this,
            [this] { hostTypeChosen(TransferHostType::Tso); });
    connect(cmsButton_, &QRadioButton::clicked, this,
            [this] { hostTypeChosen(TransferHostType::Cms); });
    connect(cicsButton_, &QRadioButton::clicked, this,
            [this] { hostTypeChosen(TransferHostType::Cics); });
    connect(hostList_, &QListWidget::currentTextChanged, this,
            [this](const QString& entry) { hostName_->setText(entry); });
    connect(pcFiles_, &QListWidget::currentTextChanged, this,
            [this](const QString& entry) { pcName_->setText(entry); });
    connect(startButton_, &QPushButton::clicked, this, [this] {
        if (ui_.start) ui_.start(values());
    });
    connect(listButton_, &QPushButton::clicked, this, [this] {
        if (ui_.list) ui_.list(values());
    });
    connect(membersButton_, &QPushButton::clicked, this, [this] {
        if (ui_.members) ui_.members(values());
    });
    connect(exitButton, &QPushButton::clicked, this, [this] { reject(); });
    connect(viewLog, &QPushButton::clicked, this, [this] {
        if (ui_.viewLog) ui_.viewLog();
    });

    setValues(TransferDialogValues{});
}

QRadioButton* TransferDialog::hostButton(TransferHostType type) const {
    switch (type) {
        case TransferHostType::Cms:
            return cmsButton_;
        case TransferHostType::Cics:
            return cicsButton_;
        case TransferHostType::Tso:
            break;
    }
    return tsoButton_;
}

TransferDialogValues TransferDialog::values() const {
    TransferDialogValues v;
    v.pcFolder = folder_->text().toStdString();
    v.pcName = utf8(pcName_);
    v.hostName = utf8(hostName_);
    v.listLevel = utf8(listLevel_);
    v.binary = binary_->isChecked();
    v.append = append_->isChecked();
    v.hostType = shownType_;
    v.ascii = ascii_->isChecked();
    v.crlf = crlf_->isChecked();
    v.tso = tso_;
    v.cms = cms_;
    if (shownType_ == TransferHostType::Tso) v.tso = shownRecordValues();
    if (shownType_ == TransferHostType::Cms) v.cms = shownRecordValues();
    v.blockSize = numberOf(blockSize_);
    v.primarySpace = numberOf(prime_);
    v.secondarySpace = numberOf(sec_);
    v.spaceUnit = cylinders_->isChecked() ? SpaceUnit::Cylinders : SpaceUnit::Tracks;
    v.additionalParameters = utf8(additional_);
    return v;
}

void TransferDialog::setValues(const TransferDialogValues& v) {
    folder_->setText(QString::fromStdString(v.pcFolder.empty() ? QDir::currentPath().toStdString()
                                                               : v.pcFolder));
    pcName_->setText(QString::fromStdString(v.pcName));
    hostName_->setText(QString::fromStdString(v.hostName));
    listLevel_->setText(QString::fromStdString(v.listLevel));
    (v.binary ? binary_ : text_)->setChecked(true);
    append_->setChecked(v.append);
    ascii_->setChecked(v.ascii);
    crlf_->setChecked(v.crlf);
    tso_ = v.tso;
    cms_ = v.cms;
    blockSize_->setText(numberText(v.blockSize));
    prime_->setText(numberText(v.primarySpace));
    sec_->setText(numberText(v.secondarySpace));
    (v.spaceUnit == SpaceUnit::Cylinders ? cylinders_ : tracks_)->setChecked(true);
    additional_->setText(QString::fromStdString(v.additionalParameters));
    hostButton(v.hostType)->setChecked(true);
    showHostType(v.hostType);
}

TransferRecordValues TransferDialog::shownRecordValues() const {
    TransferRecordValues r;
    r.recordLength = numberOf(recordLength_);
    r.recordFormat = static_cast<RecordFormat>(std::max(0, recordFormat_->currentIndex()));
    return r;
}

void TransferDialog::showRecordValues(const TransferRecordValues& values) {
    recordLength_->setText(numberText(values.recordLength));
    recordFormat_->setCurrentIndex(static_cast<int>(values.recordFormat));
}

void TransferDialog::hostTypeChosen(TransferHostType type) {
    // The values shown so far belong to the system shown so far.
    if (shownType_ == TransferHostType::Tso) tso_ = shownRecordValues();
    if (shownType_ == TransferHostType::Cms) cms_ = shownRecordValues();
    showHostType(type);
}

void TransferDialog::showHostType(TransferHostType type) {
    shownType_ = type;
    const bool upload = direction_ == TransferDirection::Upload;
    const bool tso = type == TransferHostType::Tso;
    const bool cms = type == TransferHostType::Cms;
    recordFormat_->setItemText(1, cms ? "F" : "FB");
    recordFormat_->setItemText(2, cms ? "V" : "VB");
    if (tso) showRecordValues(tso_);
    if (cms) showRecordValues(cms_);
    attributes_->setVisible(upload && (tso || cms));
    blockSizeLabel_->setVisible(tso);
    blockSize_->setVisible(tso);
    allocation_->setVisible(upload && tso);
    listLevelLabel_->setVisible(tso || cms);
    listLevel_->setVisible(tso || cms);
    listButton_->setVisible(tso || cms);
    membersButton_->setVisible(tso);
}

void TransferDialog::modeChosen(bool binary) {
    ascii_->setChecked(!binary);
    crlf_->setChecked(!binary);
}

void TransferDialog::browse() {
    const QString file =
        QFileDialog::getOpenFileName(this, windowTitle(), folder_->text(), "All Files (*.*)");
    if (file.isEmpty()) return;
    const QFileInfo info(file);
    folder_->setText(info.absolutePath());
    pcName_->setText(info.fileName());
}

void TransferDialog::setStatusLine(const QString& line) {
    status_->setText(line);
}

QString TransferDialog::statusLine() const {
    return status_->text();
}

void TransferDialog::addHostListEntry(const QString& entry) {
    hostList_->addItem(entry);
}

void TransferDialog::clearHostList() {
    hostList_->clear();
}

bool TransferDialog::mayLeave() {
    if (!running_) return true;
    const bool confirmed =
        ui_.confirmCancel
            ? ui_.confirmCancel()
            : QMessageBox::question(this, "File Transfer in Progress", kCancelQuestion,
                                    QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
    if (!confirmed) return false;
    if (ui_.cancel) ui_.cancel();
    running_ = false;
    return true;
}

void TransferDialog::reject() {
    if (mayLeave()) QDialog::reject();
}

void TransferDialog::closeEvent(QCloseEvent* event) {
    if (mayLeave())
        event->accept();
    else
        event->ignore();
}

}  // namespace cedar::gui
