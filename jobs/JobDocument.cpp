#include "jobs/JobDocument.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "data/Latin1Utf8.h"
#include "jobs/ArchiveErrors.h"
#include "jobs/Base64.h"

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

void WriteDownload(TDocumentWriter& out, const TDownload& download) {
    constexpr int Depth = 3;
    out.SetDownload(download.Number);
    out.Raw("{");
    out.Key("number", Depth, true);
    out.Integer(download.Number);
    const std::pair<const char*, const std::string*> texts[] = {{"test_date", &download.TestDate},
                                                                {"meter", &download.Meter},
                                                                {"source", &download.Source},
                                                                {"operator", &download.Operator},
                                                                {"added_at", &download.AddedAt}};
    for (const auto& [key, value] : texts) {
        out.Key(key, Depth, false);
        out.String(key, *value);
    }
    out.Key("direction", Depth, false);
    out.String("direction", DirectionName(download.Direction));
    out.Key("void", Depth, false);
    out.Raw(download.Void ? "true" : "false");
    out.Key("void_reason", Depth, false);
    out.String("void reason", download.VoidReason);
    out.Key("sha256", Depth, false);
    out.String("sha256", download.Sha256);
    out.Key("readings", Depth, false);
    WriteReadings(out, download.Readings);
    out.Raw("\n    }");
    out.SetDownload(0);
}

void WriteBudgets(TDocumentWriter& out, const std::vector<TJobBudget>& budgets) {
    if (budgets.empty()) {
        out.Raw("[]");
        return;
    }
    out.Raw("[");
    for (std::size_t i = 0; i < budgets.size(); ++i) {
        out.Raw(i == 0 ? "\n    {" : ",\n    {");
        out.InlineKey("set_at", true);
        out.String("budget's time", budgets[i].SetAt);
        out.InlineKey("json", false);
        out.String("budget", budgets[i].Json);
        out.Raw("}");
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

void WriteJob(TDocumentWriter& out, const TJob& job) {
    constexpr int Depth = 1;
    out.Key("format", Depth, true);
    out.String("format", JobDocumentFormat);
    out.Key("version", Depth, false);
    out.Integer(JobDocumentVersion);
    const std::pair<const char*, const std::string*> texts[] = {
        {"name", &job.Name},         {"customer", &job.Customer},
        {"site", &job.Site},         {"contractor", &job.Contractor},
        {"notes", &job.Notes},       {"created_at", &job.CreatedAt},
        {"logo_type", &job.LogoType}};
    for (const auto& [key, value] : texts) {
        out.Key(key, Depth, false);
        out.String(key, *value);
    }
    out.Key("logo", Depth, false);
    out.String("logo", Base64Encode(job.Logo));
    out.Key("expected_fibres", Depth, false);
    WriteExpectedFibres(out, job.ExpectedFibres);
    out.Key("budgets", Depth, false);
    WriteBudgets(out, job.Budgets);
}
}  // namespace

std::string JobDocumentText(const TJob& job, const std::vector<TDownload>& downloads) {
    std::vector<const TDownload*> ordered;
    ordered.reserve(downloads.size());
    for (const TDownload& download : downloads) {
        ordered.push_back(&download);
    }
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const TDownload* a, const TDownload* b) { return a->Number < b->Number; });
    TDocumentWriter out(job.Name);
    out.Raw("{");
    WriteJob(out, job);
    out.Key("downloads", 1, false);
    if (ordered.empty()) {
        out.Raw("[]");
    } else {
        out.Raw("[");
        for (std::size_t i = 0; i < ordered.size(); ++i) {
            out.Raw(i == 0 ? "\n    " : ",\n    ");
            WriteDownload(out, *ordered[i]);
        }
        out.Raw("\n  ]");
    }
    out.Raw("\n}\n");
    return out.Take();
}
