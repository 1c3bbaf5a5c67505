#pragma once

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
    std::string ImportButtonCaption;
    int DeviceLabelLeft = 155;

    // Takes DeviceLabelLeft and ImportButtonCaption from the controls as designed.
    void RememberDesign();

    void btnConnectClick();
    void btnImportClick();
    void btnRefreshPortsClick();
    void SetNoConnectedDevice();
    void ComPort1ReceiveCallBack(const std::string& Data);

    // Appends EnumComPorts' names to the port list (first activation, refresh).
    void FillPortList();

    bool ImportUnderWay() const;

private:
    ISessionView& view_;
    TComPort& port_;
    TPortEnumerator enumerate_;
};
