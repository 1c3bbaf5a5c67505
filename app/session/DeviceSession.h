#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "app/session/SessionView.h"
#include "comm/ComPort.h"

// The conversation with the meter: connect, name query, memory import. Owns no window;
// reaches the controls through ISessionView. All calls on the window thread.
class TDeviceSession {
public:
    using TPortEnumerator = std::function<void(std::vector<std::string>*)>;

    static constexpr const char* ImportingCaption = "   Importing ...";
    static constexpr const char* NoDeviceText = "No connected device";

    // Configures ComPort1 (raw mode, 19200 baud, ...) and binds its callbacks to the session.
    TDeviceSession(ISessionView& view, TComPort& ComPort1, TPortEnumerator enumerate = {});

    std::string ReceivedText;
    bool WaitingForDeviceName = false;
    std::string ImportButtonCaption = "Import from device";
    int DeviceLabelLeft = 155;

    // Takes DeviceLabelLeft and ImportButtonCaption from the controls as designed.
    void RememberDesign();

    void btnConnectClick();
    void btnImportClick();
    void btnRefreshPortsClick();
    void SetNoConnectedDevice();
    void ComPort1ReceiveCallBack(const std::string& Data);
    // The component lost the device (hang-up, adapter pulled): ends an import under way and
    // shows No device. The port stays open until the next connect or refresh closes it.
    void ComPort1HangUp();

    // Appends EnumComPorts' names to the port list (first activation, refresh).
    void FillPortList();

    bool ImportUnderWay() const;

    using TClock = std::chrono::steady_clock;
    // Called by the owner's timer, at least every 100 ms while a port is open (tests pass
    // made-up times): the time limits of the name reply and of an import are judged here.
    void Tick(TClock::time_point now);
    // Ends an import under way: the caption and cursor come back, the previous set stays, and
    // the rest of that dump is discarded so that it cannot complete later.
    void CancelImport();

    // Why the last connect failed ("" after a successful one). The window shows nothing;
    // the command-line tool prints it.
    std::string LastConnectError;

private:
    // Puts the Import caption and the normal cursor back when an import is under way.
    void EndImport();
    void ReceiveNameReply();
    void ReceiveDump();

    ISessionView& view_;
    TComPort& port_;
    TPortEnumerator enumerate_;
};
