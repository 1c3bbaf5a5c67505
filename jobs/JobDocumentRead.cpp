#include <algorithm>
#include <climits>
#include <cmath>
#include <initializer_list>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "data/Latin1Utf8.h"
#include "data/MeasurementText.h"
#include "data/NumberText.h"
#include "jobs/ArchiveErrors.h"
#include "jobs/Base64.h"
#include "jobs/DownloadHash.h"
#include "jobs/JobDocument.h"
#include "jobs/JobLimits.h"
#include "jobs/JobState.h"
#include "jobs/RecordsHash.h"

// Reading a job document back: every value is checked where it is met, so that the message
// names its place as a JSON pointer; docs/job.schema.json states the same rules.

namespace {
using TJson = nlohmann::json;

// The pointer to a member of the value at pointer ("~" and "/" escaped as JSON pointers do).
std::string Child(const std::string& pointer, std::string_view key) {
    std::string child = pointer + "/";
    for (const char c : key) {
        child += c == '~' ? std::string("~0") : c == '/' ? std::string("~1") : std::string(1, c);
    }
    return child;
}

std::string Child(const std::string& pointer, std::size_t index) {
    return pointer + "/" + std::to_string(index);
}

// Dates and times as the archive keeps them, real ones only (no 2026-99-99).
bool IsDate(std::string_view text) {
    return IsCalendarDate(text);
}

bool IsTime(std::string_view text) {
    return IsArchiveTime(text);
}

bool IsSha256(std::string_view text) {
    return text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

class TDocumentReader {
public:
    explicit TDocumentReader(const std::string& fileName) : fileName_(fileName) {}

    [[noreturn]] void Fail(const std::string& pointer, const std::string& problem) const {
        throw EArchiveError(TArchiveErrc::BadDocument, fileName_ + ": " + pointer + ": " + problem);
    }

    // The archive's limits, which every way into it keeps, on the value at pointer.
    void Require(const std::optional<TLimitBreach>& breach, const std::string& pointer) const {
        if (breach) {
            Fail(pointer + "/" + breach->Field, breach->Problem);
        }
    }

    // The object's member key, which must be there.
    const TJson& Field(const TJson& object, const std::string& pointer, const char* key) const {
        const auto found = object.find(key);
        if (found == object.end()) {
            Fail(Child(pointer, key), "missing");
        }
        return *found;
    }

    void Object(const TJson& value, const std::string& pointer,
                std::initializer_list<const char*> keys) const {
        if (!value.is_object()) {
            Fail(pointer, "not an object");
        }
        for (const auto& item : value.items()) {
            if (std::find_if(keys.begin(), keys.end(),
                             [&](const char* key) { return item.key() == key; }) == keys.end()) {
                Fail(Child(pointer, item.key()), "not a field of this object");
            }
        }
    }

    const TJson& Array(const TJson& value, const std::string& pointer) const {
        if (!value.is_array()) {
            Fail(pointer, "not an array");
        }
        return value;
    }

    std::string Text(const TJson& object, const std::string& pointer, const char* key) const {
        const TJson& value = Field(object, pointer, key);
        if (!value.is_string()) {
            Fail(Child(pointer, key), "not a string");
        }
        return value.get<std::string>();
    }

    // A text that must pass check; problem says what it should have been.
    std::string Text(const TJson& object, const std::string& pointer, const char* key,
                     bool (*check)(std::string_view), const char* problem) const {
        std::string text = Text(object, pointer, key);
        if (!check(text)) {
            Fail(Child(pointer, key), QuoteForMessage(text) + " is not " + problem);
        }
        return text;
    }

    double Number(const TJson& object, const std::string& pointer, const char* key) const {
        const TJson& value = Field(object, pointer, key);
        if (!value.is_number()) {
            Fail(Child(pointer, key), "not a number");
        }
        return value.get<double>();
    }

    std::int64_t Integer(const TJson& value, const std::string& pointer, std::int64_t least,
                         std::int64_t most) const;

    bool Boolean(const TJson& object, const std::string& pointer, const char* key) const {
        const TJson& value = Field(object, pointer, key);
        if (!value.is_boolean()) {
            Fail(Child(pointer, key), "not true or false");
        }
        return value.get<bool>();
    }

    TDirection Direction(const TJson& object, const std::string& pointer) const {
        const std::string name = Text(object, pointer, "direction");
        const std::optional<TDirection> direction = FindDirection(name);
        if (!direction) {
            Fail(Child(pointer, "direction"), QuoteForMessage(name) + " is not a-b, b-a or empty");
        }
        return *direction;
    }

    // A cable or fiber: Latin-1 as the meter's records hold it.
    std::string Latin1(const TJson& object, const std::string& pointer, const char* key) const {
        std::optional<std::string> latin1 = Utf8ToLatin1(Text(object, pointer, key));
        if (!latin1) {
            Fail(Child(pointer, key),
                 "holds a character beyond U+00FF, which a meter's "
                 "record cannot hold");
        }
        return *latin1;
    }

private:
    const std::string& fileName_;
};

std::int64_t TDocumentReader::Integer(const TJson& value, const std::string& pointer,
                                      std::int64_t least, std::int64_t most) const {
    const auto outOfRange = [&] {
        Fail(pointer, value.dump() + " is not from " + std::to_string(least) + " to " +
                          std::to_string(most));
    };
    if (value.is_number_unsigned()) {
        // The library reads every number without a sign or a fraction as unsigned.
        const std::uint64_t number = value.get<std::uint64_t>();
        if ((least > 0 && number < static_cast<std::uint64_t>(least)) ||
            number > static_cast<std::uint64_t>(most)) {
            outOfRange();
        }
        return static_cast<std::int64_t>(value.get<std::uint64_t>());
    }
    if (value.is_number_integer()) {
        if (value.get<std::int64_t>() < least || value.get<std::int64_t>() > most) {
            outOfRange();
        }
        return value.get<std::int64_t>();
    }
    // JSON has one kind of number: 3.0 is the integer 3 as much as 3 is.
    const double number = value.is_number_float() ? value.get<double>() : 0.5;
    if (std::trunc(number) != number) {
        Fail(pointer, "not an integer");
    }
    // most + 1 is a power of two for the limits used here, exact as a double.
    if (number < static_cast<double>(least) || number >= static_cast<double>(most) + 1) {
        outOfRange();
    }
    return static_cast<std::int64_t>(number);
}

TStoredReading ReadReading(const TDocumentReader& in, const TJson& value,
                           const std::string& pointer) {
    in.Object(value, pointer,
              {"cable", "fiber", "wavelength", "kind", "value", "reference", "direction"});
    TStoredReading reading;
    TMeranie& record = reading.Record;
    record.Cable = in.Latin1(value, pointer, "cable");
    record.Fiber = in.Latin1(value, pointer, "fiber");
    record.WaveLength = in.Number(value, pointer, "wavelength");
    const std::string kind = in.Text(value, pointer, "kind");
    if (kind != "absolute" && kind != "relative") {
        in.Fail(Child(pointer, "kind"), QuoteForMessage(kind) + " is not absolute or relative");
    }
    record.IsRelative = kind == "relative";
    record.Value = in.Number(value, pointer, "value");
    record.Reference = in.Number(value, pointer, "reference");
    reading.Direction = in.Direction(value, pointer);
    return reading;
}

// The readings must be the ones the download's measurement-text SHA-256 was made of: key is
// the field that holds it, whose the download's words in the message ("the readings of
// download 3").
void CheckSha256(const TDocumentReader& in, const TDownload& download, const std::string& pointer,
                 const char* key, const std::string& whose) {
    TMeraniaArray records;
    records.reserve(download.Readings.size());
    for (const TStoredReading& reading : download.Readings) {
        records.push_back(reading.Record);
    }
    std::string sha256;
    try {
        sha256 = DownloadSha256(records);
    } catch (const EUnsavableText&) {
        in.Fail(Child(pointer, "readings"),
                "a cable or fiber holds a TAB, a line feed or a "
                "zero byte, which a measurement file cannot hold");
    }
    if (sha256 != download.Sha256) {
        in.Fail(Child(pointer, key), "does not match " + whose + " (theirs is " + sha256 + ")");
    }
}

// The readings of one download as the parse met them, or the first fault among them.
struct TCollectedReadings {
    std::vector<TStoredReading> Readings;
    std::optional<EArchiveError> Fault;
};

// Takes each reading out of the document while it is parsed, so that a download of a million
// readings does not stand as a million JSON objects (a gigabyte) at once. A fault is kept and
// thrown when its download is read, so that faults are still met in the document's order.
class TReadingCollector {
public:
    explicit TReadingCollector(const TDocumentReader& in) : in_(in) {}

    // The parser's callback: false drops the value just parsed from the document.
    bool Handle(TJson::parse_event_t event, TJson& parsed);
    std::vector<TCollectedReadings>& Collected() { return collected_; }

private:
    // An array or object being parsed: its current key, or how many elements it has so far.
    struct TFrame {
        bool IsArray = false;
        std::string Key;
        std::size_t Count = 0;
    };

    bool InDownload() const {
        return frames_.size() >= 3 && !frames_[0].IsArray && frames_[0].Key == "downloads" &&
               frames_[1].IsArray && !frames_[2].IsArray;
    }
    // Whether the value just parsed is an element of a download's readings.
    bool InReadingSlot() const {
        return frames_.size() == 4 && InDownload() && frames_[2].Key == "readings" &&
               frames_[3].IsArray;
    }
    void Take(const TJson* reading);
    void CountElement() {
        if (!frames_.empty() && frames_.back().IsArray) {
            ++frames_.back().Count;
        }
    }

    const TDocumentReader& in_;
    std::vector<TFrame> frames_;
    std::vector<TCollectedReadings> collected_;
    std::string pointer_;
};

bool TReadingCollector::Handle(TJson::parse_event_t event, TJson& parsed) {
    using TEvent = TJson::parse_event_t;
    bool keep = true;
    switch (event) {
        case TEvent::object_start:
        case TEvent::array_start:
            frames_.push_back({event == TEvent::array_start, "", 0});
            return true;
        case TEvent::key:
            frames_.back().Key = parsed.get<std::string>();
            // A key given twice: its last value counts, as in the rest of the document.
            if (frames_.size() == 1 && frames_[0].Key == "downloads") {
                collected_.clear();
            } else if (frames_.size() == 3 && InDownload() && frames_[2].Key == "readings" &&
                       frames_[1].Count < collected_.size()) {
                collected_[frames_[1].Count] = {};
            }
            return true;
        case TEvent::value:
            break;
        case TEvent::object_end:
        case TEvent::array_end:
            frames_.pop_back();
            break;
    }
    if (InReadingSlot()) {
        Take(event == TEvent::object_end ? &parsed : nullptr);
        keep = false;
    }
    CountElement();
    return keep;
}

void TReadingCollector::Take(const TJson* reading) {
    const std::size_t download = frames_[1].Count;
    if (collected_.size() <= download) {
        collected_.resize(download + 1);
    }
    TCollectedReadings& slot = collected_[download];
    if (slot.Fault) {
        return;
    }
    pointer_ =
        "/downloads/" + std::to_string(download) + "/readings/" + std::to_string(frames_[3].Count);
    try {
        if (reading == nullptr) {
            in_.Fail(pointer_, "not an object");
        }
        slot.Readings.push_back(ReadReading(in_, *reading, pointer_));
    } catch (const EArchiveError& error) {
        slot.Fault = error;
    }
}

TDownload ReadDownload(const TDocumentReader& in, const TJson& value, const std::string& pointer,
                       TCollectedReadings collected) {
    in.Object(value, pointer,
              {"number", "test_date", "meter", "source", "operator", "added_at", "direction",
               "void", "void_reason", "sha256", "readings"});
    TDownload download;
    download.Number =
        in.Integer(in.Field(value, pointer, "number"), Child(pointer, "number"), 1, INT64_MAX);
    download.TestDate = in.Text(value, pointer, "test_date", IsDate, "a date such as 2026-12-07");
    download.Meter = in.Text(value, pointer, "meter");
    download.Source = in.Text(value, pointer, "source");
    download.Operator = in.Text(value, pointer, "operator");
    download.AddedAt = in.Text(value, pointer, "added_at", IsTime,
                               "a UTC time such as 2026-12-07T19:55:36.123456Z");
    download.Direction = in.Direction(value, pointer);
    download.Void = in.Boolean(value, pointer, "void");
    download.VoidReason = in.Text(value, pointer, "void_reason");
    download.Sha256 = in.Text(value, pointer, "sha256", IsSha256, "64 lowercase hex digits");
    in.Require(DownloadLimitBreach(download), pointer);
    const std::string readingsPointer = Child(pointer, "readings");
    // The parse took the readings out, leaving the array.
    in.Array(in.Field(value, pointer, "readings"), readingsPointer);
    if (collected.Fault) {
        throw *collected.Fault;
    }
    download.Readings = std::move(collected.Readings);
    CheckSha256(in, download, pointer, "sha256",
                "the readings of download " + std::to_string(download.Number));
    return download;
}

std::vector<TDownload> ReadDownloads(const TDocumentReader& in, const TJson& root,
                                     std::vector<TCollectedReadings>& collected) {
    const TJson& downloads = in.Array(in.Field(root, "", "downloads"), "/downloads");
    std::vector<TDownload> read;
    read.reserve(downloads.size());
    std::map<std::string, std::int64_t> numbers;  // SHA-256 → download number
    for (std::size_t i = 0; i < downloads.size(); ++i) {
        const std::string pointer = Child("/downloads", i);
        TDownload download =
            ReadDownload(in, downloads[i], pointer,
                         i < collected.size() ? std::move(collected[i]) : TCollectedReadings{});
        if (!read.empty() && download.Number <= read.back().Number) {
            in.Fail(Child(pointer, "number"), std::to_string(download.Number) +
                                                  " does not follow the number before it (" +
                                                  std::to_string(read.back().Number) + ")");
        }
        const auto [found, added] = numbers.emplace(download.Sha256, download.Number);
        if (!added) {
            in.Fail(Child(pointer, "sha256"),
                    "the same readings as download " + std::to_string(found->second));
        }
        read.push_back(std::move(download));
    }
    return read;
}

std::vector<TJobBudget> ReadBudgets(const TDocumentReader& in, const TJson& root) {
    const TJson& budgets = in.Array(in.Field(root, "", "budgets"), "/budgets");
    std::vector<TJobBudget> read;
    for (std::size_t i = 0; i < budgets.size(); ++i) {
        const std::string pointer = Child("/budgets", i);
        in.Object(budgets[i], pointer, {"set_at", "json"});
        TJobBudget budget;
        budget.SetAt = in.Text(budgets[i], pointer, "set_at", IsTime,
                               "a UTC time such as 2026-12-07T19:55:36.123456Z");
        budget.Json = in.Text(budgets[i], pointer, "json");
        read.push_back(std::move(budget));
    }
    return read;
}

std::map<std::string, int> ReadExpectedFibres(const TDocumentReader& in, const TJson& root) {
    const TJson& fibres = in.Field(root, "", "expected_fibres");
    if (!fibres.is_object()) {
        in.Fail("/expected_fibres", "not an object");
    }
    std::map<std::string, int> read;
    for (const auto& item : fibres.items()) {
        read[item.key()] = static_cast<int>(
            in.Integer(item.value(), Child("/expected_fibres", item.key()), 1, MaxExpectedFibres));
    }
    return read;
}

void ReadLogo(const TDocumentReader& in, const TJson& root, TJob& job) {
    job.LogoType = in.Text(root, "", "logo_type");
    if (job.LogoType != "" && job.LogoType != "png" && job.LogoType != "svg") {
        in.Fail("/logo_type", QuoteForMessage(job.LogoType) + " is not png, svg or empty");
    }
    std::optional<std::string> logo = Base64Decode(in.Text(root, "", "logo"));
    if (!logo) {
        in.Fail("/logo", "not base64 text (A-Z, a-z, 0-9, + and /, padded with =)");
    }
    job.Logo = std::move(*logo);
    if (job.Logo.empty() != job.LogoType.empty()) {
        in.Fail(job.Logo.empty() ? "/logo" : "/logo_type",
                job.Logo.empty() ? "empty, while logo_type names a type"
                                 : "empty, while there is a logo");
    }
}

// The format and version come first: a newer version's fields are not this one's. Returns the
// version.
int ReadHeading(const TDocumentReader& in, const TJson& root) {
    const std::string format = in.Text(root, "", "format");
    if (format != JobDocumentFormat) {
        in.Fail("/format", QuoteForMessage(format) + " is not " + JobDocumentFormat);
    }
    const TJson& json = in.Field(root, "", "version");
    const std::int64_t version = in.Integer(json, "/version", 1, INT64_MAX);
    if (version > JobDocumentVersion) {
        in.Fail("/version", "version " + json.dump() + " is newer than this program reads (" +
                                std::to_string(JobDocumentVersion) + ")");
    }
    if (version == 1) {
        in.Object(root, "",
                  {"format", "version", "name", "customer", "site", "contractor", "notes",
                   "created_at", "logo_type", "logo", "expected_fibres", "budgets", "downloads"});
    } else {
        in.Object(root, "",
                  {"format", "version", "name", "records_format", "state", "downloads", "events"});
        const std::string records = in.Text(root, "", "records_format");
        if (records != RecordsHashFormat)
            in.Fail("/records_format", QuoteForMessage(records) + " is not " + RecordsHashFormat);
    }
    return static_cast<int>(version);
}

TDownload ReadRecords(const TDocumentReader& in, const TJson& value, const std::string& pointer,
                      TCollectedReadings collected) {
    in.Object(value, pointer, {"sha256", "text_sha256", "readings"});
    TDownload download;
    download.RecordsSha256 = in.Text(value, pointer, "sha256", IsSha256, "64 lowercase hex digits");
    download.Sha256 = in.Text(value, pointer, "text_sha256", IsSha256, "64 lowercase hex digits");
    in.Array(in.Field(value, pointer, "readings"), Child(pointer, "readings"));
    if (collected.Fault)
        throw *collected.Fault;
    download.Readings = std::move(collected.Readings);
    in.Require(DownloadLimitBreach(download), pointer);
    if (RecordsSha256(download.Readings) != download.RecordsSha256)
        in.Fail(Child(pointer, "sha256"), "does not match the download's readings");
    CheckSha256(in, download, pointer, "text_sha256", "the readings");
    return download;
}

std::vector<TDownload> ReadAllRecords(const TDocumentReader& in, const TJson& root,
                                      std::vector<TCollectedReadings>& collected) {
    const TJson& downloads = in.Array(in.Field(root, "", "downloads"), "/downloads");
    std::vector<TDownload> read;
    for (std::size_t i = 0; i < downloads.size(); ++i) {
        const std::string pointer = Child("/downloads", i);
        read.push_back(
            ReadRecords(in, downloads[i], pointer,
                        i < collected.size() ? std::move(collected[i]) : TCollectedReadings{}));
        if (i > 0 && read[i].RecordsSha256 == read[i - 1].RecordsSha256)
            in.Fail(Child(pointer, "sha256"), "the same readings as " + Child("/downloads", i - 1));
        if (i > 0 && read[i].RecordsSha256 < read[i - 1].RecordsSha256)
            in.Fail(Child(pointer, "sha256"),
                    "below the one before it (downloads go by sha256, lowest first)");
    }
    return read;
}

TJobEvent ReadEvent(const TDocumentReader& in, const TJson& value, const std::string& pointer) {
    in.Object(value, pointer,
              {"id", "origin", "author", "wall_time", "clock", "target", "field", "value", "pred"});
    TJobEvent event;
    event.Id = in.Text(value, pointer, "id", IsSha256, "64 lowercase hex digits");
    const std::string clock = in.Text(value, pointer, "clock");
    const std::optional<TClock> parsed = ParseClock(clock);
    if (!parsed)
        in.Fail(Child(pointer, "clock"),
                QuoteForMessage(clock) + " is not 16 lowercase hex digits");
    event.Clock = *parsed;
    // Kept as they are by every archive, so without a zero byte.
    const std::pair<const char*, std::string*> texts[] = {
        {"origin", &event.Origin}, {"author", &event.Author}, {"wall_time", &event.WallTime},
        {"target", &event.Target}, {"field", &event.Field},   {"value", &event.Value}};
    for (const auto& [key, text] : texts) {
        *text = in.Text(value, pointer, key);
        in.Require(TextBreach(key, *text), pointer);
    }
    const TJson& pred = in.Array(in.Field(value, pointer, "pred"), Child(pointer, "pred"));
    for (std::size_t i = 0; i < pred.size(); ++i) {
        if (!pred[i].is_string())
            in.Fail(Child(Child(pointer, "pred"), i), "not a string");
        if (!IsSha256(pred[i].get<std::string>()))
            in.Fail(Child(Child(pointer, "pred"), i),
                    QuoteForMessage(pred[i].get<std::string>()) +
                        " is not an event's id (64 lowercase hex digits)");
        event.Pred.push_back(pred[i].get<std::string>());
    }
    if (SealEvent(event) != event)
        in.Fail(Child(pointer, "id"), "not the hash of the event (changed after it was made?)");
    return event;
}

std::vector<TJobEvent> ReadEvents(const TDocumentReader& in, const TJson& root) {
    const TJson& events = in.Array(in.Field(root, "", "events"), "/events");
    std::vector<TJobEvent> read;
    std::set<std::string> ids;
    for (std::size_t i = 0; i < events.size(); ++i) {
        read.push_back(ReadEvent(in, events[i], Child("/events", i)));
        ids.insert(read.back().Id);
    }
    for (std::size_t i = 0; i < read.size(); ++i) {
        for (std::size_t at = 0; at < read[i].Pred.size(); ++at) {
            if (ids.count(read[i].Pred[at]) == 0)
                in.Fail(Child(Child(Child("/events", i), "pred"), at),
                        "names an event the document does not carry");
        }
    }
    return read;
}

// A value the events give, as a message shows it.
std::string ShownValue(const TJson& value) {
    if (value.is_string())
        return QuoteForMessage(value.get<std::string>());
    if (value.is_object())
        return "an object";
    if (value.is_array())
        return "a list of " + std::to_string(value.size());
    return value.dump();
}

// The document's state against the one its events give (derived): refused at the first place
// where they differ, so that a change by hand is found in a state of many downloads.
void CheckState(const TDocumentReader& in, const TJson& given, const TJson& derived,
                const std::string& pointer) {
    if (given == derived)
        return;
    if (given.is_object() && derived.is_object()) {
        for (const auto& item : derived.items()) {
            const auto found = given.find(item.key());
            if (found == given.end())
                in.Fail(Child(pointer, item.key()), "missing");
            CheckState(in, *found, item.value(), Child(pointer, item.key()));
        }
        for (const auto& item : given.items()) {
            if (!derived.contains(item.key()))
                in.Fail(Child(pointer, item.key()), "not a field of this object");
        }
    } else if (given.is_array() && derived.is_array() && given.size() == derived.size()) {
        for (std::size_t i = 0; i < given.size(); ++i)
            CheckState(in, given[i], derived[i], Child(pointer, i));
    }
    in.Fail(pointer,
            "does not agree with the document's events, which give " + ShownValue(derived));
}

// The archive's limits on what the events give: the job's facts and the texts of each
// download's. (A download's wall times are shown only, and its date is a date or none.)
void CheckStateLimits(const TDocumentReader& in, const TJobState& state) {
    in.Require(JobLimitBreach(state.Job), "/state");
    for (std::size_t i = 0; i < state.Downloads.size(); ++i) {
        const TDownloadState& download = state.Downloads[i];
        const std::pair<const char*, const std::string*> texts[] = {
            {"meter", &download.Meter},
            {"source", &download.Source},
            {"operator", &download.Operator},
            {"void_reason", &download.VoidReason}};
        for (const auto& [key, text] : texts)
            in.Require(TextBreach(key, *text), Child("/state/downloads", i));
    }
}

// A second-version document: its state must be the one its events give.
TJobDocument ReadEventDocument(const TDocumentReader& in, const TJson& root,
                               std::vector<TCollectedReadings>& collected) {
    TJobDocument document;
    document.Version = 2;
    document.Job.Name = in.Text(root, "", "name");
    if (document.Job.Name.empty())
        in.Fail("/name", "empty");
    in.Require(NameBreach("name", document.Job.Name), "");
    document.Downloads = ReadAllRecords(in, root, collected);
    document.Events = ReadEvents(in, root);
    const TJson expected =
        TJson::parse(JobDocumentText(document.Job.Name, document.Events, document.Downloads));
    CheckState(in, in.Field(root, "", "state"), expected["state"], "/state");
    const TJobState state = DeriveJobState(document.Job.Name, document.Events);
    CheckStateLimits(in, state);
    document.Job = state.Job;
    return document;
}

TJob ReadJob(const TDocumentReader& in, const TJson& root) {
    TJob job;
    job.Name = in.Text(root, "", "name");
    if (job.Name.empty()) {
        in.Fail("/name", "empty");
    }
    job.Customer = in.Text(root, "", "customer");
    job.Site = in.Text(root, "", "site");
    job.Contractor = in.Text(root, "", "contractor");
    job.Notes = in.Text(root, "", "notes");
    job.CreatedAt =
        in.Text(root, "", "created_at", IsTime, "a UTC time such as 2026-12-07T19:55:36.123456Z");
    ReadLogo(in, root, job);
    job.ExpectedFibres = ReadExpectedFibres(in, root);
    job.Budgets = ReadBudgets(in, root);
    in.Require(JobLimitBreach(job), "");
    return job;
}

// The library's message without its "[json.exception.parse_error.101] " tag. It quotes the
// text last read, which may be a broken UTF-8 sequence or control bytes: those are shown as
// \xNN, so that the message is printable text.
std::string ParseProblem(const TJson::exception& error) {
    std::string_view message = error.what();
    const std::size_t tagEnd = message.find("] ");
    if (tagEnd != std::string_view::npos) {
        message.remove_prefix(tagEnd + 2);
    }
    std::string problem;
    for (const char c : message) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F) {
            problem += c;
        } else {
            static constexpr char Digits[] = "0123456789ABCDEF";
            problem += std::string("\\x") + Digits[byte >> 4] + Digits[byte & 0x0F];
        }
    }
    return problem;
}
}  // namespace

TJobDocument ReadJobDocument(std::string_view text, const std::string& fileName) {
    const TDocumentReader in(fileName);
    TReadingCollector collector(in);
    TJson root;
    try {
        root = TJson::parse(text.begin(), text.end(),
                            [&collector](int, TJson::parse_event_t event, TJson& parsed) {
                                return collector.Handle(event, parsed);
                            });
    } catch (const TJson::exception& error) {
        throw EArchiveError(TArchiveErrc::BadDocument,
                            fileName + ": not valid JSON: " + ParseProblem(error));
    }
    if (!root.is_object()) {
        throw EArchiveError(TArchiveErrc::BadDocument, fileName + ": not a JSON object");
    }
    if (ReadHeading(in, root) >= 2)
        return ReadEventDocument(in, root, collector.Collected());
    TJobDocument document;
    document.Version = 1;
    document.Job = ReadJob(in, root);
    document.Downloads = ReadDownloads(in, root, collector.Collected());
    return document;
}
