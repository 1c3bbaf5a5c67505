#include "report/OffscreenGui.h"

#include <QGuiApplication>

namespace {

QtMessageHandler previousHandler = nullptr;

// A program run from a script or a service often has no XDG_RUNTIME_DIR; Qt then warns that
// it takes a folder of its own, which is no news to the command line's user.
void QuietAboutRuntimeDir(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtWarningMsg && text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR")))
        return;
    if (previousHandler != nullptr)
        previousHandler(type, context, text);
}

}  // namespace

TOffscreenGui::TOffscreenGui() {
    if (QCoreApplication::instance() != nullptr)
        return;
    argv_[argc_++] = name_;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        argv_[argc_++] = platformOption_;
        argv_[argc_++] = platform_;
    }
    previousHandler = qInstallMessageHandler(QuietAboutRuntimeDir);
    application_ = std::make_unique<QGuiApplication>(argc_, argv_);
}

TOffscreenGui::~TOffscreenGui() noexcept {
    if (application_ == nullptr)
        return;
    application_.reset();
    qInstallMessageHandler(previousHandler);
}
