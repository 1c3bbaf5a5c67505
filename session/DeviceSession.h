#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "comm/ComPort.h"
#include "comm/EnumComPorts.h"
#include "data/uMeranie.h"
#include "session/SessionView.h"

// The conversation with the meter: connect, name query, memory import. Owns no window;
// reaches the controls through ISessionView. All calls on the window thread.
class TDeviceSession {
public:
    using TPortEnumerator = std::function<void(std::vector<std::string>*)>;
    using TClock = std::chrono::steady_clock;
    using TClockSource = std::function<TClock::time_point()>;
    using TPortProbe = std::function<std::vector<TPortCandidate>()>;
    // Reads a complete dump's text somewhere else (the window: on a worker thread) and later
    // answers DumpRead with the ticket and the text, on the session's thread.
    using TDumpReader = std::function<void(std::string text, std::uint64_t ticket)>;

    // A dump read: its records, or why it was rejected; and its text, handed back.
    struct TDumpReading {
        TMeraniaArray Records;
        std::optional<std::string> Error;
        std::string Text;
        // The records the parse left out, for the reader to be told.
        TDumpDamage Damage;
    };

    // The session's time limits and its bound on a dump.
    struct TLimits {
        // A request goes out only after the line has been quiet this long: bytes of a dump
        // the meter still sends for an earlier request are discarded meanwhile.
        std::chrono::milliseconds Quiet{200};
        // A line that stays busy longer ends the connect or the import.
        std::chrono::milliseconds QuietLimit{30000};
        // No name reply this long after "n": the status line says so; a late reply still counts.
        std::chrono::milliseconds NameReply{3000};
        // No byte this long during an import ends it as a cancel does.
        std::chrono::milliseconds ImportSilence{10000};
        // Far above any meter's memory; a dump beyond it ends the import.
        std::size_t MaxDumpBytes = std::size_t{64} << 20;
    };

    // Why the last connect or import ended without its reply.
    // WriteFailed: the request could not be sent; UnexpectedReply: bytes followed the name.
    enum class TEnd {
        None,
        Cancelled,
        Silence,
        HangUp,
        TooLarge,
        LineBusy,
        WriteFailed,
        UnexpectedReply
    };

    static constexpr const char* ImportingCaption = "   Importing ...";
    static constexpr const char* NoDeviceText = "No connected device";

    // Configures ComPort1 (raw mode, 19200 baud, ...) and binds its callbacks to the session.
    // enumerate replaces the port scan (tests), and with it the permission hint; clock gives
    // the times of received bytes and clicks (steady_clock unless a test injects one).
    TDeviceSession(ISessionView& view, TComPort& ComPort1, TPortEnumerator enumerate = {},
                   TClockSource clock = {});
    // The same with the records read into records instead of the window's Merania (the
    // command-line tool keeps its own set). records must outlive the session.
    TDeviceSession(ISessionView& view, TComPort& ComPort1, TMeraniaArray& records,
                   TPortEnumerator enumerate = {}, TClockSource clock = {});

    TLimits Limits;
    // The scan behind FillPortList when no enumerator was given (tests replace it).
    TPortProbe ProbePorts;
    // Empty: a complete dump is parsed into the records at once. Set: its text is handed over
    // (not copied) and the import stays under way (Cancel still ends it) until DumpRead
    // answers; ReceivedText meanwhile holds only what arrives after it.
    TDumpReader ReadDumpAside;

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

    // Called by the owner's timer, at least every 100 ms while a port is open (tests pass
    // made-up times): the quiet line before a request, the time limits of the name reply and
    // of an import, and the import's progress are judged here.
    void Tick(TClock::time_point now);
    // Ends an import under way: the caption and cursor come back, the previous set stays, and
    // the rest of that dump is discarded so that it cannot complete later.
    void CancelImport();
    // The answer of ReadDumpAside. Records replace the session's records and the views are
    // refilled; an error is reported and the previous set stays. The text is kept again, followed
    // by what came meanwhile; when that ends with the terminator the whole is read again, as a
    // later terminated delivery is. An answer whose import has ended since (cancelled, connect,
    // refresh) is dropped. On return reading holds what is no longer needed (the set that
    // was replaced), for the caller to free where a pause does no harm.
    void DumpRead(std::uint64_t ticket, TDumpReading& reading);
    // A dump handed to ReadDumpAside has not been answered yet.
    bool ReadingAside() const { return readingTicket_ != 0; }

    // A request waits for the line to go quiet, and bytes have come meanwhile.
    bool LineBusy() const { return quiet_ != TQuiet::None && busyShown_; }
    // What the status line says while a request waits for the busy line to go quiet.
    std::string QuietWaitStatus() const;
    // Why the last import (or the connect's quiet wait) ended early; None after a reply.
    TEnd LastEnd() const { return lastEnd_; }
    // What the last dump accepted left out.
    const TDumpDamage& LastDumpDamage() const { return damage_; }
    // The status line's text for that end.
    const std::string& LastEndStatus() const { return lastEndStatus_; }
    // Complete lines of the import under way (or the last one).
    std::size_t ImportLines() const { return lines_; }

    // Why the last connect failed ("" after a successful one), and the system's code for it.
    // The window shows only the status line; the command-line tool prints the message.
    std::string LastConnectError;
    std::error_code LastConnectCode;
    // Which step of the port failed (Open unless the device refused its settings).
    TComFailure LastConnectFailure = TComFailure::Other;

private:
    enum class TQuiet { None, BeforeName, BeforeDump };
    struct TPortCount {
        std::size_t Found = 0;
        std::size_t Denied = 0;
        // How to get the right to the denied ports; empty when none is denied.
        std::string Hint;
    };

    // Puts the Import caption and the normal cursor back when an import is under way.
    void EndImport();
    // Ends an import (or the connect's quiet wait) early: the caption and cursor come back,
    // the received text goes, and bytes are discarded until the next request.
    void EndEarly(TEnd end, const std::string& status);
    void WaitForQuiet(TQuiet request, TClock::time_point now, const char* why);
    // Adds the ports found to the list.
    TPortCount FillPorts();
    void SendRequest(TClock::time_point now);
    // Sends request; a port that refuses it ends the connect or the import.
    void Send(std::string_view request);
    // The name reply time has passed: the status says why nothing was taken as the name.
    void JudgeLateName();
    void CountLines(const std::string& data);
    void ShowProgress(TClock::time_point now);
    void ReceiveNameReply();
    void ReceiveDump();
    void HandDumpAside();
    // The import's end after a dump was read: the views, the caption and the cursor.
    void DumpAccepted();
    void DumpRejected(const std::string& message);

    ISessionView& view_;
    TComPort& port_;
    // Where a dump's records go: Merania for the window.
    TMeraniaArray& records_;
    TPortEnumerator enumerate_;
    TClockSource clock_;

    TQuiet quiet_ = TQuiet::None;
    TClock::time_point quietSince_{};
    TClock::time_point quietStarted_{};
    // Why the line may be busy during the wait.
    const char* quietWhy_ = "";
    bool busyShown_ = false;
    // After an import ended early: what still comes of that dump is no reply.
    bool discarding_ = false;
    // The last bytes received completed a reply: the meter has nothing more to send.
    bool lineClean_ = false;
    TDumpDamage damage_;
    TClock::time_point lastByteAt_{};

    bool nameAsked_ = false;
    bool noAnswerShown_ = false;
    TClock::time_point nameAskedAt_{};
    bool dumpAsked_ = false;
    TClock::time_point dumpAskedAt_{};
    TEnd lastEnd_ = TEnd::None;
    std::string lastEndStatus_;
    // The dump handed aside that an answer must name to count; 0 when none is awaited.
    std::uint64_t readingTicket_ = 0;
    std::uint64_t lastTicket_ = 0;
    // The length of the text handed aside, still counted against the dump's bound.
    std::size_t handedBytes_ = 0;

    std::size_t lines_ = 0;
    std::size_t lineLength_ = 0;
    bool pendingLf_ = false;
    std::size_t shownBytes_ = 0;
    TClock::time_point shownAt_{};
};
