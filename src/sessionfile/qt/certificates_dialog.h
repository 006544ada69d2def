// "SSL Certificates": the CA certificate, client certificate and client key
// of the selected host, chosen from the *.pem files of AppData's certs
// folder ("(none)" first), and the two certificate checks.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "sessionfile/session_dialog.h"

class QCheckBox;
class QComboBox;

namespace cedar::gui {

class CertificatesDialog : public QDialog {
  public:
    CertificatesDialog(sessionfile::SessionDialogModel& model, const std::vector<std::string>& pems,
                       QWidget* parent = nullptr);
    QComboBox* caBox() const { return boxes_[0]; }
    QComboBox* clientCertBox() const { return boxes_[1]; }
    QComboBox* clientKeyBox() const { return boxes_[2]; }
    QCheckBox* validateBox() const { return validate_; }
    QCheckBox* domainBox() const { return domain_; }
    // OK: the choices go into the model's selected host.
    void store();

  private:
    sessionfile::SessionDialogModel& model_;
    QComboBox* boxes_[3] = {};
    QCheckBox* validate_ = nullptr;
    QCheckBox* domain_ = nullptr;
};

}  // namespace cedar::gui
