#include "sessionfile/qt/certificates_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QVBoxLayout>

namespace cedar::gui {

CertificatesDialog::CertificatesDialog(sessionfile::SessionDialogModel& model,
                                       const std::vector<std::string>& pems, QWidget* parent)
    : QDialog(parent), model_(model) {
    setWindowTitle("SSL Certificates");
    const sessionfile::HostEntry* entry = model_.selected();
    auto* form = new QFormLayout;
    const char* labels[] = {"Host CA certificate:", "Client certificate:", "Client private key:"};
    const std::string chosen[] = {entry ? entry->caCert : "", entry ? entry->clientCert : "",
                                  entry ? entry->clientKey : ""};
    for (int i = 0; i < 3; ++i) {
        boxes_[i] = new QComboBox;
        boxes_[i]->addItem("(none)");
        for (const auto& pem : pems)
            boxes_[i]->addItem(QString::fromStdString(pem));
        const int at = boxes_[i]->findText(QString::fromStdString(chosen[i]));
        boxes_[i]->setCurrentIndex(at > 0 ? at : 0);
        form->addRow(labels[i], boxes_[i]);
    }
    validate_ = new QCheckBox("Validate Host Certificate");
    validate_->setChecked(entry != nullptr && entry->validateHostCert);
    domain_ = new QCheckBox("Domain Name in Certificate Must Match Hostname");
    domain_->setChecked(entry != nullptr && entry->domainMustMatchHost);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        store();
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(validate_);
    layout->addWidget(domain_);
    layout->addWidget(buttons);
}

void CertificatesDialog::store() {
    model_.setCertificates(
        boxes_[0]->currentText().toStdString(), boxes_[1]->currentText().toStdString(),
        boxes_[2]->currentText().toStdString(), validate_->isChecked(), domain_->isChecked());
}

}  // namespace cedar::gui
