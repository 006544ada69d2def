#include "app/debug_window.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <cstdio>

namespace cedar::app {

namespace {

constexpr int kButtonWidth = 40;
constexpr int kButtonHeight = 21;

}  // namespace

DebugWindow::DebugWindow(char sessionId, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      list_(new QListWidget(this)),
      clear_(new QPushButton("Clear", this)),
      copy_(new QPushButton("Copy", this)) {
    setObjectName("CedarDebugWindow");
    setWindowTitle(QString("%1 - Debug Window").arg(QChar(sessionId)));
    clear_->setGeometry(5, 5, kButtonWidth, kButtonHeight);
    copy_->setGeometry(50, 5, kButtonWidth, kButtonHeight);
    list_->move(5, 30);
    resize(400, 300);
    QObject::connect(clear_, &QPushButton::clicked, this, [this] { clearLines(); });
    QObject::connect(copy_, &QPushButton::clicked, this, [this] { copyToClipboard(); });
}

void DebugWindow::addLine(std::string_view text) {
    list_->addItem(QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size())));
    list_->scrollToBottom();
}

void DebugWindow::clearLines() {
    list_->clear();
}

int DebugWindow::lineCount() const {
    return list_->count();
}

std::string DebugWindow::line(int index) const {
    const QListWidgetItem* item = list_->item(index);
    return item != nullptr ? item->text().toLocal8Bit().toStdString() : std::string();
}

std::string DebugWindow::copyText() const {
    std::string text;
    for (int i = 0; i < list_->count(); ++i) {
        const std::string next = line(i) + "\r\n";
        if (text.size() + next.size() > kCopyLimit) break;
        text += next;
    }
    return text;
}

void DebugWindow::copyToClipboard() const {
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(QString::fromLocal8Bit(copyText().c_str()));
}

void DebugWindow::remember() {
    if (height() > 100 && geometryChanged_) geometryChanged_(QRect(pos(), size()));
}

void DebugWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    remember();
}

void DebugWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    list_->resize(std::max(width() - 28, 0), std::max(height() - 80, 0));
    remember();
}

SessionDebugWindow::SessionDebugWindow(QWidget* owner, char sessionId,
                                       std::function<Geometry()> load,
                                       std::function<void(const Geometry&)> save)
    : owner_(owner), sessionId_(sessionId), load_(std::move(load)), save_(std::move(save)) {}

SessionDebugWindow::~SessionDebugWindow() {
    delete window_;
}

DebugWindow& SessionDebugWindow::ensure() {
    if (window_ != nullptr) return *window_;
    window_ = new DebugWindow(sessionId_, owner_);
    const Geometry g = load_ ? load_() : Geometry{};
    if (g.width > 0 && g.height > 0) window_->setGeometry(g.left, g.top, g.width, g.height);
    window_->setGeometryChanged([this](const QRect& r) {
        if (save_) save_({r.x(), r.y(), r.width(), r.height()});
    });
    // Closing the window destroys it; the next use makes a new one.
    window_->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(window_, &QObject::destroyed, [this] { window_ = nullptr; });
    return *window_;
}

void SessionDebugWindow::debugLine(std::string_view text) {
    if (qEnvironmentVariableIsSet("CEDAR_MESSAGE_BOXES")) {
        std::fprintf(stderr, "debug %.*s\n", static_cast<int>(text.size()), text.data());
        std::fflush(stderr);
    }
    DebugWindow& w = ensure();
    w.addLine(text);
    if (w.isMinimized()) w.showNormal();
    if (!w.isVisible()) w.show();
}

void SessionDebugWindow::open() {
    DebugWindow& w = ensure();
    w.showNormal();
}

void SessionDebugWindow::close() {
    if (window_ != nullptr) window_->close();
}

void SessionDebugWindow::clear() {
    if (window_ != nullptr) window_->clearLines();
}

void SessionDebugWindow::hide() {
    if (window_ != nullptr) window_->hide();
}

}  // namespace cedar::app
