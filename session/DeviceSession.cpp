#include "session/DeviceSession.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "data/uMeranie.h"
#include "session/SessionStatus.h"

namespace {

constexpr std::string_view NameTerminator = "\n\r";
constexpr std::string_view DumpTerminator = "\n\r\n\r";
constexpr TRgb NoDeviceColor{128, 128, 128};
constexpr TRgb DeviceColor{0, 128, 0};
constexpr int IdentifiedLeft = 130;
constexpr int DetectingLeft = 120;
constexpr std::chrono::milliseconds ProgressPeriod{100};
constexpr const char* EarlierDumpWhy = "the meter may still be sending a dump asked for before";
constexpr const char* CancelledDumpWhy = "the meter is still sending the cancelled dump";
constexpr const char* EndedDumpWhy = "the meter is still sending the ended dump";
constexpr const char* StrayBytesWhy = "the meter is sending bytes that were not asked for";

long long WholeSeconds(std::chrono::milliseconds span) {
    return std::chrono::duration_cast<std::chrono::seconds>(span).count();
}

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

// Appends data to text, which is never let grow beyond max. The usual doubling would, near
// max, copy almost max bytes into a buffer of twice max; once the next buffer would pass half
// of max it is made max at once, so that a copy never moves more than half of max and memory
// peaks near max, not near three times it.
void AppendWithin(std::string& text, const std::string& data, std::size_t max) {
    const std::size_t needed = text.size() + data.size();
    if (needed > text.capacity()) {
        std::size_t capacity = std::max(needed, 2 * text.capacity());
        if (capacity > max / 2) {
            capacity = std::max(needed, max);
        }
        text.reserve(capacity);
    }
    text.append(data);
}

std::string ConnectFailureStatus(const std::string& port, std::uint32_t baud,
                                 const EComError& error) {
    if (error.failure() == TComFailure::Speed || error.failure() == TComFailure::LineSettings) {
        return LineRefusedStatus(port, baud, error.failure() == TComFailure::Speed, error.code());
    }
    return OpenFailureStatus(port, error.code());
}

}  // namespace

TDeviceSession::TDeviceSession(ISessionView& view, TComPort& ComPort1, TPortEnumerator enumerate,
                               TClockSource clock)
    : TDeviceSession(view, ComPort1, Merania, std::move(enumerate), std::move(clock)) {}

TDeviceSession::TDeviceSession(ISessionView& view, TComPort& ComPort1, TMeraniaArray& records,
                               TPortEnumerator enumerate, TClockSource clock)
    : view_(view),
      port_(ComPort1),
      records_(records),
      enumerate_(std::move(enumerate)),
      clock_(std::move(clock)) {
    if (!clock_) {
        clock_ = [] { return TClock::now(); };
    }
    ProbePorts = [] { return ProbeComPorts(DefaultComPortCandidates()); };
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
    readingTicket_ = 0;
    handedBytes_ = 0;
    quiet_ = TQuiet::None;
    nameAsked_ = false;
    dumpAsked_ = false;
    discarding_ = false;
    lineClean_ = false;
    lastEnd_ = TEnd::None;
    LastConnectCode.clear();
    LastConnectFailure = TComFailure::Other;
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
        // "n" goes out from Tick once the line is quiet: a meter may still be sending a dump
        // asked for before, which must not be taken for its name.
        WaitForQuiet(TQuiet::BeforeName, clock_(), EarlierDumpWhy);
        LastConnectError.clear();
        // Connected only once the meter answers; the label says No device until then.
        view_.ShowStatus(AskingNameStatus(port_.Port, port_.Baud));
    } catch (const EComError& e) {
        LastConnectError = e.what();
        LastConnectCode = e.code();
        LastConnectFailure = e.failure();
        WaitingForDeviceName = false;
        SetNoConnectedDevice();
        view_.ShowStatus(ConnectFailureStatus(*selected, port_.Baud, e));
    } catch (const std::exception& e) {
        LastConnectError = e.what();
        WaitingForDeviceName = false;
        SetNoConnectedDevice();
        view_.ShowStatus(OpenFailureStatus(*selected, {}));
    } catch (...) {
        LastConnectError = "unknown error";
        WaitingForDeviceName = false;
        SetNoConnectedDevice();
        view_.ShowStatus(OpenFailureStatus(*selected, {}));
    }
    view_.SetPortListEnabled(true);
}

void TDeviceSession::btnImportClick() {
    if (ImportUnderWay()) {
        return;
    }
    // Why the line may be busy, told while the request waits.
    const char* why = !discarding_                  ? StrayBytesWhy
                      : lastEnd_ == TEnd::Cancelled ? CancelledDumpWhy
                                                    : EndedDumpWhy;
    view_.SetBusyCursor(true);
    view_.SetImportCaption(ImportingCaption);
    ReceivedText.clear();
    lastEnd_ = TEnd::None;
    lines_ = 0;
    // Right after a complete reply the meter has nothing more to send; otherwise (stray bytes,
    // an import ended early) "u" waits for the line to go quiet.
    if (lineClean_ && !discarding_) {
        quiet_ = TQuiet::BeforeDump;
        SendRequest(clock_());
    } else {
        WaitForQuiet(TQuiet::BeforeDump, clock_(), why);
    }
}

void TDeviceSession::btnRefreshPortsClick() {
    const bool importing = ImportUnderWay();
    EndImport();
    readingTicket_ = 0;
    handedBytes_ = 0;
    view_.SetDeviceLabelLeft(DetectingLeft);
    view_.SetDeviceLabelText("Detecting avaible ports...");
    view_.RepaintDeviceLabel();
    view_.ClearPortList();
    port_.Close();
    quiet_ = TQuiet::None;
    nameAsked_ = false;
    dumpAsked_ = false;
    // What the line said about the port closed now no longer holds.
    if (const TPortCount count = FillPorts(); count.Denied > 0) {
        view_.ShowStatus(DeniedPortsStatus(count.Denied, count.Hint));
    } else {
        view_.ShowStatus(PortsFoundStatus(count.Found, importing));
    }
    SetNoConnectedDevice();
}

void TDeviceSession::FillPortList() {
    if (const TPortCount count = FillPorts(); count.Denied > 0) {
        view_.ShowStatus(DeniedPortsStatus(count.Denied, count.Hint));
    }
}

TDeviceSession::TPortCount TDeviceSession::FillPorts() {
    std::vector<std::string> names;
    TPortCount count;
    if (enumerate_) {
        enumerate_(&names);
    } else {
        // Each different way in once, in the order of the ports.
        std::vector<std::string> hints;
        for (const TPortCandidate& candidate : ProbePorts()) {
            if (candidate.State == TPortState::Available) {
                names.push_back(candidate.Device);
            } else if (candidate.State == TPortState::PermissionDenied) {
                ++count.Denied;
                std::string hint = PermissionHint(candidate.Access);
                if (std::find(hints.begin(), hints.end(), hint) == hints.end()) {
                    hints.push_back(std::move(hint));
                }
            }
        }
        for (std::size_t i = 0; i < hints.size(); ++i) {
            count.Hint += (i == 0 ? "" : "; or ") + hints[i];
        }
    }
    count.Found = names.size();
    view_.AddPorts(names);
    return count;
}

void TDeviceSession::ComPort1ReceiveCallBack(const std::string& Data) {
    const TClock::time_point now = clock_();
    if (!Data.empty()) {
        lastByteAt_ = now;
    }
    if (quiet_ != TQuiet::None) {
        if (!Data.empty()) {
            quietSince_ = now;
            if (!busyShown_) {
                busyShown_ = true;
                view_.ShowStatus(QuietWaitStatus());
            }
        }
        return;
    }
    if (discarding_) {
        return;
    }
    if (handedBytes_ + ReceivedText.size() + Data.size() > Limits.MaxDumpBytes) {
        if (ImportUnderWay()) {
            EndEarly(TEnd::TooLarge, ImportTooLargeStatus(Limits.MaxDumpBytes));
        } else {
            // No reply grows this large: what there is goes, and the rest with it.
            ReceivedText.clear();
            ReceivedText.shrink_to_fit();
            discarding_ = true;
        }
        return;
    }
    AppendWithin(ReceivedText, Data, Limits.MaxDumpBytes);
    if (!Data.empty()) {
        lineClean_ = false;
    }
    if (dumpAsked_ && !WaitingForDeviceName) {
        CountLines(Data);
        if (now - shownAt_ >= ProgressPeriod) {
            ShowProgress(now);
        }
    }
    // Only the test of the current mode is made; a chunk is never split between the two.
    if (WaitingForDeviceName) {
        if (ReceivedText.size() > NameTerminator.size() && EndsWith(ReceivedText, NameTerminator)) {
            ReceiveNameReply();
        }
    } else if (!ReadingAside() && ReceivedText.size() > DumpTerminator.size() &&
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
    lineClean_ = true;
    noAnswerShown_ = false;
    view_.ShowStatus(ConnectedStatus(port_.Port, port_.Baud));
}

void TDeviceSession::ReceiveDump() {
    if (ReadDumpAside) {
        HandDumpAside();
        return;
    }
    // The dump text stays in ReceivedText: a later delivery that leaves it ending with the
    // terminator parses all of it again.
    TMeraniaArray previous = std::move(records_);
    records_.clear();
    try {
        ParseDeviceDump(ReceivedText, records_, &damage_);
    } catch (const std::exception& e) {
        // A rejected dump leaves the set the views show, and the button usable again.
        records_ = std::move(previous);
        DumpRejected(e.what());
        return;
    }
    lineClean_ = true;
    DumpAccepted();
}

void TDeviceSession::HandDumpAside() {
    // Moved, not copied: a large dump's text would cost the window thread a pause.
    dumpAsked_ = false;
    readingTicket_ = ++lastTicket_;
    handedBytes_ = ReceivedText.size();
    std::string text = std::move(ReceivedText);
    ReceivedText.clear();
    ReadDumpAside(std::move(text), readingTicket_);
}

void TDeviceSession::DumpRead(std::uint64_t ticket, TDumpReading& reading) {
    if (ticket == 0 || ticket != readingTicket_) {
        return;
    }
    readingTicket_ = 0;
    handedBytes_ = 0;
    const std::size_t meanwhile = ReceivedText.size();
    if (meanwhile == 0) {
        std::swap(ReceivedText, reading.Text);
    } else {
        ReceivedText.insert(0, reading.Text);
    }
    if (reading.Error) {
        DumpRejected(*reading.Error);
    } else {
        std::swap(records_, reading.Records);
        damage_ = reading.Damage;
        lineClean_ = meanwhile == 0;
        DumpAccepted();
    }
    if (meanwhile > 0 && !WaitingForDeviceName && EndsWith(ReceivedText, DumpTerminator)) {
        ReceiveDump();
    }
}

void TDeviceSession::DumpAccepted() {
    dumpAsked_ = false;
    view_.RefillViews();
    view_.SetImportCaption(ImportButtonCaption);
    view_.SetBusyCursor(false);
}

void TDeviceSession::DumpRejected(const std::string& message) {
    view_.SetImportCaption(ImportButtonCaption);
    view_.SetBusyCursor(false);
    view_.ShowStatus(DumpRejectedStatus(message));
    view_.ReportError(message);
    dumpAsked_ = false;
}

void TDeviceSession::ComPort1HangUp() {
    const bool importing = ImportUnderWay();
    WaitingForDeviceName = false;
    nameAsked_ = false;
    if (importing) {
        EndEarly(TEnd::HangUp, HangUpStatus(port_.Port, true));
    } else {
        quiet_ = TQuiet::None;
        view_.ShowStatus(HangUpStatus(port_.Port, false));
    }
    SetNoConnectedDevice();
}

std::string TDeviceSession::QuietWaitStatus() const {
    return WaitingForQuietStatus(port_.Port, quietWhy_, WholeSeconds(Limits.QuietLimit));
}

void TDeviceSession::WaitForQuiet(TQuiet request, TClock::time_point now, const char* why) {
    quiet_ = request;
    quietWhy_ = why;
    quietSince_ = now;
    quietStarted_ = now;
    busyShown_ = false;
}

void TDeviceSession::SendRequest(TClock::time_point now) {
    const TQuiet request = std::exchange(quiet_, TQuiet::None);
    discarding_ = false;
    ReceivedText.clear();
    if (request == TQuiet::BeforeName) {
        // The wait told is over.
        if (busyShown_) {
            view_.ShowStatus(AskingNameStatus(port_.Port, port_.Baud));
        }
        nameAsked_ = true;
        noAnswerShown_ = false;
        nameAskedAt_ = now;
        Send("n");
    } else if (request == TQuiet::BeforeDump) {
        dumpAsked_ = true;
        dumpAskedAt_ = now;
        lines_ = 0;
        lineLength_ = 0;
        pendingLf_ = false;
        ShowProgress(now);
        Send("u");
    }
}

void TDeviceSession::Send(std::string_view request) {
    try {
        port_.Write(request);
    } catch (const EComError& e) {
        WaitingForDeviceName = false;
        nameAsked_ = false;
        EndEarly(TEnd::WriteFailed, WriteFailureStatus(port_.Port, e.code()));
    }
}

void TDeviceSession::EndEarly(TEnd end, const std::string& status) {
    EndImport();
    readingTicket_ = 0;
    handedBytes_ = 0;
    quiet_ = TQuiet::None;
    dumpAsked_ = false;
    discarding_ = true;
    lineClean_ = false;
    ReceivedText.clear();
    ReceivedText.shrink_to_fit();
    lastEnd_ = end;
    lastEndStatus_ = status;
    view_.ShowStatus(status);
}

// Lines end with LF CR; an empty one (the dump's end) is no record and is not counted.
void TDeviceSession::CountLines(const std::string& data) {
    for (char c : data) {
        if (pendingLf_ && c == '\r') {
            lines_ += lineLength_ > 0 ? 1 : 0;
            lineLength_ = 0;
            pendingLf_ = false;
            continue;
        }
        lineLength_ += pendingLf_ ? 1 : 0;
        pendingLf_ = c == '\n';
        lineLength_ += pendingLf_ ? 0 : 1;
    }
}

void TDeviceSession::ShowProgress(TClock::time_point now) {
    shownAt_ = now;
    shownBytes_ = ReceivedText.size();
    view_.ShowImportProgress(shownBytes_, lines_);
}

void TDeviceSession::Tick(TClock::time_point now) {
    if (quiet_ != TQuiet::None) {
        if (now - quietSince_ >= Limits.Quiet) {
            SendRequest(now);
        } else if (now - quietStarted_ >= Limits.QuietLimit) {
            const std::string status = LineBusyStatus(port_.Port, WholeSeconds(Limits.QuietLimit));
            if (quiet_ == TQuiet::BeforeName) {
                WaitingForDeviceName = false;
            }
            EndEarly(TEnd::LineBusy, status);
        }
        return;
    }
    if (WaitingForDeviceName && nameAsked_ && !noAnswerShown_ &&
        now - nameAskedAt_ >= Limits.NameReply) {
        JudgeLateName();
    }
    if (dumpAsked_ && ImportUnderWay()) {
        if (now - std::max(dumpAskedAt_, lastByteAt_) >= Limits.ImportSilence) {
            EndEarly(TEnd::Silence,
                     ImportSilenceStatus(port_.Port, WholeSeconds(Limits.ImportSilence)));
        } else if (ReceivedText.size() != shownBytes_ && now - shownAt_ >= ProgressPeriod) {
            ShowProgress(now);
        }
    }
}

void TDeviceSession::JudgeLateName() {
    // A name of several lines has LF CR inside; only a reply that ends with it is complete.
    // Bytes after a line end that are still not followed by one, this long after the request,
    // are no part of a name.
    const std::size_t lineEnd = ReceivedText.rfind(NameTerminator);
    if (lineEnd != std::string::npos && lineEnd + NameTerminator.size() < ReceivedText.size()) {
        const std::string extra = ReceivedText.substr(lineEnd + NameTerminator.size());
        WaitingForDeviceName = false;
        nameAsked_ = false;
        EndEarly(TEnd::UnexpectedReply, UnexpectedAfterNameStatus(port_.Port, extra));
        return;
    }
    noAnswerShown_ = true;
    view_.ShowStatus(NoAnswerStatus(port_.Port, port_.Baud));
}

void TDeviceSession::CancelImport() {
    if (ImportUnderWay()) {
        EndEarly(TEnd::Cancelled, ImportCancelledStatus());
    }
}
