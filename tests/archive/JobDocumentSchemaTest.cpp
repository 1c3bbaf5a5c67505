#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "SampleJob.h"
#include "jobs/ArchiveErrors.h"
#include "jobs/JobDocument.h"
#include "support/FileBytes.h"
#include "support/Subprocess.h"
#include "support/TempFolder.h"
#include "support/Throws.h"

// The documents the program writes are valid by docs/job.schema.json as a real JSON Schema
// reader (python3's jsonschema) sees it, and a document the schema refuses is refused by
// ReadJobDocument too, with its place named.

namespace {
// The checker's exit code for these documents: 0 all valid, 1 one is not, 2 a broken schema.
TRunResult CheckAgainstSchema(const std::vector<std::string>& paths) {
    std::vector<std::string> argv = {MERIDAX_PYTHON, MERIDAX_CHECK_JOB_SCHEMA, MERIDAX_JOB_SCHEMA};
    argv.insert(argv.end(), paths.begin(), paths.end());
    TSubprocessOptions options;
    options.CaptureError = true;
    return RunToEnd(argv, options);
}

std::string SampleDocumentText() {
    return SecondVersionText(SampleJob());
}

// A change to the sample document: the value at Pointer becomes Value (JSON text), or a copy
// of the value at the pointer after "@", or is removed when Value is null.
struct TPatch {
    const char* Pointer;
    const char* Value;
};

struct TBadDocument {
    const char* Name;
    std::vector<TPatch> Patches;
    bool SchemaRefuses;   // false: a rule the schema cannot state, checked by the reader alone
    const char* Message;  // after "job.json: "
};

std::string Patched(const std::vector<TPatch>& patches) {
    nlohmann::json document = nlohmann::json::parse(SampleDocumentText());
    for (const TPatch& patch : patches) {
        const nlohmann::json::json_pointer pointer(patch.Pointer);
        if (patch.Value == nullptr) {
            nlohmann::json& parent = document.at(pointer.parent_pointer());
            EXPECT_EQ(parent.erase(pointer.back()), 1u) << patch.Pointer;
        } else if (patch.Value[0] == '@') {
            document[pointer] = document.at(nlohmann::json::json_pointer(patch.Value + 1));
        } else {
            document[pointer] = nlohmann::json::parse(patch.Value);
        }
    }
    return document.dump(2) + "\n";
}

const std::string LongName = "\"" + std::string(3000, 'x') + "\"";

const TBadDocument BadDocuments[] = {
    {"NameMissing", {{"/name", nullptr}}, true, "/name: missing"},
    {"NameEmpty", {{"/name", "\"\""}}, true, "/name: empty"},
    {"UnknownField", {{"/colour", "\"red\""}}, true, "/colour: not a field of this object"},
    {"OtherFormat", {{"/format", "\"other\""}}, true, "/format: 'other' is not meridax-job"},
    {"LongKind",
     {{"/downloads/1/readings/0/kind",
       "\"0123456789012345678901234567890123456789012345678901234567890123456789\""}},
     true,
     "/downloads/1/readings/0/kind: "
     "'0123456789012345678901234567890123456789012345678901234567890123...' "
     "is not absolute or relative"},
    {"NewerVersion",
     {{"/version", "2"}},
     true,
     "/version: version 2 is newer than this program reads (1)"},
    {"NewerVersionWithItsOwnFields",
     {{"/version", "2"}, {"/downloads", nullptr}, {"/jobs", "[]"}},
     true,
     "/version: version 2 is newer than this program reads (1)"},
    {"FormatMissing", {{"/format", nullptr}}, true, "/format: missing"},
    {"VersionAsText", {{"/version", "\"1\""}}, true, "/version: not an integer"},
    {"CustomerNumber", {{"/customer", "7"}}, true, "/customer: not a string"},
    {"CreatedAtWithBlank",
     {{"/created_at", "\"2026-12-01 08:00:00.000001Z\""}},
     true,
     "/created_at: '2026-12-01 08:00:00.000001Z' is not a UTC time such as "
     "2026-12-07T19:55:36.123456Z"},
    {"CreatedAtWithoutMicroseconds",
     {{"/created_at", "\"2026-12-01T08:00:00Z\""}},
     true,
     "/created_at: '2026-12-01T08:00:00Z' is not a UTC time such as 2026-12-07T19:55:36.123456Z"},
    {"LogoUnpadded",
     {{"/logo", "\"iVBORw0KGgo\""}},
     true,
     "/logo: not base64 text (A-Z, a-z, 0-9, + and /, padded with =)"},
    {"LogoLeftoverBits",
     {{"/logo", "\"iVBORw0KGgp=\""}},
     true,
     "/logo: not base64 text (A-Z, a-z, 0-9, + and /, padded with =)"},
    {"LogoTypeBmp",
     {{"/logo_type", "\"bmp\""}},
     true,
     "/logo_type: 'bmp' is not png, svg or empty"},
    {"LogoWithoutType", {{"/logo_type", "\"\""}}, true, "/logo_type: empty, while there is a logo"},
    {"TypeWithoutLogo", {{"/logo", "\"\""}}, true, "/logo: empty, while logo_type names a type"},
    {"ExpectedFibresList", {{"/expected_fibres", "[]"}}, true, "/expected_fibres: not an object"},
    {"ExpectedFibresZero",
     {{"/expected_fibres/K2", "0"}},
     true,
     "/expected_fibres/K2: 0 is not from 1 to 1000000"},
    {"ExpectedFibresBeyondInt",
     {{"/expected_fibres/K2", "2147483648"}},
     true,
     "/expected_fibres/K2: 2147483648 is not from 1 to 1000000"},
    // The limits every way into an archive keeps, each refusal naming its place.
    {"ExpectedFibresBeyondTheCap",
     {{"/expected_fibres/K2", "2147483647"}},
     true,
     "/expected_fibres/K2: 2147483647 is not from 1 to 1000000"},
    {"NameWithAZeroByte",
     {{"/name", "\"TARGETJOB\\u0000-other\""}},
     true,
     "/name: holds a zero byte (\\u0000), which no text may hold"},
    {"NameTooLongForAnIndex",
     {{"/name", LongName.c_str()}},
     true,
     "/name: longer than 500 characters (3000)"},
    {"CableNameWithAZeroByte",
     {{"/expected_fibres", "{\"K\\u0000\": 4}"}},
     true,
     "/expected_fibres: a cable's name holds a zero byte (\\u0000), which no text may hold"},
    {"OperatorWithAZeroByte",
     {{"/downloads/0/operator", "\"A\\u0000B\""}},
     true,
     "/downloads/0/operator: holds a zero byte (\\u0000), which no text may hold"},
    {"TestDateNoDay",
     {{"/downloads/0/test_date", "\"2026-99-99\""}},
     true,
     "/downloads/0/test_date: '2026-99-99' is not a date such as 2026-12-07"},
    {"TestDateBeyondTheMonth",
     {{"/downloads/0/test_date", "\"2026-02-30\""}},
     false,
     "/downloads/0/test_date: '2026-02-30' is not a date such as 2026-12-07"},
    {"AddedAtHour25",
     {{"/downloads/1/added_at", "\"2026-12-01T25:00:00.000000Z\""}},
     true,
     "/downloads/1/added_at: '2026-12-01T25:00:00.000000Z' is not a UTC time such as "
     "2026-12-07T19:55:36.123456Z"},
    {"ExpectedFibresFraction",
     {{"/expected_fibres/K2", "1.5"}},
     true,
     "/expected_fibres/K2: not an integer"},
    {"CableNameEscaped",
     {{"/expected_fibres/A~1B~0", "-3"}},
     true,
     "/expected_fibres/A~1B~0: -3 is not from 1 to 1000000"},
    {"BudgetsObject", {{"/budgets", "{}"}}, true, "/budgets: not an array"},
    {"BudgetJsonMissing", {{"/budgets/1/json", nullptr}}, true, "/budgets/1/json: missing"},
    {"BudgetJsonAsObject", {{"/budgets/0/json", "{}"}}, true, "/budgets/0/json: not a string"},
    {"BudgetTimeEmpty",
     {{"/budgets/1/set_at", "\"\""}},
     true,
     "/budgets/1/set_at: '' is not a UTC time such as 2026-12-07T19:55:36.123456Z"},
    {"DownloadsMissing", {{"/downloads", nullptr}}, true, "/downloads: missing"},
    {"DownloadNotObject", {{"/downloads/1", "7"}}, true, "/downloads/1: not an object"},
    {"NumberZero",
     {{"/downloads/1/number", "0"}},
     true,
     "/downloads/1/number: 0 is not from 1 to 9223372036854775807"},
    {"NumberFraction",
     {{"/downloads/0/number", "1.25"}},
     true,
     "/downloads/0/number: not an integer"},
    {"TestDateDotted",
     {{"/downloads/1/test_date", "\"2.12.2026\""}},
     true,
     "/downloads/1/test_date: '2.12.2026' is not a date such as 2026-12-07"},
    {"AddedAtMissing",
     {{"/downloads/0/added_at", nullptr}},
     true,
     "/downloads/0/added_at: missing"},
    {"DirectionUnknown",
     {{"/downloads/0/direction", "\"ab\""}},
     true,
     "/downloads/0/direction: 'ab' is not a-b, b-a or empty"},
    {"VoidAsText",
     {{"/downloads/1/void", "\"yes\""}},
     true,
     "/downloads/1/void: not true or false"},
    {"Sha256Uppercase",
     {{"/downloads/1/sha256",
       "\"A0E729E2CC9C110307766CD01B753565BA0E54F68D5D9F56A028E53A5ACCFDBC\""}},
     true,
     "/downloads/1/sha256: 'A0E729E2CC9C110307766CD01B753565BA0E54F68D5D9F56A028E53A5ACCFDBC' is "
     "not 64 lowercase hex digits"},
    {"ReadingsNull",
     {{"/downloads/0/readings", "null"}},
     true,
     "/downloads/0/readings: not an array"},
    {"ReadingNotObject",
     {{"/downloads/0/readings/1", "[]"}},
     true,
     "/downloads/0/readings/1: not an object"},
    {"ReadingAsNumber",
     {{"/downloads/1/readings/0", "7"}},
     true,
     "/downloads/1/readings/0: not an object"},
    {"ReadingsAsObject",
     {{"/downloads/0/readings", "{\"0\": {}}"}},
     true,
     "/downloads/0/readings: not an array"},
    {"FaultsInTheDocumentsOrder",
     {{"/downloads/1/readings/0/kind", "\"loss\""}, {"/downloads/0/meter", "5"}},
     true,
     "/downloads/0/meter: not a string"},
    {"NewerVersionWithOtherReadings",
     {{"/version", "2"}, {"/downloads/0/readings/1", "[1310, -0.1]"}},
     true,
     "/version: version 2 is newer than this program reads (1)"},
    {"ReadingValueAsText",
     {{"/downloads/0/readings/1/value", "\"0.1\""}},
     true,
     "/downloads/0/readings/1/value: not a number"},
    {"ReadingReferenceMissing",
     {{"/downloads/0/readings/0/reference", nullptr}},
     true,
     "/downloads/0/readings/0/reference: missing"},
    {"ReadingKindLoss",
     {{"/downloads/1/readings/0/kind", "\"loss\""}},
     true,
     "/downloads/1/readings/0/kind: 'loss' is not absolute or relative"},
    {"ReadingDirectionUpper",
     {{"/downloads/1/readings/0/direction", "\"B-A\""}},
     true,
     "/downloads/1/readings/0/direction: 'B-A' is not a-b, b-a or empty"},
    {"ReadingNote",
     {{"/downloads/0/readings/0/note", "\"x\""}},
     true,
     "/downloads/0/readings/0/note: not a field of this object"},
    {"CableBeyondLatin1",
     {{"/downloads/0/readings/1/cable", "\"K\\u00e1bel \\u010d\""}},
     true,
     "/downloads/0/readings/1/cable: holds a character beyond U+00FF, which a meter's record "
     "cannot hold"},
    {"Sha256OfOtherReadings",
     {{"/downloads/0/sha256",
       "\"0000000000000000000000000000000000000000000000000000000000000000\""}},
     false,
     "/downloads/0/sha256: does not match the readings of download 1 (theirs is "
     "d7ac2918109143eb5e1cb1663fbd438889172dbd34d47a57fbacf94201e0b0c8)"},
    {"ReadingChanged",
     {{"/downloads/1/readings/0/value", "-21.25"}},
     false,
     "/downloads/1/sha256: does not match the readings of download 2 (theirs is "
     "6bb488fe699decf35fe4e2eb872c77b79aa95a023ad7139972747b2466f50a39)"},
    {"NumbersNotRising",
     {{"/downloads/1/number", "1"}},
     false,
     "/downloads/1/number: 1 does not follow the number before it (1)"},
    {"SameReadingsTwice",
     {{"/downloads/1/readings", "@/downloads/0/readings"},
      {"/downloads/1/sha256", "@/downloads/0/sha256"}},
     false,
     "/downloads/1/sha256: the same readings as download 1"},
};

void PrintTo(const TBadDocument& bad, std::ostream* out) {
    *out << bad.Name;
}

class BadJobDocument : public testing::TestWithParam<TBadDocument> {};
}  // namespace

TEST(JobSchema, ExportedDocumentsAreValid) {
    TTempFolder folder;
    TJobDocument sample = SampleJob();
    WriteFileBytes(folder.File("sample.json"), SecondVersionText(sample));
    WriteFileBytes(folder.File("empty.json"), JobDocumentText("empty", {}, {}));
    sample.Job.Logo = "<svg/>";
    sample.Job.LogoType = "svg";
    sample.Downloads[0].Readings[0].Record.Cable = std::string("\x01\x7f\xff", 3);
    sample.Downloads[0].Readings[0].Record.Value = -0.0;
    WriteFileBytes(folder.File("svg.json"), SecondVersionText(sample));
    const TRunResult result = CheckAgainstSchema(
        {folder.File("sample.json"), folder.File("empty.json"), folder.File("svg.json")});
    EXPECT_EQ(result.ExitCode, 0) << result.Out << result.Err;
    EXPECT_EQ(result.Out, "");
}

// The checker itself tells a valid document from one that is not, so that a passing check
// above means something.
TEST(JobSchema, TheCheckerRefusesABrokenDocument) {
    TTempFolder folder;
    WriteFileBytes(folder.File("bad.json"), Patched({{"/downloads/0/void", "0"}}));
    const TRunResult result = CheckAgainstSchema({folder.File("bad.json")});
    EXPECT_EQ(result.ExitCode, 1) << result.Err;
    EXPECT_NE(result.Out.find("$.downloads[0].void: 0 is not of type 'boolean'"), std::string::npos)
        << result.Out;
}

TEST_P(BadJobDocument, IsRefusedWithItsPlaceNamed) {
    const TBadDocument& bad = GetParam();
    const std::string text = Patched(bad.Patches);
    EXPECT_SYSTEM_ERROR(ReadJobDocument(text, "job.json"), EArchiveError, TArchiveErrc::BadDocument,
                        std::string("job.json: ") + bad.Message);
    TTempFolder folder;
    WriteFileBytes(folder.File("job.json"), text);
    const TRunResult result = CheckAgainstSchema({folder.File("job.json")});
    EXPECT_EQ(result.ExitCode, bad.SchemaRefuses ? 1 : 0) << result.Out << result.Err;
}

INSTANTIATE_TEST_SUITE_P(Table, BadJobDocument, testing::ValuesIn(BadDocuments),
                         [](const testing::TestParamInfo<TBadDocument>& entry) {
                             return std::string(entry.param.Name);
                         });
