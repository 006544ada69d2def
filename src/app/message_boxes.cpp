#include "message_boxes.h"

#include <QMessageBox>
#include <QTimer>
#include <cstdio>

namespace cedar::app {

namespace {

// nullopt: boxes are shown; else whether to answer Cancel/No.
std::optional<bool> automaticAnswer() {
    const QByteArray value = qgetenv("CEDAR_MESSAGE_BOXES");
    if (!qEnvironmentVariableIsSet("CEDAR_MESSAGE_BOXES")) return std::nullopt;
    return value == "cancel";
}

BoxAnswer defaultAnswer(BoxButtons buttons, bool cancel) {
    switch (buttons) {
        case BoxButtons::Ok:
        case BoxButtons::OkHelp:
            return BoxAnswer::Ok;
        case BoxButtons::OkCancel:
            return cancel ? BoxAnswer::Cancel : BoxAnswer::Ok;
        case BoxButtons::RetryCancel:
            return cancel ? BoxAnswer::Cancel : BoxAnswer::Retry;
        case BoxButtons::YesNo:
        case BoxButtons::YesNoCancel:
            return cancel ? BoxAnswer::No : BoxAnswer::Yes;
        case BoxButtons::NoYes:
            return BoxAnswer::No;
        case BoxButtons::AbortRetryIgnore:
            return BoxAnswer::Abort;
    }
    return BoxAnswer::Ok;
}

QMessageBox::StandardButtons standardButtons(BoxButtons buttons) {
    switch (buttons) {
        case BoxButtons::Ok:
            return QMessageBox::Ok;
        case BoxButtons::OkHelp:
            return QMessageBox::Ok | QMessageBox::Help;
        case BoxButtons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case BoxButtons::RetryCancel:
            return QMessageBox::Retry | QMessageBox::Cancel;
        case BoxButtons::YesNo:
        case BoxButtons::NoYes:
            return QMessageBox::Yes | QMessageBox::No;
        case BoxButtons::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case BoxButtons::AbortRetryIgnore:
            return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    }
    return QMessageBox::Ok;
}

BoxAnswer answerOf(int button) {
    switch (button) {
        case QMessageBox::Ok:
            return BoxAnswer::Ok;
        case QMessageBox::Retry:
            return BoxAnswer::Retry;
        case QMessageBox::Yes:
            return BoxAnswer::Yes;
        case QMessageBox::No:
            return BoxAnswer::No;
        case QMessageBox::Abort:
            return BoxAnswer::Abort;
        case QMessageBox::Ignore:
            return BoxAnswer::Ignore;
        case QMessageBox::Help:
            return BoxAnswer::Help;
        default:
            return BoxAnswer::Cancel;  // Cancel, Escape, the window closed
    }
}

QMessageBox* makeBox(QWidget* parent, const std::string& title, const std::string& text,
                     MessageIcon icon, BoxButtons buttons) {
    QMessageBox::Icon qicon = QMessageBox::Warning;
    if (icon == MessageIcon::Question) qicon = QMessageBox::Question;
    if (icon == MessageIcon::Information) qicon = QMessageBox::Information;
    if (icon == MessageIcon::Stop) qicon = QMessageBox::Critical;
    if (icon == MessageIcon::None) qicon = QMessageBox::NoIcon;
    auto* box =
        new QMessageBox(qicon, QString::fromStdString(title), QString::fromLocal8Bit(text.c_str()),
                        standardButtons(buttons), parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    if (buttons == BoxButtons::NoYes) box->setDefaultButton(QMessageBox::No);
    return box;
}

void report(const std::string& title, const std::string& text) {
    const std::string line = messageLine(title, text);
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

}  // namespace

std::string messageLine(const std::string& title, const std::string& text) {
    std::string flat;
    for (char c : text) {
        if (c == '\n')
            flat += "\\n";
        else if (c != '\r')
            flat += c;
    }
    return "message box: " + title + ": " + flat;
}

BoxAnswer askNow(QWidget* parent, const std::string& title, const std::string& text,
                 MessageIcon icon, BoxButtons buttons) {
    if (const auto cancel = automaticAnswer()) {
        report(title, text);
        return defaultAnswer(buttons, *cancel);
    }
    QMessageBox* box = makeBox(parent, title, text, icon, buttons);
    box->setAttribute(Qt::WA_DeleteOnClose, false);
    const int result = box->exec();
    delete box;
    return answerOf(result);
}

void askLater(QWidget* parent, const std::string& title, const std::string& text, MessageIcon icon,
              BoxButtons buttons, std::function<void(BoxAnswer)> done) {
    if (const auto cancel = automaticAnswer()) {
        report(title, text);
        // Answered from the event loop, as a user would, never inside the caller.
        QTimer::singleShot(0, [done = std::move(done), answer = defaultAnswer(buttons, *cancel)] {
            done(answer);
        });
        return;
    }
    QMessageBox* box = makeBox(parent, title, text, icon, buttons);
    QObject::connect(box, &QMessageBox::finished,
                     [done = std::move(done)](int result) { done(answerOf(result)); });
    box->open();
}

}  // namespace cedar::app
