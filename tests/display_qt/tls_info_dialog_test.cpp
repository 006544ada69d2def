#include "display/qt/tls_info_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QPushButton>

namespace cedar::display::qt {
namespace {

TEST(TlsInfoDialog, ShowsTheConnectionAndCopiesItAgain) {
    TlsInformation info;
    info.connection.tls = true;
    info.connection.tlsCipher = "AES256-GCM-SHA384";
    info.connection.tlsCipherBits = 256;
    info.connection.peerSubject = "CN=localhost,O=Cedar Tests";
    info.port = 992;
    int reads = 0;
    TlsInfoDialog dialog([&] {
        ++reads;
        return info;
    });
    EXPECT_EQ(dialog.windowTitle(), "TLS and Server Certificate Information");
    EXPECT_EQ(dialog.valueOf("Encryption:"), "AES256-GCM-SHA384 - 256 bits");
    EXPECT_EQ(dialog.valueOf("Organization:"), "Cedar Tests");
    EXPECT_EQ(dialog.valueOf("Valid:"), "unknown");
    EXPECT_EQ(reads, 1);

    // Copy reads the connection again: a change since the dialog opened shows.
    info.port = 993;
    QPushButton* copy = nullptr;
    for (auto* b : dialog.findChildren<QPushButton*>())
        if (b->text() == "Copy") copy = b;
    ASSERT_NE(copy, nullptr);
    copy->click();
    EXPECT_EQ(reads, 2);
    const QString text = QGuiApplication::clipboard()->text();
    EXPECT_EQ(text.toStdString(), tlsInformationText(info));
    EXPECT_TRUE(text.contains("Port Number:             993\r\n"));
}

}  // namespace
}  // namespace cedar::display::qt
