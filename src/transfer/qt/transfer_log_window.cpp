#include "transfer/qt/transfer_log_window.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace cedar::gui {

TransferLogWindow::TransferLogWindow(const std::vector<std::string>& lines,
                                     std::function<void()> clearLog, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(" File Transfer Log - transfer.log");
    setSizeGripEnabled(true);
    list_ = new QListWidget(this);
    list_->setAccessibleName("Transfer log");
    for (const auto& line : lines)
        addLine(line);
    clearButton_ = new QPushButton("Clear Log", this);
    auto* close = new QPushButton("Close", this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(clearButton_);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addLayout(buttons);
    connect(clearButton_, &QPushButton::clicked, this, [clearLog = std::move(clearLog)] {
        if (clearLog) clearLog();
    });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    resize(600, 400);
}

void TransferLogWindow::addLine(std::string_view line) {
    list_->addItem(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));
    list_->scrollToBottom();
}

void TransferLogWindow::clear() {
    list_->clear();
}

}  // namespace cedar::gui
