#include "jobs/JobDocument.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>
#include <tuple>

#include "data/Latin1Utf8.h"
#include "jobs/ArchiveErrors.h"
#include "jobs/Base64.h"
#include "jobs/JobState.h"
#include "jobs/RecordsHash.h"

// The document is written here field by field, so that its layout is fixed: one line per
// field, one line per budget and per reading (a download of a million readings stays
// readable and a diff of two exports shows the readings that differ). The values' own texts
// come from the JSON library, which escapes strings and writes the shortest digits that read
// back as the same double.

namespace {
class TDocumentWriter {
public:
    explicit TDocumentWriter(const std::string& jobName) : jobName_(jobName) {}

    std::string Take() { return std::move(text_); }
    void Raw(std::string_view text) { text_ += text; }

    // The download whose fields are written now (0: the job's own), for messages.
    void SetDownload(std::int64_t number) { download_ = number; }

    void String(std::string_view field, std::string_view value) {
        try {
            text_ += nlohmann::json(value).dump(-1, ' ', false);
        } catch (const nlohmann::json::type_error&) {
            throw EArchiveError(TArchiveErrc::BadInput,
                                Owner() + std::string(field) +
                                    " is not UTF-8 text, which a job document cannot hold");
        }
    }

    void Number(std::string_view field, double value) {
        if (!std::isfinite(value)) {
            throw EArchiveError(TArchiveErrc::BadInput,
                                Owner() + "reading's " + std::string(field) +
                                    " is not a finite number, which a job document cannot hold");
        }
        text_ += nlohmann::json(value).dump();
    }

    void Integer(std::int64_t value) { text_ += std::to_string(value); }

    // "key": with the indentation of a field at this depth; a comma before all but the first.
    void Key(std::string_view key, int depth, bool first) {
        text_ += first ? "\n" : ",\n";
        text_.append(static_cast<std::size_t>(depth) * 2, ' ');
        InlineKey(key, true);
    }
    // "key": inside a one-line object.
    void InlineKey(std::string_view key, bool first) {
        if (!first) {
            text_ += ", ";
        }
        text_ += '"';
        text_ += key;
        text_ += "\": ";
    }

private:
    std::string Owner() const {
        return "job " + jobName_ + ": " +
               (download_ == 0 ? std::string("its ")
                               : "download " + std::to_string(download_) + "'s ");
    }

    const std::string& jobName_;
    std::int64_t download_ = 0;
    std::string text_;
};

void WriteReading(TDocumentWriter& out, const TStoredReading& reading) {
    const TMeranie& record = reading.Record;
    out.Raw("{");
    out.InlineKey("cable", true);
    out.String("cable", Latin1ToUtf8(record.Cable));
    out.InlineKey("fiber", false);
    out.String("fiber", Latin1ToUtf8(record.Fiber));
    out.InlineKey("wavelength", false);
    out.Number("wavelength", record.WaveLength);
    out.InlineKey("kind", false);
    out.String("kind", record.IsRelative ? "relative" : "absolute");
    out.InlineKey("value", false);
    out.Number("value", record.Value);
    out.InlineKey("reference", false);
    out.Number("reference", record.Reference);
    out.InlineKey("direction", false);
    out.String("direction", DirectionName(reading.Direction));
    out.Raw("}");
}

void WriteReadings(TDocumentWriter& out, const std::vector<TStoredReading>& readings) {
    if (readings.empty()) {
        out.Raw("[]");
        return;
    }
    out.Raw("[");
    for (std::size_t i = 0; i < readings.size(); ++i) {
        out.Raw(i == 0 ? "\n        " : ",\n        ");
        WriteReading(out, readings[i]);
    }
    out.Raw("\n      ]");
}

void WriteDownload(TDocumentWriter& out, const TDownload& download, std::int64_t index) {
    constexpr int Depth = 3;
    out.SetDownload(index);
    out.Raw("{");
    out.Key("sha256", Depth, true);
    out.String("sha256", download.RecordsSha256);
    out.Key("text_sha256", Depth, false);
    out.String("text_sha256", download.Sha256);
    out.Key("readings", Depth, false);
    WriteReadings(out, download.Readings);
    out.Raw("\n    }");
    out.SetDownload(0);
}

// A download as its events decide it: one line, in the job's order.
void WriteDecisions(TDocumentWriter& out, const TDownloadState& download) {
    out.Raw("{");
    out.InlineKey("sha256", true);
    out.String("sha256", download.Hash);
    const std::pair<const char*, const std::string*> texts[] = {{"test_date", &download.TestDate},
                                                                {"meter", &download.Meter},
                                                                {"source", &download.Source},
                                                                {"operator", &download.Operator},
                                                                {"added_at", &download.AddedAt}};
    for (const auto& [key, value] : texts) {
        out.InlineKey(key, false);
        out.String(key, *value);
    }
    out.InlineKey("direction", false);
    out.String("direction", DirectionName(download.Direction));
    out.InlineKey("void", false);
    out.Raw(download.Void ? "true" : "false");
    out.InlineKey("void_reason", false);
    out.String("void reason", download.VoidReason);
    out.Raw("}");
}

void WriteEvent(TDocumentWriter& out, const TJobEvent& event) {
    out.Raw("{");
    const std::pair<const char*, const std::string*> texts[] = {{"id", &event.Id},
                                                                {"origin", &event.Origin},
                                                                {"author", &event.Author},
                                                                {"wall_time", &event.WallTime}};
    bool first = true;
    for (const auto& [key, value] : texts) {
        out.InlineKey(key, first);
        out.String(key, *value);
        first = false;
    }
    out.InlineKey("clock", false);
    out.String("clock", ClockText(event.Clock));
    out.InlineKey("target", false);
    out.String("target", event.Target);
    out.InlineKey("field", false);
    out.String("field", event.Field);
    out.InlineKey("value", false);
    out.String("value", event.Value);
    out.InlineKey("pred", false);
    out.Raw("[");
    for (std::size_t i = 0; i < event.Pred.size(); ++i) {
        out.Raw(i == 0 ? "" : ", ");
        out.String("pred", event.Pred[i]);
    }
    out.Raw("]}");
}

// One item per line of a list at depth 1, each written by write.
template <class T, class F>
void WriteList(TDocumentWriter& out, const std::vector<T>& items, F&& write) {
    if (items.empty()) {
        out.Raw("[]");
        return;
    }
    out.Raw("[");
    for (std::size_t i = 0; i < items.size(); ++i) {
        out.Raw(i == 0 ? "\n    " : ",\n    ");
        write(items[i], i);
    }
    out.Raw("\n  ]");
}

void WriteExpectedFibres(TDocumentWriter& out, const std::map<std::string, int>& fibres) {
    out.Raw("{");
    bool first = true;
    for (const auto& [cable, count] : fibres) {
        out.Raw(first ? "" : ", ");
        out.String("expected fibres' cable name", cable);
        out.Raw(": ");
        out.Integer(count);
        first = false;
    }
    out.Raw("}");
}

// The job's fields as its events decide them, after the "state" key.
void WriteState(TDocumentWriter& out, const TJobState& state) {
    constexpr int Depth = 2;
    const TJob& job = state.Job;
    const std::pair<const char*, const std::string*> texts[] = {
        {"customer", &job.Customer},     {"site", &job.Site},
        {"contractor", &job.Contractor}, {"notes", &job.Notes},
        {"created_at", &job.CreatedAt},  {"logo_type", &job.LogoType}};
    bool first = true;
    out.Raw("{");
    for (const auto& [key, value] : texts) {
        out.Key(key, Depth, first);
        out.String(key, *value);
        first = false;
    }
    out.Key("logo", Depth, false);
    out.String("logo", Base64Encode(job.Logo));
    out.Key("expected_fibres", Depth, false);
    WriteExpectedFibres(out, job.ExpectedFibres);
    out.Key("budgets", Depth, false);
    out.Raw(job.Budgets.empty() ? "[]" : "[");
    for (std::size_t i = 0; i < job.Budgets.size(); ++i) {
        out.Raw(i == 0 ? "\n      {" : ",\n      {");
        out.InlineKey("set_at", true);
        out.String("budget's time", job.Budgets[i].SetAt);
        out.InlineKey("json", false);
        out.String("budget", job.Budgets[i].Json);
        out.Raw("}");
    }
    out.Raw(job.Budgets.empty() ? "" : "\n    ]");
    out.Key("downloads", Depth, false);
    out.Raw(state.Downloads.empty() ? "[]" : "[");
    for (std::size_t i = 0; i < state.Downloads.size(); ++i) {
        out.Raw(i == 0 ? "\n      " : ",\n      ");
        WriteDecisions(out, state.Downloads[i]);
    }
    out.Raw(state.Downloads.empty() ? "" : "\n    ]");
    out.Key("conflicts", Depth, false);
    out.Raw(std::to_string(state.Conflicts.size()));
    out.Raw("\n  }");
}
}  // namespace

std::string JobDocumentText(const std::string& jobName, const std::vector<TJobEvent>& events,
                            const std::vector<TDownload>& downloads) {
    std::vector<TDownload> byHash(downloads);
    std::sort(byHash.begin(), byHash.end(), [](const TDownload& a, const TDownload& b) {
        return a.RecordsSha256 < b.RecordsSha256;
    });
    std::vector<TJobEvent> byClock(events);
    std::sort(byClock.begin(), byClock.end(), [](const TJobEvent& a, const TJobEvent& b) {
        return std::tie(a.Clock, a.Id) < std::tie(b.Clock, b.Id);
    });
    byClock.erase(std::unique(byClock.begin(), byClock.end(),
                              [](const TJobEvent& a, const TJobEvent& b) { return a.Id == b.Id; }),
                  byClock.end());
    TDocumentWriter out(jobName);
    out.Raw("{");
    out.Key("format", 1, true);
    out.String("format", JobDocumentFormat);
    out.Key("version", 1, false);
    out.Integer(JobDocumentVersion);
    out.Key("name", 1, false);
    out.String("name", jobName);
    out.Key("records_format", 1, false);
    out.String("records_format", RecordsHashFormat);
    out.Key("state", 1, false);
    WriteState(out, DeriveJobState(jobName, byClock));
    out.Key("downloads", 1, false);
    WriteList(out, byHash, [&out](const TDownload& download, std::size_t index) {
        WriteDownload(out, download, static_cast<std::int64_t>(index) + 1);
    });
    out.Key("events", 1, false);
    WriteList(out, byClock,
              [&out](const TJobEvent& event, std::size_t) { WriteEvent(out, event); });
    out.Raw("\n}\n");
    return out.Take();
}
