// The transfer log window, " File Transfer Log - transfer.log": the lines
// of transfer.log, each new line added while it is open, and "Clear Log",
// which empties the file and the list.
#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "transfer/transfer_log.h"

class QListWidget;
class QPushButton;

namespace cedar::gui {

class TransferLogWindow : public QDialog, public TransferLogView {
  public:
    // `lines`: the file's lines so far. `clearLog`: "Clear Log" pressed.
    TransferLogWindow(const std::vector<std::string>& lines, std::function<void()> clearLog,
                      QWidget* parent = nullptr);

    // TransferLogView.
    void addLine(std::string_view line) override;
    void clear() override;

    QListWidget* list() const { return list_; }
    QPushButton* clearButton() const { return clearButton_; }

  private:
    QListWidget* list_ = nullptr;
    QPushButton* clearButton_ = nullptr;
};

}  // namespace cedar::gui
