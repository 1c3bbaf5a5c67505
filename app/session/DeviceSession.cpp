#include "app/session/DeviceSession.h"

#include <exception>
#include <utility>

#include "comm/EnumComPorts.h"
#include "data/uMeranie.h"

namespace {

constexpr std::string_view NameTerminator = "\n\r";
constexpr std::string_view DumpTerminator = "\n\r\n\r";
constexpr TRgb NoDeviceColor{128, 128, 128};
constexpr TRgb DeviceColor{0, 128, 0};
constexpr int IdentifiedLeft = 130;
constexpr int DetectingLeft = 120;

bool EndsWith(const std::string& text, std::string_view tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Tabs become four blanks, then every LF CR pair goes, in one pass from the left.
std::string PrepareDeviceName(const std::string& reply) {
    std::string widened;
    widened.reserve(reply.size());
    for (char c : reply) {
        if (c == '\t') {
            widened += "    ";
        } else {
            widened += c;
        }
    }
    std::string name;
    name.reserve(widened.size());
    for (std::size_t i = 0; i < widened.size(); ++i) {
        if (widened[i] == '\n' && i + 1 < widened.size() && widened[i + 1] == '\r') {
            ++i;
        } else {
            name += widened[i];
        }
    }
    return name;
}

}  // namespace

TDeviceSession::TDeviceSession(ISessionView& view, TComPort& ComPort1, TPortEnumerator enumerate)
    : view_(view), port_(ComPort1), enumerate_(std::move(enumerate)) {
    port_.Baud = 19200;
    port_.DataBits = 8;
    port_.Parity = ptNONE;
    port_.StopBits = sbONE;
    port_.WinQSizeIn = 8192;
    port_.WinQSizeOut = 8192;
    port_.ReceiveMode = rmRAW;
    port_.SetTerminator("#10#13");
    port_.ReceiveCallBack = [this](const std::string& Data) { ComPort1ReceiveCallBack(Data); };
    port_.OnHangUp = [this](TComPort&) { ComPort1HangUp(); };
}

void TDeviceSession::RememberDesign() {
    DeviceLabelLeft = view_.DeviceLabelLeft();
    ImportButtonCaption = view_.ImportCaption();
}

bool TDeviceSession::ImportUnderWay() const {
    return view_.ImportCaption() == ImportingCaption;
}

void TDeviceSession::EndImport() {
    if (ImportUnderWay()) {
        view_.SetImportCaption(ImportButtonCaption);
        view_.SetBusyCursor(false);
    }
}

void TDeviceSession::SetNoConnectedDevice() {
    view_.SetImportEnabled(false);
    view_.SetDeviceLabelText(NoDeviceText);
    view_.SetDeviceLabelColor(NoDeviceColor);
    view_.SetDeviceLabelLeft(DeviceLabelLeft);
    view_.RepaintDeviceLabel();
}

void TDeviceSession::btnConnectClick() {
    std::optional<std::string> selected = view_.SelectedPort();
    if (!selected) {
        return;
    }
    // A dump that was still awaited will never come from the port being closed now.
    EndImport();
    try {
        ReceivedText.clear();
        SetNoConnectedDevice();
        port_.Close();
        view_.BlockFor(100);
        view_.SetDeviceLabelText("Connecting...");
        view_.RepaintDeviceLabel();
        view_.SetPortListEnabled(false);
        port_.Port = *selected;
        WaitingForDeviceName = true;
        port_.Open();
        view_.BlockFor(1000);
        SetNoConnectedDevice();
        port_.Write("n");
        LastConnectError.clear();
    } catch (const std::exception& e) {
        LastConnectError = e.what();
        WaitingForDeviceName = false;
        SetNoConnectedDevice();
    } catch (...) {
        LastConnectError = "unknown error";
        WaitingForDeviceName = false;
        SetNoConnectedDevice();
    }
    view_.SetPortListEnabled(true);
}

void TDeviceSession::btnImportClick() {
    if (ImportUnderWay()) {
        return;
    }
    view_.SetBusyCursor(true);
    view_.SetImportCaption(ImportingCaption);
    ReceivedText.clear();
    port_.Write("u");
}

void TDeviceSession::btnRefreshPortsClick() {
    EndImport();
    view_.SetDeviceLabelLeft(DetectingLeft);
    view_.SetDeviceLabelText("Detecting avaible ports...");
    view_.RepaintDeviceLabel();
    view_.ClearPortList();
    port_.Close();
    FillPortList();
    SetNoConnectedDevice();
}

void TDeviceSession::FillPortList() {
    std::vector<std::string> names;
    if (enumerate_) {
        enumerate_(&names);
    } else {
        EnumComPorts(&names);
    }
    view_.AddPorts(names);
}

void TDeviceSession::ComPort1ReceiveCallBack(const std::string& Data) {
    ReceivedText += Data;
    // Only the test of the current mode is made; a chunk is never split between the two.
    if (WaitingForDeviceName) {
        if (ReceivedText.size() > NameTerminator.size() && EndsWith(ReceivedText, NameTerminator)) {
            ReceiveNameReply();
        }
    } else if (ReceivedText.size() > DumpTerminator.size() &&
               EndsWith(ReceivedText, DumpTerminator)) {
        ReceiveDump();
    }
}

void TDeviceSession::ReceiveNameReply() {
    WaitingForDeviceName = false;
    view_.SetImportEnabled(true);
    view_.SetDeviceLabelLeft(IdentifiedLeft);
    std::string name = PrepareDeviceName(ReceivedText);
    view_.SetDeviceLabelColor(DeviceColor);
    view_.SetDeviceLabelText(name);
    ReceivedText.clear();
}

void TDeviceSession::ReceiveDump() {
    // The dump text stays in ReceivedText: a later delivery that leaves it ending with the
    // terminator parses all of it again.
    TMeraniaArray previous = std::move(Merania);
    Merania.clear();
    try {
        ParseDeviceDump(ReceivedText);
    } catch (const std::exception& e) {
        // A rejected dump leaves the set the views show, and the button usable again.
        Merania = std::move(previous);
        view_.SetImportCaption(ImportButtonCaption);
        view_.SetBusyCursor(false);
        view_.ReportError(e.what());
        return;
    }
    view_.RefillViews();
    view_.SetImportCaption(ImportButtonCaption);
    view_.SetBusyCursor(false);
}

void TDeviceSession::ComPort1HangUp() {
    WaitingForDeviceName = false;
    EndImport();
    SetNoConnectedDevice();
}

void TDeviceSession::Tick(TClock::time_point) {}

void TDeviceSession::CancelImport() {
    EndImport();
}
