#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "SampleJob.h"
#include "jobs/ArchiveErrors.h"
#include "jobs/Base64.h"
#include "jobs/JobDocument.h"
#include "support/Throws.h"

namespace {
// The sample job's document, worked out by hand: the SHA-256 digests are those of the
// measurement texts
//   """K\xe1bel 1""@1@1310@-0.35@-10.5"^"""K\xe1bel 1""@2@1550@0.1@0"^  and  K2@12@1310@-21.5^
// and the logo is the base64 of the nine bytes 89 50 4E 47 0D 0A 1A 0A 00.
const char* const SampleText = R"({
  "format": "meridax-job",
  "version": 1,
  "name": "Bratislava \"Nivy\"",
  "customer": "Slovanet",
  "site": "Nivy tower, floor 3",
  "contractor": "Fibra s.r.o.",
  "notes": "two days\nsplices re-made",
  "created_at": "2026-12-01T08:00:00.000001Z",
  "logo_type": "png",
  "logo": "iVBORw0KGgoA",
  "expected_fibres": {"K2": 144, "Kábel 1": 12},
  "budgets": [
    {"set_at": "2026-12-01T08:00:01.000000Z", "json": "{\"cables\": []}\n"},
    {"set_at": "2026-12-02T09:30:00.500000Z", "json": "{\"pair_rule\": \"average\"}"}
  ],
  "downloads": [
    {
      "number": 1,
      "test_date": "2026-12-01",
      "meter": "OLP-85 #1",
      "source": "/dev/ttyUSB0",
      "operator": "Jana",
      "added_at": "2026-12-01T10:00:00.000000Z",
      "direction": "a-b",
      "void": false,
      "void_reason": "",
      "sha256": "d7ac2918109143eb5e1cb1663fbd438889172dbd34d47a57fbacf94201e0b0c8",
      "readings": [
        {"cable": "Kábel 1", "fiber": "1", "wavelength": 1310.0, "kind": "relative", "value": -0.35, "reference": -10.5, "direction": "a-b"},
        {"cable": "Kábel 1", "fiber": "2", "wavelength": 1550.0, "kind": "relative", "value": 0.1, "reference": 0.0, "direction": "a-b"}
      ]
    },
    {
      "number": 2,
      "test_date": "2026-12-02",
      "meter": "OLP-85 #2",
      "source": "/dev/ttyUSB0",
      "operator": "Jana",
      "added_at": "2026-12-02T10:00:00.000000Z",
      "direction": "b-a",
      "void": true,
      "void_reason": "wrong job",
      "sha256": "a0e729e2cc9c110307766cd01b753565ba0e54f68d5d9f56a028e53a5accfdbc",
      "readings": [
        {"cable": "K2", "fiber": "12", "wavelength": 1310.0, "kind": "absolute", "value": -21.5, "reference": 0.0, "direction": "b-a"}
      ]
    }
  ]
}
)";

std::uint64_t Bits(double value) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

double FromBits(std::uint64_t bits) {
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void ExpectSameDocument(const TJobDocument& expected, const TJobDocument& actual) {
    EXPECT_EQ(expected.Job, actual.Job);
    ASSERT_EQ(expected.Downloads.size(), actual.Downloads.size());
    for (std::size_t i = 0; i < expected.Downloads.size(); ++i) {
        EXPECT_TRUE(expected.Downloads[i] == actual.Downloads[i]) << "download " << i;
    }
}
}  // namespace

TEST(Base64, StandardVectorsBothWays) {
    const std::pair<const char*, const char*> vectors[] = {{"", ""},
                                                           {"f", "Zg=="},
                                                           {"fo", "Zm8="},
                                                           {"foo", "Zm9v"},
                                                           {"foob", "Zm9vYg=="},
                                                           {"fooba", "Zm9vYmE="},
                                                           {"foobar", "Zm9vYmFy"}};
    for (const auto& [bytes, text] : vectors) {
        EXPECT_EQ(Base64Encode(bytes), text);
        EXPECT_EQ(Base64Decode(text), bytes);
    }
    EXPECT_EQ(Base64Encode(std::string("\xff\xfe\0", 3)), "//4A");
}

TEST(Base64, TextsThatAreNotWhatEncodingMakesAreRefused) {
    for (const char* text :
         {"Zg=", "Zh==", "Zm9=", "Zm 9v", "Z===", "Zm9v\n", "=m9v", "Zm=v", "Zm9v====", "Zm9-"}) {
        EXPECT_EQ(Base64Decode(text), std::nullopt) << text;
    }
}

TEST(JobDocumentText, WorkedExample) {
    const TJobDocument sample = SampleJob();
    EXPECT_EQ(JobDocumentText(sample.Job, sample.Downloads), SampleText);
}

TEST(JobDocumentText, DownloadsAreWrittenInNumberOrder) {
    TJobDocument sample = SampleJob();
    std::swap(sample.Downloads[0], sample.Downloads[1]);
    EXPECT_EQ(JobDocumentText(sample.Job, sample.Downloads), SampleText);
}

TEST(JobDocumentText, AnEmptyJob) {
    TJob job;
    job.Name = "J";
    job.CreatedAt = "2026-12-07T19:55:36.123456Z";
    EXPECT_EQ(JobDocumentText(job, {}),
              "{\n  \"format\": \"meridax-job\",\n  \"version\": 1,\n  \"name\": \"J\",\n"
              "  \"customer\": \"\",\n  \"site\": \"\",\n  \"contractor\": \"\",\n"
              "  \"notes\": \"\",\n  \"created_at\": \"2026-12-07T19:55:36.123456Z\",\n"
              "  \"logo_type\": \"\",\n  \"logo\": \"\",\n  \"expected_fibres\": {},\n"
              "  \"budgets\": [],\n  \"downloads\": []\n}\n");
}

TEST(JobDocumentText, WhatTheDocumentCannotHoldIsRefused) {
    TJobDocument sample = SampleJob();
    sample.Job.Customer = "Slovan\xe9t";
    EXPECT_SYSTEM_ERROR(JobDocumentText(sample.Job, sample.Downloads), EArchiveError,
                        TArchiveErrc::BadInput,
                        "job Bratislava \"Nivy\": its customer is not UTF-8 text, which a job "
                        "document cannot hold");
    sample = SampleJob();
    sample.Downloads[1].Readings[0].Record.Value = std::numeric_limits<double>::infinity();
    EXPECT_SYSTEM_ERROR(JobDocumentText(sample.Job, sample.Downloads), EArchiveError,
                        TArchiveErrc::BadInput,
                        "job Bratislava \"Nivy\": download 2's reading's value is not a "
                        "finite number, which a job document cannot hold");
    sample = SampleJob();
    sample.Downloads[0].Meter = "OLP-85 \xb5";
    EXPECT_SYSTEM_ERROR(JobDocumentText(sample.Job, sample.Downloads), EArchiveError,
                        TArchiveErrc::BadInput,
                        "job Bratislava \"Nivy\": download 1's meter is not UTF-8 text, which "
                        "a job document cannot hold");
    sample = SampleJob();
    sample.Job.Budgets[1].Json = "{\"name\": \"K\xe1\"}";
    EXPECT_SYSTEM_ERROR(JobDocumentText(sample.Job, sample.Downloads), EArchiveError,
                        TArchiveErrc::BadInput,
                        "job Bratislava \"Nivy\": its budget is not UTF-8 text, which a job "
                        "document cannot hold");
}

TEST(ReadJobDocument, GivesBackWhatWasWritten) {
    const TJobDocument sample = SampleJob();
    const TJobDocument read = ReadJobDocument(SampleText, "job.json");
    ExpectSameDocument(sample, read);
    EXPECT_EQ(JobDocumentText(read.Job, read.Downloads), SampleText);
}

// Every double a reading may hold comes back with the same bits: the edge cases, then random
// bit patterns of every exponent.
TEST(ReadJobDocument, NumbersComeBackBitForBit) {
    std::vector<double> values = {-0.0,
                                  0.0,
                                  0.1,
                                  1e-300,
                                  -1e-300,
                                  5e-324,
                                  2.2250738585072014e-308,
                                  1.7976931348623157e308,
                                  -1.7976931348623157e308,
                                  1310,
                                  1e20,
                                  123456789012345678.0,
                                  0.30000000000000004,
                                  1.0 / 3,
                                  -21.5};
    std::mt19937_64 random(20261207);
    while (values.size() < 30000) {
        const double value = FromBits(random());
        if (std::isfinite(value)) {
            values.push_back(value);
        }
    }
    TMeraniaArray records;
    for (std::size_t i = 0; i + 2 < values.size(); i += 3) {
        records.push_back(
            {"C", std::to_string(i), values[i], values[i + 1], values[i + 2], i % 2 == 0});
    }
    TJobDocument document = SampleJob();
    document.Downloads = {
        DocumentDownload(1, records, TDirection::None, "2026-12-01T10:00:00.000000Z")};
    const std::string text = JobDocumentText(document.Job, document.Downloads);
    EXPECT_NE(text.find("\"wavelength\": -0.0, \"kind\": \"relative\", \"value\": 0.0, "
                        "\"reference\": 0.1,"),
              std::string::npos);
    const TJobDocument read = ReadJobDocument(text, "numbers.json");
    ASSERT_EQ(read.Downloads.at(0).Readings.size(), records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        const TMeranie& back = read.Downloads[0].Readings[i].Record;
        ASSERT_EQ(Bits(back.WaveLength), Bits(records[i].WaveLength)) << records[i].WaveLength;
        ASSERT_EQ(Bits(back.Value), Bits(records[i].Value)) << records[i].Value;
        ASSERT_EQ(Bits(back.Reference), Bits(records[i].Reference)) << records[i].Reference;
    }
}

// Every byte a meter's cable or fiber may hold is written as its UTF-8 character and read
// back as the same byte.
TEST(ReadJobDocument, Latin1CablesComeBackByteForByte) {
    std::string cable;
    for (int byte = 1; byte < 256; ++byte) {
        if (byte != '\t' && byte != '\n') {
            cable += static_cast<char>(byte);
        }
    }
    TJobDocument document = SampleJob();
    document.Downloads = {DocumentDownload(1,
                                           {{cable,
                                             "\xb5"
                                             "1",
                                             1310, -0.5, -3, true}},
                                           TDirection::AToB, "2026-12-01T10:00:00.000000Z")};
    const std::string text = JobDocumentText(document.Job, document.Downloads);
    EXPECT_NE(text.find("\"fiber\": \"\xc2\xb5"
                        "1\""),
              std::string::npos);
    EXPECT_NE(text.find("\\u0001\\u0002"), std::string::npos);
    EXPECT_NE(text.find("|}~\x7f\xc2\x80\xc2\x81"), std::string::npos);
    const TJobDocument read = ReadJobDocument(text, "latin1.json");
    ExpectSameDocument(document, read);
}

// As JSON readers do, the last value of a key given twice counts, also for the readings,
// which are taken out of the document as it is parsed.
TEST(ReadJobDocument, AKeyGivenTwiceCountsByItsLastValue) {
    std::string text = SampleText;
    text.replace(text.find("\"downloads\": ["), 0, "\"downloads\": [{\"readings\": [1, {}]}],\n  ");
    const std::size_t second = text.find("\"readings\": [", text.find("\"number\": 2"));
    text.replace(second, 0, "\"readings\": [{\"kind\": \"loss\"}], ");
    ExpectSameDocument(SampleJob(), ReadJobDocument(text, "twice.json"));
}

TEST(ReadJobDocument, TextsThatAreNotJsonNameTheLineAndColumn) {
    const std::pair<std::string, std::string> cases[] = {
        {"",
         "job.json: not valid JSON: parse error at line 1, column 1: syntax error while "
         "parsing value - unexpected end of input; expected '[', '{', or a literal"},
        {"{\n  \"format\": \"meridax-job\",\n}",
         "job.json: not valid JSON: parse error at line 3, column 1: syntax error while parsing "
         "object key - unexpected '}'; expected string literal"},
        {"[]", "job.json: not a JSON object"},
        {"{\"name\": \"K\xe1\"}",
         "job.json: not valid JSON: parse error at line 1, column 13: syntax error while parsing "
         "value - invalid string: ill-formed UTF-8 byte; last read: '\"K\\xE1\"'"},
    };
    for (const auto& one : cases) {
        const std::string& text = one.first;  // clang 14's lambdas take no structured binding
        EXPECT_SYSTEM_ERROR(ReadJobDocument(text, "job.json"), EArchiveError,
                            TArchiveErrc::BadDocument, one.second);
    }
}

TEST(ReadJobDocument, ANumberBeyondADoubleIsRefused) {
    std::string text = SampleText;
    text.replace(text.find("-21.5"), 5, "-1e400");
    EXPECT_SYSTEM_ERROR(ReadJobDocument(text, "job.json"), EArchiveError, TArchiveErrc::BadDocument,
                        "job.json: not valid JSON: number overflow parsing '-1e400'");
}
