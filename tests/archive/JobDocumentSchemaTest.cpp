#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "SampleJob.h"
#include "jobs/ArchiveErrors.h"
#include "jobs/JobDocument.h"
#include "support/FileBytes.h"
#include "support/Subprocess.h"
#include "support/TempFolder.h"
#include "support/Throws.h"

// The documents the program writes (and the first version's) are valid by docs/job.schema.json
// as a real JSON Schema reader (python3's jsonschema) sees it, and a document the schema
// refuses is refused by ReadJobDocument too, with its place named.

namespace {
// The checker's exit code for these documents: 0 all valid, 1 one is not, 2 a broken schema.
TRunResult CheckAgainstSchema(const std::vector<std::string>& paths) {
    std::vector<std::string> argv = {MERIDAX_PYTHON, MERIDAX_CHECK_JOB_SCHEMA, MERIDAX_JOB_SCHEMA};
    argv.insert(argv.end(), paths.begin(), paths.end());
    TSubprocessOptions options;
    options.CaptureError = true;
    return RunToEnd(argv, options);
}

// The sample job's document as this program writes it (second version), or as the first
// version wrote it.
enum class TBase { Second, First };

std::string SampleDocumentText(TBase base) {
    return base == TBase::Second ? SecondVersionText(SampleJob()) : FirstVersionSampleText();
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
    TBase Base = TBase::Second;
};

std::string Patched(const std::vector<TPatch>& patches, TBase base = TBase::Second) {
    nlohmann::json document = nlohmann::json::parse(SampleDocumentText(base));
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
const std::string ZeroHash = "\"" + std::string(64, '0') + "\"";

// The sample's event at index as a writer that checks less would make it: changed, then
// sealed again, so that the reader's later checks are reached.
std::string Resealed(std::size_t index, void (*change)(TJobEvent&)) {
    TJobEvent event =
        ReadJobDocument(SampleDocumentText(TBase::Second), "sample.json").Events.at(index);
    change(event);
    event = SealEvent(event);
    return nlohmann::json{{"id", event.Id},
                          {"origin", event.Origin},
                          {"author", event.Author},
                          {"wall_time", event.WallTime},
                          {"clock", ClockText(event.Clock)},
                          {"target", event.Target},
                          {"field", event.Field},
                          {"value", event.Value},
                          {"pred", event.Pred}}
        .dump();
}

const std::string PredOfAnAbsentEvent =
    Resealed(13, [](TJobEvent& event) { event.Pred = {std::string(64, 'a')}; });
const std::string ZeroByteOperatorEvent =
    Resealed(12, [](TJobEvent& event) { event.Value = "\"A\\u0000B\""; });

// In the second-version sample, /downloads/0 is K2's (one reading) and /downloads/1 the
// Latin-1 cable's (two); /events/5 sets the customer, /events/13 replaces the budget of
// /events/8 (its pred).
const TBadDocument BadDocuments[] = {
    // The heading, which every version shares.
    {"FormatMissing", {{"/format", nullptr}}, true, "/format: missing"},
    {"OtherFormat", {{"/format", "\"other\""}}, true, "/format: 'other' is not meridax-job"},
    {"VersionAsText", {{"/version", "\"2\""}}, true, "/version: not an integer"},
    {"VersionZero", {{"/version", "0"}}, true, "/version: 0 is not from 1 to 9223372036854775807"},
    {"NewerVersion",
     {{"/version", "3"}},
     true,
     "/version: version 3 is newer than this program reads (2)"},
    {"NewerVersionWithItsOwnFields",
     {{"/version", "3"}, {"/events", nullptr}, {"/jobs", "[]"}},
     true,
     "/version: version 3 is newer than this program reads (2)"},
    {"NewerVersionWithOtherReadings",
     {{"/version", "3"}, {"/downloads/1/readings/1", "[1310, -0.1]"}},
     true,
     "/version: version 3 is newer than this program reads (2)"},
    // The second version's own fields.
    {"UnknownField", {{"/colour", "\"red\""}}, true, "/colour: not a field of this object"},
    {"FirstVersionFieldInTheSecond",
     {{"/customer", "\"Slovanet\""}},
     true,
     "/customer: not a field of this object"},
    {"RecordsFormatOlder",
     {{"/records_format", "\"meridax-records-1\""}},
     true,
     "/records_format: 'meridax-records-1' is not meridax-records-2"},
    {"RecordsFormatMissing", {{"/records_format", nullptr}}, true, "/records_format: missing"},
    {"NameMissing", {{"/name", nullptr}}, true, "/name: missing"},
    {"NameEmpty", {{"/name", "\"\""}}, true, "/name: empty"},
    {"NameWithAZeroByte",
     {{"/name", "\"TARGETJOB\\u0000-other\""}},
     true,
     "/name: holds a zero byte (\\u0000), which no text may hold"},
    {"NameTooLongForAnIndex",
     {{"/name", LongName.c_str()}},
     true,
     "/name: longer than 500 characters (3000)"},
    // The downloads: their readings by hash, in the order of their hashes.
    {"DownloadsMissing", {{"/downloads", nullptr}}, true, "/downloads: missing"},
    {"DownloadNotObject", {{"/downloads/1", "7"}}, true, "/downloads/1: not an object"},
    {"DownloadWithANumber",
     {{"/downloads/0/number", "1"}},
     true,
     "/downloads/0/number: not a field of this object"},
    {"Sha256Uppercase",
     {{"/downloads/0/sha256",
       "\"926DA418B4F974D8185A4FC6C53BB423F077B2BFE34112936364FD339D6E1FAA\""}},
     true,
     "/downloads/0/sha256: '926DA418B4F974D8185A4FC6C53BB423F077B2BFE34112936364FD339D6E1FAA' is "
     "not 64 lowercase hex digits"},
    {"TextSha256Missing",
     {{"/downloads/1/text_sha256", nullptr}},
     true,
     "/downloads/1/text_sha256: missing"},
    {"TextSha256OfOtherReadings",
     {{"/downloads/0/text_sha256", ZeroHash.c_str()}},
     false,
     "/downloads/0/text_sha256: does not match the readings (theirs is "
     "a0e729e2cc9c110307766cd01b753565ba0e54f68d5d9f56a028e53a5accfdbc)"},
    {"ReadingChanged",
     {{"/downloads/0/readings/0/value", "-21.25"}},
     false,
     "/downloads/0/sha256: does not match the download's readings"},
    {"ReadingsDirectionSaid",
     {{"/downloads/1/readings/1/direction", "\"a-b\""}},
     false,
     "/downloads/1/sha256: does not match the download's readings"},
    {"DownloadsOutOfOrder",
     {{"/swap", "@/downloads/0"},
      {"/downloads/0", "@/downloads/1"},
      {"/downloads/1", "@/swap"},
      {"/swap", nullptr}},
     false,
     "/downloads/1/sha256: below the one before it (downloads go by sha256, lowest first)"},
    {"SameReadingsTwice",
     {{"/downloads/0", "@/downloads/1"}},
     false,
     "/downloads/1/sha256: the same readings as /downloads/0"},
    {"ReadingsNull",
     {{"/downloads/0/readings", "null"}},
     true,
     "/downloads/0/readings: not an array"},
    {"ReadingsAsObject",
     {{"/downloads/1/readings", "{\"0\": {}}"}},
     true,
     "/downloads/1/readings: not an array"},
    {"ReadingNotObject",
     {{"/downloads/1/readings/1", "[]"}},
     true,
     "/downloads/1/readings/1: not an object"},
    {"ReadingAsNumber",
     {{"/downloads/0/readings/0", "7"}},
     true,
     "/downloads/0/readings/0: not an object"},
    {"ReadingValueAsText",
     {{"/downloads/1/readings/1/value", "\"0.1\""}},
     true,
     "/downloads/1/readings/1/value: not a number"},
    {"ReadingReferenceMissing",
     {{"/downloads/1/readings/0/reference", nullptr}},
     true,
     "/downloads/1/readings/0/reference: missing"},
    {"ReadingKindLoss",
     {{"/downloads/0/readings/0/kind", "\"loss\""}},
     true,
     "/downloads/0/readings/0/kind: 'loss' is not absolute or relative"},
    {"LongKind",
     {{"/downloads/0/readings/0/kind",
       "\"0123456789012345678901234567890123456789012345678901234567890123456789\""}},
     true,
     "/downloads/0/readings/0/kind: "
     "'0123456789012345678901234567890123456789012345678901234567890123...' "
     "is not absolute or relative"},
    {"ReadingDirectionUpper",
     {{"/downloads/0/readings/0/direction", "\"B-A\""}},
     true,
     "/downloads/0/readings/0/direction: 'B-A' is not a-b, b-a or empty"},
    {"ReadingNote",
     {{"/downloads/1/readings/0/note", "\"x\""}},
     true,
     "/downloads/1/readings/0/note: not a field of this object"},
    {"CableBeyondLatin1",
     {{"/downloads/1/readings/1/cable", "\"K\\u00e1bel \\u010d\""}},
     true,
     "/downloads/1/readings/1/cable: holds a character beyond U+00FF, which a meter's record "
     "cannot hold"},
    {"FaultsInTheDocumentsOrder",
     {{"/downloads/1/readings/0/kind", "\"loss\""}, {"/downloads/0/text_sha256", "5"}},
     true,
     "/downloads/0/text_sha256: not a string"},
    // The events: each sealed by its id.
    {"EventsMissing", {{"/events", nullptr}}, true, "/events: missing"},
    {"EventsAsObject", {{"/events", "{}"}}, true, "/events: not an array"},
    {"EventNotObject", {{"/events/3", "[]"}}, true, "/events/3: not an object"},
    {"EventAuthorMissing", {{"/events/2/author", nullptr}}, true, "/events/2/author: missing"},
    {"EventWithANote",
     {{"/events/0/note", "\"x\""}},
     true,
     "/events/0/note: not a field of this object"},
    {"EventIdShort",
     {{"/events/1/id", "\"0bcaf494\""}},
     true,
     "/events/1/id: '0bcaf494' is not 64 lowercase hex digits"},
    {"EventValueChanged",
     {{"/events/5/value", "\"\\\"Orange\\\"\""}},
     false,
     "/events/5/id: not the hash of the event (changed after it was made?)"},
    {"EventValueAsJson",
     {{"/events/2/value", "{\"data\": \"iVBORw0KGgoA\", \"type\": \"png\"}"}},
     true,
     "/events/2/value: not a string"},
    {"ClockUppercase",
     {{"/events/0/clock", "\"01A2309E24000000\""}},
     true,
     "/events/0/clock: '01A2309E24000000' is not 16 lowercase hex digits"},
    {"ClockAsNumber", {{"/events/0/clock", "1"}}, true, "/events/0/clock: not a string"},
    {"ClockShort",
     {{"/events/0/clock", "\"1a2309e24000000\""}},
     true,
     "/events/0/clock: '1a2309e24000000' is not 16 lowercase hex digits"},
    {"PredNotAList", {{"/events/13/pred", "\"\""}}, true, "/events/13/pred: not an array"},
    {"PredNoId",
     {{"/events/13/pred/0", "\"b02bf3dc\""}},
     true,
     "/events/13/pred/0: 'b02bf3dc' is not an event's id (64 lowercase hex digits)"},
    {"PredNumber", {{"/events/13/pred/0", "7"}}, true, "/events/13/pred/0: not a string"},
    {"PredOfAnAbsentEvent",
     {{"/events/13", PredOfAnAbsentEvent.c_str()}},
     false,
     "/events/13/pred/0: names an event the document does not carry"},
    {"AuthorWithAZeroByte",
     {{"/events/9/author", "\"Jana\\u0000\""}},
     true,
     "/events/9/author: holds a zero byte (\\u0000), which no text may hold"},
    // The state: what the events give, to the bit.
    {"StateMissing", {{"/state", nullptr}}, true, "/state: missing"},
    {"StateCustomerChanged",
     {{"/state/customer", "\"Orange\""}},
     false,
     "/state/customer: does not agree with the document's events, which give 'Slovanet'"},
    {"StateVoidUndone",
     {{"/state/downloads/1/void", "false"}},
     false,
     "/state/downloads/1/void: does not agree with the document's events, which give true"},
    {"StateConflictsAsText",
     {{"/state/conflicts", "\"0\""}},
     true,
     "/state/conflicts: does not agree with the document's events, which give 0"},
    {"StateNotesMissing", {{"/state/notes", nullptr}}, true, "/state/notes: missing"},
    {"StateLogoUnpadded",
     {{"/state/logo", "\"iVBORw0KGgo\""}},
     true,
     "/state/logo: does not agree with the document's events, which give 'iVBORw0KGgoA'"},
    {"StateExpectedFibresZero",
     {{"/state/expected_fibres/K2", "0"}},
     true,
     "/state/expected_fibres/K2: does not agree with the document's events, which give 144"},
    {"StateUnrefusedWithAZeroByte",
     {{"/events/12", ZeroByteOperatorEvent.c_str()},
      {"/state/downloads/0/operator", "\"A\\u0000B\""}},
     true,
     "/state/downloads/0/operator: holds a zero byte (\\u0000), which no text may hold"},
    {"StateDownloadTwice",
     {{"/state/downloads/1", "@/state/downloads/0"}},
     false,
     "/state/downloads/1/added_at: does not agree with the document's events, which give "
     "'2026-12-02T10:00:00.000000Z'"},
    // A few of the first version, whose rules are the reader's own.
    {"FirstVersionWithEvents",
     {{"/events", "[]"}},
     true,
     "/events: not a field of this object",
     TBase::First},
    {"FirstVersionCustomerNumber",
     {{"/customer", "7"}},
     true,
     "/customer: not a string",
     TBase::First},
    {"FirstVersionCreatedAtWithBlank",
     {{"/created_at", "\"2026-12-01 08:00:00.000001Z\""}},
     true,
     "/created_at: '2026-12-01 08:00:00.000001Z' is not a UTC time such as "
     "2026-12-07T19:55:36.123456Z",
     TBase::First},
    {"FirstVersionLogoWithoutType",
     {{"/logo_type", "\"\""}},
     true,
     "/logo_type: empty, while there is a logo",
     TBase::First},
    {"FirstVersionExpectedFibresBeyondInt",
     {{"/expected_fibres/K2", "2147483648"}},
     true,
     "/expected_fibres/K2: 2147483648 is not from 1 to 1000000",
     TBase::First},
    {"FirstVersionCableNameEscaped",
     {{"/expected_fibres/A~1B~0", "-3"}},
     true,
     "/expected_fibres/A~1B~0: -3 is not from 1 to 1000000",
     TBase::First},
    {"FirstVersionOperatorWithAZeroByte",
     {{"/downloads/0/operator", "\"A\\u0000B\""}},
     true,
     "/downloads/0/operator: holds a zero byte (\\u0000), which no text may hold",
     TBase::First},
    {"FirstVersionTestDateBeyondTheMonth",
     {{"/downloads/0/test_date", "\"2026-02-30\""}},
     false,
     "/downloads/0/test_date: '2026-02-30' is not a date such as 2026-12-07",
     TBase::First},
    {"FirstVersionNumberFraction",
     {{"/downloads/0/number", "1.25"}},
     true,
     "/downloads/0/number: not an integer",
     TBase::First},
    {"FirstVersionVoidAsText",
     {{"/downloads/1/void", "\"yes\""}},
     true,
     "/downloads/1/void: not true or false",
     TBase::First},
    {"FirstVersionSha256OfOtherReadings",
     {{"/downloads/0/sha256", ZeroHash.c_str()}},
     false,
     "/downloads/0/sha256: does not match the readings of download 1 (theirs is "
     "d7ac2918109143eb5e1cb1663fbd438889172dbd34d47a57fbacf94201e0b0c8)",
     TBase::First},
    {"FirstVersionNumbersNotRising",
     {{"/downloads/1/number", "1"}},
     false,
     "/downloads/1/number: 1 does not follow the number before it (1)",
     TBase::First},
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
    WriteFileBytes(folder.File("first.json"), FirstVersionSampleText());
    const TRunResult result =
        CheckAgainstSchema({folder.File("sample.json"), folder.File("empty.json"),
                            folder.File("svg.json"), folder.File("first.json")});
    EXPECT_EQ(result.ExitCode, 0) << result.Out << result.Err;
    EXPECT_EQ(result.Out, "");
}

// The checker itself tells a valid document from one that is not, so that a passing check
// above means something.
TEST(JobSchema, TheCheckerRefusesABrokenDocument) {
    TTempFolder folder;
    WriteFileBytes(folder.File("bad.json"), Patched({{"/state/downloads/0/void", "0"}}));
    const TRunResult result = CheckAgainstSchema({folder.File("bad.json")});
    EXPECT_EQ(result.ExitCode, 1) << result.Err;
    EXPECT_NE(result.Out.find("$.state.downloads[0].void: 0 is not of type 'boolean'"),
              std::string::npos)
        << result.Out;
}

TEST_P(BadJobDocument, IsRefusedWithItsPlaceNamed) {
    const TBadDocument& bad = GetParam();
    const std::string text = Patched(bad.Patches, bad.Base);
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
