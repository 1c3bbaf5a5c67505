#include "app/MeridaxApplication.h"

#include <QMessageBox>
#include <exception>

#include "app/Latin1.h"

namespace {

void ShowErrorBox(const std::string& message) {
    QWidget* owner = QApplication::activeModalWidget();
    if (owner == nullptr) {
        owner = QApplication::activeWindow();
    }
    QMessageBox::critical(owner, QString::fromLatin1(TMeridaxApplication::Title),
                          FromBytes(message));
}

}  // namespace

TMeridaxApplication::TMeridaxApplication(int& argc, char** argv) : QApplication(argc, argv) {
    // What the desktop and windows without a title of their own show; the desktop file
    // installed for the program is meridax.desktop.
    setApplicationDisplayName(QString::fromLatin1(Title));
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
