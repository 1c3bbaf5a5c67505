#include "report/OffscreenGui.h"

#include <QGuiApplication>

TOffscreenGui::TOffscreenGui() {
    if (QCoreApplication::instance() != nullptr)
        return;
    argv_[argc_++] = name_;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        argv_[argc_++] = platformOption_;
        argv_[argc_++] = platform_;
    }
    application_ = std::make_unique<QGuiApplication>(argc_, argv_);
}

TOffscreenGui::~TOffscreenGui() noexcept = default;
