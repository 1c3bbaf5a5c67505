#include "session/RecordingView.h"

void TRecordingView::SetDeviceLabelText(const std::string& text) {
    Calls.push_back("label:" + text);
    LabelText = text;
}

void TRecordingView::SetDeviceLabelColor(TRgb color) {
    Calls.push_back("color:" + std::to_string(color.Red) + "," + std::to_string(color.Green) + "," +
                    std::to_string(color.Blue));
    LabelColor = color;
}

void TRecordingView::SetDeviceLabelLeft(int left) {
    Calls.push_back("left:" + std::to_string(left));
    LabelLeft = left;
}

void TRecordingView::RepaintDeviceLabel() {
    Calls.push_back("repaint");
}

void TRecordingView::SetImportEnabled(bool enabled) {
    Calls.push_back(enabled ? "import:on" : "import:off");
    ImportEnabled = enabled;
}

void TRecordingView::SetImportCaption(const std::string& caption) {
    Calls.push_back("caption:" + caption);
    Caption = caption;
}

void TRecordingView::SetPortListEnabled(bool enabled) {
    Calls.push_back(enabled ? "ports:on" : "ports:off");
    PortListEnabled = enabled;
}

void TRecordingView::ClearPortList() {
    Calls.push_back("clear");
    Ports.clear();
    Selected.reset();
}

void TRecordingView::AddPorts(const std::vector<std::string>& names) {
    std::string joined;
    for (const auto& name : names) {
        joined += (joined.empty() ? "" : ",") + name;
    }
    Calls.push_back("add:" + joined);
    Ports.insert(Ports.end(), names.begin(), names.end());
}

void TRecordingView::SetBusyCursor(bool busy) {
    Calls.push_back(busy ? "cursor:busy" : "cursor:normal");
    Busy = busy;
}

void TRecordingView::RefillViews() {
    Calls.push_back("refill");
    ++Refills;
}

void TRecordingView::BlockFor(int milliseconds) {
    Calls.push_back("block:" + std::to_string(milliseconds));
    if (OnBlock) {
        OnBlock(milliseconds);
    }
}

void TRecordingView::ReportError(const std::string& message) {
    Calls.push_back("error:" + message);
    Errors.push_back(message);
}
