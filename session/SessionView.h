#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

struct TRgb {
    int Red = 0;
    int Green = 0;
    int Blue = 0;
    friend bool operator==(const TRgb&, const TRgb&) = default;
};

// What the device session needs of the window's controls.
class ISessionView {
public:
    virtual ~ISessionView() = default;

    virtual void SetDeviceLabelText(const std::string& text) = 0;
    virtual std::string DeviceLabelText() const = 0;
    virtual void SetDeviceLabelColor(TRgb color) = 0;
    virtual void SetDeviceLabelLeft(int left) = 0;
    virtual int DeviceLabelLeft() const = 0;
    virtual void RepaintDeviceLabel() = 0;

    virtual void SetImportEnabled(bool enabled) = 0;
    virtual void SetImportCaption(const std::string& caption) = 0;
    virtual std::string ImportCaption() const = 0;

    virtual void SetPortListEnabled(bool enabled) = 0;
    virtual void ClearPortList() = 0;
    virtual void AddPorts(const std::vector<std::string>& names) = 0;
    virtual std::optional<std::string> SelectedPort() const = 0;

    virtual void SetBusyCursor(bool busy) = 0;
    // Refills the three measurement views from Merania (LoadDataToAllListView).
    virtual void RefillViews() = 0;
    // Blocks the window thread (tests record instead of sleeping).
    virtual void BlockFor(int milliseconds) = 0;
    // Shows an error message (the window's message box, the command-line tool's stderr).
    virtual void ReportError(const std::string& message) = 0;

    // One plain-text line on what is going on: the connect state, a wait, the last failure's
    // reason. The window shows it in its status line; the device label is never touched by it.
    virtual void ShowStatus(const std::string& /*text*/) {}
    // An import under way has received bytes and complete lines (at most ten calls a second).
    virtual void ShowImportProgress(std::size_t /*bytes*/, std::size_t /*lines*/) {}
};
