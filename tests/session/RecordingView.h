#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "session/SessionView.h"

// Records every call that changes the view, in order, as short texts ("label:...",
// "left:130", ...), and keeps the state the getters report.
class TRecordingView : public ISessionView {
public:
    std::vector<std::string> Calls;

    std::string LabelText = "lblConectedDeviceName";
    TRgb LabelColor{0, 0, 0};
    int LabelLeft = 155;
    bool ImportEnabled = true;
    std::string Caption = "Import from device";
    bool PortListEnabled = true;
    std::vector<std::string> Ports;
    std::optional<std::string> Selected;
    bool Busy = false;
    std::vector<std::string> Errors;
    int Refills = 0;
    // Kept apart from Calls: the status line is not one of the designed controls.
    std::vector<std::string> Statuses;
    std::vector<std::pair<std::size_t, std::size_t>> Progress;
    // Runs inside BlockFor, after the call is recorded.
    std::function<void(int)> OnBlock;

    void SetDeviceLabelText(const std::string& text) override;
    std::string DeviceLabelText() const override { return LabelText; }
    void SetDeviceLabelColor(TRgb color) override;
    void SetDeviceLabelLeft(int left) override;
    int DeviceLabelLeft() const override { return LabelLeft; }
    void RepaintDeviceLabel() override;

    void SetImportEnabled(bool enabled) override;
    void SetImportCaption(const std::string& caption) override;
    std::string ImportCaption() const override { return Caption; }

    void SetPortListEnabled(bool enabled) override;
    void ClearPortList() override;
    void AddPorts(const std::vector<std::string>& names) override;
    std::optional<std::string> SelectedPort() const override { return Selected; }

    void SetBusyCursor(bool busy) override;
    void RefillViews() override;
    void BlockFor(int milliseconds) override;
    void ReportError(const std::string& message) override;
    void ShowStatus(const std::string& text) override { Statuses.push_back(text); }
    void ShowImportProgress(std::size_t bytes, std::size_t lines) override {
        Progress.emplace_back(bytes, lines);
    }
};
