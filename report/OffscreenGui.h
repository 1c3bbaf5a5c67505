#pragma once

#include <memory>

class QGuiApplication;

// A QGuiApplication for a program without a window, made only when no application object
// exists yet, so that fonts and QPdfWriter work without a display: on the offscreen platform
// unless QT_QPA_PLATFORM names another.
class TOffscreenGui {
public:
    TOffscreenGui();
    ~TOffscreenGui() noexcept;
    TOffscreenGui(const TOffscreenGui&) = delete;
    TOffscreenGui& operator=(const TOffscreenGui&) = delete;

private:
    // QGuiApplication keeps references to argc and argv for its whole life.
    int argc_ = 0;
    char* argv_[4] = {};
    char name_[8] = "meridax";
    char platformOption_[10] = "-platform";
    char platform_[10] = "offscreen";
    std::unique_ptr<QGuiApplication> application_;
};
