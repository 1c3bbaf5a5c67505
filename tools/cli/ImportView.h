#pragma once

#include <optional>
#include <string>
#include <vector>

#include "session/SessionView.h"

// The session's controls without a window: the command-line tool keeps what the window
// would show, and blocking really sleeps.
class THeadlessSessionView : public ISessionView {
public:
    explicit THeadlessSessionView(std::string port) : port_(std::move(port)) {}

    void SetDeviceLabelText(const std::string& text) override { labelText_ = text; }
    std::string DeviceLabelText() const override { return labelText_; }
    void SetDeviceLabelColor(TRgb) override {}
    void SetDeviceLabelLeft(int left) override { labelLeft_ = left; }
    int DeviceLabelLeft() const override { return labelLeft_; }
    void RepaintDeviceLabel() override {}

    void SetImportEnabled(bool enabled) override { importEnabled_ = enabled; }
    void SetImportCaption(const std::string& caption) override { importCaption_ = caption; }
    std::string ImportCaption() const override { return importCaption_; }

    void SetPortListEnabled(bool) override {}
    void ClearPortList() override {}
    void AddPorts(const std::vector<std::string>&) override {}
    std::optional<std::string> SelectedPort() const override { return port_; }

    void SetBusyCursor(bool) override {}
    void RefillViews() override { ++refills_; }
    void BlockFor(int milliseconds) override;
    void ReportError(const std::string& message) override { errors_.push_back(message); }

    bool ImportEnabled() const { return importEnabled_; }
    int Refills() const { return refills_; }
    const std::vector<std::string>& Errors() const { return errors_; }

private:
    std::string port_;
    std::string labelText_;
    int labelLeft_ = 155;
    bool importEnabled_ = false;
    std::string importCaption_ = "Import from device";
    int refills_ = 0;
    std::vector<std::string> errors_;
};
