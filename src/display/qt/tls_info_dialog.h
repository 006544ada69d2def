// The modal "TLS and Server Certificate Information" dialog the status
// bar's TLS pane opens: the fields of display/tls_info.h, "Ok" to close and
// "Copy" to put the same data, read again, on the clipboard as text.
#pragma once

#include <QDialog>
#include <functional>

#include "display/tls_info.h"

class QLabel;

namespace cedar::display::qt {

class TlsInfoDialog : public QDialog {
  public:
    // `source` reads the connection in force; it is called when the dialog
    // opens and again for each Copy.
    explicit TlsInfoDialog(std::function<TlsInformation()> source, QWidget* parent = nullptr);

    // The value shown for a label ("Encryption:", ...); empty when none.
    QString valueOf(const QString& label) const;
    // Puts the text on the clipboard (the Copy button).
    void copyToClipboard();

  private:
    std::function<TlsInformation()> source_;
    std::vector<std::pair<QString, QLabel*>> values_;
};

}  // namespace cedar::display::qt
