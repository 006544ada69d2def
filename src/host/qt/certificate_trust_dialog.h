// The question after a host certificate failed verification: its details
// (subject, issuer, alternative names, validity, SHA-256 fingerprint) and
// why it failed, with "Trust this certificate" (for that host and port from
// now on) and "Cancel", which is the default button.
//
// In the main window's DriverUi:
//
//   bool askTrustCertificate(const CertificateDetails& d) override {
//       CertificateTrustDialog::ask(window, d, [&driver](bool trust) {
//           driver.answerTrust(trust);
//       });
//       return true;
//   }
#pragma once

#include <QDialog>
#include <functional>

#include "host/certificate_trust.h"

class QLabel;
class QPushButton;

namespace cedar::gui {

class CertificateTrustDialog : public QDialog {
  public:
    explicit CertificateTrustDialog(const CertificateDetails& details, QWidget* parent = nullptr);

    // Opens the dialog window-modal over `parent` without waiting for it;
    // `answer(true)` when the user trusts the certificate, `answer(false)`
    // when the dialog is cancelled or closed, exactly once. The dialog
    // deletes itself afterwards. Returns it (for tests).
    static CertificateTrustDialog* ask(QWidget* parent, const CertificateDetails& details,
                                       std::function<void(bool trust)> answer);

    QPushButton* trustButton() const { return trust_; }
    QPushButton* cancelButton() const { return cancel_; }
    // The text shown for one detail: "Subject", "Issuer", "Alternative names",
    // "Valid from", "Valid until", "SHA-256 fingerprint" (nullptr for others).
    QLabel* detail(const QString& name) const;
    // The explanation above the details (host, port and the failure).
    QLabel* explanation() const { return explanation_; }

  private:
    QLabel* explanation_ = nullptr;
    QPushButton* trust_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

}  // namespace cedar::gui
