#include "host/qt/certificate_trust_dialog.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace cedar::gui {

namespace {

constexpr const char* kDetailProperty = "cedarDetail";

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

// 32 bytes as two lines of 16, so that the dialog stays narrow.
QString fingerprintLines(const std::string& fingerprint) {
    const QString all = text(fingerprint);
    return all.size() == 95 ? all.left(47) + "\n" + all.mid(48) : all;
}

QLabel* selectable(const QString& value) {
    auto* label = new QLabel(value);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}

}  // namespace

CertificateTrustDialog::CertificateTrustDialog(const CertificateDetails& d, QWidget* parent)
    : QDialog(parent) {
    const QString key = text(trustKey(d.host, d.port));
    setWindowTitle("Cedar TN3270 Server Certificate");

    explanation_ = selectable(
        "The certificate of " + key + " failed verification:\n" + text(d.problem) +
        "\n\nIf you know that this is the host's own certificate, you can trust exactly this "
        "certificate for " +
        key + " from now on. Any other certificate that host presents later will be refused.");
    auto* icon = new QLabel;
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addWidget(explanation_, 1);

    std::string names;
    for (const auto& name : d.subjectAltNames)
        names += (names.empty() ? "" : ", ") + name;
    const std::pair<const char*, QString> rows[] = {
        {"Subject", text(d.subject)},
        {"Issuer", text(d.issuer)},
        {"Alternative names", names.empty() ? QString("(none)") : text(names)},
        {"Valid from", text(d.notBefore)},
        {"Valid until", text(d.notAfter)},
        {"SHA-256 fingerprint", fingerprintLines(d.fingerprint)},
    };
    auto* form = new QFormLayout;
    for (const auto& [name, value] : rows) {
        QLabel* label = selectable(value);
        label->setProperty(kDetailProperty, QString(name));
        if (QString(name) == "SHA-256 fingerprint")
            label->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        form->addRow(QString(name) + ":", label);
    }

    auto* buttons = new QDialogButtonBox;
    trust_ = buttons->addButton("Trust this certificate", QDialogButtonBox::AcceptRole);
    cancel_ = buttons->addButton(QDialogButtonBox::Cancel);
    // Enter must not trust a certificate by accident.
    trust_->setAutoDefault(false);
    cancel_->setDefault(true);
    cancel_->setFocus();
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

QLabel* CertificateTrustDialog::detail(const QString& name) const {
    for (QLabel* label : findChildren<QLabel*>())
        if (label->property(kDetailProperty).toString() == name) return label;
    return nullptr;
}

CertificateTrustDialog* CertificateTrustDialog::ask(QWidget* parent,
                                                    const CertificateDetails& details,
                                                    std::function<void(bool trust)> answer) {
    auto* dialog = new CertificateTrustDialog(details, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(parent != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
    QObject::connect(dialog, &QDialog::finished, dialog, [answer = std::move(answer)](int result) {
        if (answer) answer(result == QDialog::Accepted);
    });
    dialog->open();
    return dialog;
}

}  // namespace cedar::gui
