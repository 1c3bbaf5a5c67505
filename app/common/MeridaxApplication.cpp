#include "app/common/MeridaxApplication.h"

#include <exception>

#include "app/common/Latin1.h"
#include "app/common/PlainText.h"

namespace {

void ShowErrorBox(const std::string& message) {
    QWidget* owner = QApplication::activeModalWidget();
    if (owner == nullptr) {
        owner = QApplication::activeWindow();
    }
    // The message may quote a file name or what the meter sent.
    AskPlain(owner, QMessageBox::Critical, FromBytes(message), QMessageBox::Ok, QMessageBox::Ok);
}

}  // namespace

TMeridaxApplication::TMeridaxApplication(int& argc, char** argv) : QApplication(argc, argv) {
    // No application display name: the window system would add it to every dialog's title,
    // crowding their own. The main window and the message boxes carry the title themselves.
    // The desktop file installed for the program is meridax.desktop.
    setDesktopFileName(QStringLiteral("meridax"));
}

bool TMeridaxApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowError(e.what());
    } catch (...) {
        ShowError("Unknown error");
    }
    return false;
}

void TMeridaxApplication::ShowError(const std::string& message) {
    if (reporter_) {
        reporter_(message);
    } else {
        ShowErrorBox(message);
    }
}

void TMeridaxApplication::SetErrorReporter(TErrorReporter reporter) {
    reporter_ = std::move(reporter);
}

void ReportApplicationError(const std::string& message) {
    if (auto* app = qobject_cast<TMeridaxApplication*>(QCoreApplication::instance())) {
        app->ShowError(message);
    } else {
        ShowErrorBox(message);
    }
}
