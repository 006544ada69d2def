// The trust question's dialog offscreen: it shows what the user trusts,
// Enter does not trust, and ask() answers once by the button pressed.
#include "host/qt/certificate_trust_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

namespace cedar::gui {
namespace {

CertificateDetails details() {
    CertificateDetails d;
    d.host = "MVS1.example";
    d.port = 992;
    d.subject = "CN=mvs1.example,O=Example";
    d.issuer = "CN=mvs1.example,O=Example";
    d.subjectAltNames = {"DNS:mvs1.example", "IP:10.0.0.1"};
    d.notBefore = "2026-12-10 18:00:00 UTC";
    d.notAfter = "2026-12-12 18:00:00 UTC";
    for (int i = 0; i < 32; ++i)
        d.fingerprint += (i ? ":" : "") + std::string(1, "0123456789ABCDEF"[i % 16]) + "F";
    d.problem = "Encryption Error, Host certificate failed verification";
    return d;
}

QString shown(CertificateTrustDialog& dialog, const char* name) {
    const QLabel* label = dialog.detail(name);
    return label ? label->text() : QString("(no such detail)");
}

TEST(CertificateTrustDialog, ShowsEveryDetailTheHostAndThePortAndWhyItFailed) {
    const CertificateDetails d = details();
    CertificateTrustDialog dialog(d);
    EXPECT_EQ(shown(dialog, "Subject"), "CN=mvs1.example,O=Example");
    EXPECT_EQ(shown(dialog, "Issuer"), "CN=mvs1.example,O=Example");
    EXPECT_EQ(shown(dialog, "Alternative names"), "DNS:mvs1.example, IP:10.0.0.1");
    EXPECT_EQ(shown(dialog, "Valid from"), "2026-12-10 18:00:00 UTC");
    EXPECT_EQ(shown(dialog, "Valid until"), "2026-12-12 18:00:00 UTC");
    QString print = shown(dialog, "SHA-256 fingerprint");
    EXPECT_EQ(print.count('\n'), 1) << "two lines of 16 bytes";
    EXPECT_EQ(print.replace('\n', ':').toStdString(), d.fingerprint);
    const QString explanation = dialog.explanation()->text();
    EXPECT_TRUE(explanation.contains("mvs1.example:992")) << explanation.toStdString();
    EXPECT_TRUE(explanation.contains(QString::fromStdString(d.problem)));
    EXPECT_EQ(dialog.trustButton()->text(), "Trust this certificate");

    CertificateDetails none = d;
    none.subjectAltNames.clear();
    CertificateTrustDialog without(none);
    EXPECT_EQ(shown(without, "Alternative names"), "(none)");
}

TEST(CertificateTrustDialog, AskAnswersOnceByTheButtonAndEnterDoesNotTrust) {
    struct Case {
        const char* name;
        std::function<void(CertificateTrustDialog&)> act;
        bool trusted;
    };
    const Case cases[] = {
        {"trust", [](CertificateTrustDialog& d) { d.trustButton()->click(); }, true},
        {"cancel", [](CertificateTrustDialog& d) { d.cancelButton()->click(); }, false},
        {"closed", [](CertificateTrustDialog& d) { d.close(); }, false},
        {"enter",
         [](CertificateTrustDialog& d) {
             QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
             QApplication::sendEvent(&d, &press);
         },
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QWidget window;
        window.show();
        std::vector<bool> answers;
        QPointer<CertificateTrustDialog> dialog = CertificateTrustDialog::ask(
            &window, details(), [&](bool trust) { answers.push_back(trust); });
        ASSERT_TRUE(dialog);
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_TRUE(answers.empty()) << "ask() does not wait for the answer";
        c.act(*dialog);
        EXPECT_EQ(answers, std::vector<bool>{c.trusted});
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(dialog.isNull()) << "deleted once answered";
    }
}

}  // namespace
}  // namespace cedar::gui
