#include "display/qt/tls_info_dialog.h"

#include <QClipboard>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace cedar::display::qt {

TlsInfoDialog::TlsInfoDialog(std::function<TlsInformation()> source, QWidget* parent)
    : QDialog(parent), source_(std::move(source)) {
    setWindowTitle(QString::fromUtf8(kTlsInfoTitle.data(), kTlsInfoTitle.size()));
    setModal(true);
    auto* form = new QFormLayout;
    const TlsInformation info = source_ ? source_() : TlsInformation{};
    for (const TlsField& field : tlsInformationFields(info)) {
        auto* value = new QLabel(QString::fromStdString(field.value));
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        const QString label = QString::fromStdString(field.label);
        value->setObjectName(label);
        form->addRow(label, value);
        values_.emplace_back(label, value);
    }
    auto* buttons = new QDialogButtonBox;
    QPushButton* ok = buttons->addButton("Ok", QDialogButtonBox::AcceptRole);
    QPushButton* copy = buttons->addButton("Copy", QDialogButtonBox::ActionRole);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(copy, &QPushButton::clicked, this, [this] { copyToClipboard(); });
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

QString TlsInfoDialog::valueOf(const QString& label) const {
    for (const auto& [name, value] : values_)
        if (name == label) return value->text();
    return {};
}

void TlsInfoDialog::copyToClipboard() {
    const TlsInformation info = source_ ? source_() : TlsInformation{};
    QGuiApplication::clipboard()->setText(QString::fromStdString(tlsInformationText(info)));
}

}  // namespace cedar::display::qt
