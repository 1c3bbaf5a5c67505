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
// The same job as the second version writes it (made by SecondVersionText and read through
// line by line): the events stand for the first version's facts, the state is what they
// give.
const char* const SampleEventsText = R"({
  "format": "meridax-job",
  "version": 2,
  "name": "Bratislava \"Nivy\"",
  "records_format": "meridax-records-2",
  "state": {
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
      {"sha256": "e1bdf048d7412f2808cadd47d3c0d4f46446edb40ba005b3a43ef2252bddfa4d", "test_date": "2026-12-01", "meter": "OLP-85 #1", "source": "/dev/ttyUSB0", "operator": "Jana", "added_at": "2026-12-01T10:00:00.000000Z", "direction": "a-b", "void": false, "void_reason": ""},
      {"sha256": "926da418b4f974d8185a4fc6c53bb423f077b2bfe34112936364fd339d6e1faa", "test_date": "2026-12-02", "meter": "OLP-85 #2", "source": "/dev/ttyUSB0", "operator": "Jana", "added_at": "2026-12-02T10:00:00.000000Z", "direction": "b-a", "void": true, "void_reason": "wrong job"}
    ],
    "conflicts": 0
  },
  "downloads": [
    {
      "sha256": "926da418b4f974d8185a4fc6c53bb423f077b2bfe34112936364fd339d6e1faa",
      "text_sha256": "a0e729e2cc9c110307766cd01b753565ba0e54f68d5d9f56a028e53a5accfdbc",
      "readings": [
        {"cable": "K2", "fiber": "12", "wavelength": 1310.0, "kind": "absolute", "value": -21.5, "reference": 0.0, "direction": ""}
      ]
    },
    {
      "sha256": "e1bdf048d7412f2808cadd47d3c0d4f46446edb40ba005b3a43ef2252bddfa4d",
      "text_sha256": "d7ac2918109143eb5e1cb1663fbd438889172dbd34d47a57fbacf94201e0b0c8",
      "readings": [
        {"cable": "Kábel 1", "fiber": "1", "wavelength": 1310.0, "kind": "relative", "value": -0.35, "reference": -10.5, "direction": ""},
        {"cable": "Kábel 1", "fiber": "2", "wavelength": 1550.0, "kind": "relative", "value": 0.1, "reference": 0.0, "direction": ""}
      ]
    }
  ],
  "events": [
    {"id": "088e90f2ae24798184e16dc44617695c59e99c768db7a6cc8f7b6dfc8b9d00dd", "origin": "v1", "author": "", "wall_time": "2026-12-01T08:00:00.000001Z", "clock": "01a2309e24000000", "target": "job", "field": "contractor", "value": "\"Fibra s.r.o.\"", "pred": []},
    {"id": "0bcaf494a30b7d2d3dc68ec070b6b05c80bc4dd56be7b2200e967bf283143b2d", "origin": "v1", "author": "", "wall_time": "2026-12-01T08:00:00.000001Z", "clock": "01a2309e24000000", "target": "job", "field": "notes", "value": "\"two days\\nsplices re-made\"", "pred": []},
    {"id": "124db548a374797ddb7929d51a17b3a9a40f143bfd2e9fc59f53bda84381d1f3", "origin": "v1", "author": "", "wall_time": "2026-12-01T08:00:00.000001Z", "clock": "01a2309e24000000", "target": "job", "field": "logo", "value": "{\"data\":\"iVBORw0KGgoA\",\"type\":\"png\"}", "pred": []},
    {"id": "64523143c04f2c1a2122d29e9e0928793e1ffb316e495e093e8f5862d318471c", "origin": "v1", "author": "", "wall_time": "2026-12-01T08:00:00.000001Z", "clock": "01a2309e24000000", "target": "job", "field": "created", "value": "null", "pred": []},
    {"id": "82e7d07f705c39405e62f7e866bc308f16ecd915f97a30289cde1d74c6f1f78f", "origin": "v1", "author": "", "wall_time": "2026-12-01T08:00:00.000001Z", "clock": "01a2309e24000000", "target": "cable:Kábel 1", "field": "fibers", "value": "12", "pred": []},
    {"id": "c8baf92f4c0c310b73d1bab9feaaf55600fbede06a39d38ee19cb2d1f061df7f", "origin": "v1", "author": "", "wall_time": "2026-12-01T08:00:00.000001Z", "clock": "01a2309e24000000", "target": "job", "field": "customer", "value": "\"Slovanet\"", "pred": []},
    {"id": "e27b1d2b9cfe25ee2ddbef083f8e1f4e085aecf61d140e8d36ec515a44725263", "origin": "v1", "author": "", "wall_time": "2026-12-01T08:00:00.000001Z", "clock": "01a2309e24000000", "target": "cable:K2", "field": "fibers", "value": "144", "pred": []},
    {"id": "eb069dec9bcbfcb3e8c7d276a083f1ef6eedd8ad10ab3919db7caf802c449898", "origin": "v1", "author": "", "wall_time": "2026-12-01T08:00:00.000001Z", "clock": "01a2309e24000000", "target": "job", "field": "site", "value": "\"Nivy tower, floor 3\"", "pred": []},
    {"id": "b02bf3dcfcf4ae135e9ba7650d9649d0c8d47cff5243da0bacfbce29bc8ad954", "origin": "v1", "author": "", "wall_time": "2026-12-01T08:00:01.000000Z", "clock": "01a2309e27e80000", "target": "job", "field": "budget", "value": "\"{\\\"cables\\\": []}\\n\"", "pred": []},
    {"id": "54027de14cda37932650da0c70670616de2784fcb927d496408296d6ae53e131", "origin": "v1", "author": "Jana", "wall_time": "2026-12-01T10:00:00.000000Z", "clock": "01a2310c01000000", "target": "download:e1bdf048d7412f2808cadd47d3c0d4f46446edb40ba005b3a43ef2252bddfa4d", "field": "added", "value": "{\"meter\":\"OLP-85 #1\",\"source\":\"/dev/ttyUSB0\"}", "pred": []},
    {"id": "60193afae90b2ee72b1635dc4edd4bcdd98c12ba237f8a71c5bafaa03dcb6014", "origin": "v1", "author": "Jana", "wall_time": "2026-12-01T10:00:00.000000Z", "clock": "01a2310c01000000", "target": "download:e1bdf048d7412f2808cadd47d3c0d4f46446edb40ba005b3a43ef2252bddfa4d", "field": "direction", "value": "\"a-b\"", "pred": []},
    {"id": "d81e415f3f162c57e6c39c7937cfef22881407190d4248204d6617db22f76c37", "origin": "v1", "author": "Jana", "wall_time": "2026-12-01T10:00:00.000000Z", "clock": "01a2310c01000000", "target": "download:e1bdf048d7412f2808cadd47d3c0d4f46446edb40ba005b3a43ef2252bddfa4d", "field": "date", "value": "\"2026-12-01\"", "pred": []},
    {"id": "dad82a824b4339dc238313b315aa311164586ebc7918eefb494ba5102e35db28", "origin": "v1", "author": "Jana", "wall_time": "2026-12-01T10:00:00.000000Z", "clock": "01a2310c01000000", "target": "download:e1bdf048d7412f2808cadd47d3c0d4f46446edb40ba005b3a43ef2252bddfa4d", "field": "operator", "value": "\"Jana\"", "pred": []},
    {"id": "282d39f896a6e131bf6a1545a31714044ea0168a628dd962dc4a82d214dbb6d2", "origin": "v1", "author": "", "wall_time": "2026-12-02T09:30:00.500000Z", "clock": "01a23616e7b40000", "target": "job", "field": "budget", "value": "\"{\\\"pair_rule\\\": \\\"average\\\"}\"", "pred": ["b02bf3dcfcf4ae135e9ba7650d9649d0c8d47cff5243da0bacfbce29bc8ad954"]},
    {"id": "1584b791bc48a7c625406cf13674b5757001f9e300a3d21798bc550f2a3d1c43", "origin": "v1", "author": "Jana", "wall_time": "2026-12-02T10:00:00.000000Z", "clock": "01a236325d000000", "target": "download:926da418b4f974d8185a4fc6c53bb423f077b2bfe34112936364fd339d6e1faa", "field": "added", "value": "{\"meter\":\"OLP-85 #2\",\"source\":\"/dev/ttyUSB0\"}", "pred": []},
    {"id": "4f0ea0e79279cf3007dc03629af14b63f8ce2292a10365e14bfbaf0616a25ef3", "origin": "v1", "author": "Jana", "wall_time": "2026-12-02T10:00:00.000000Z", "clock": "01a236325d000000", "target": "download:926da418b4f974d8185a4fc6c53bb423f077b2bfe34112936364fd339d6e1faa", "field": "direction", "value": "\"b-a\"", "pred": []},
    {"id": "72d168e835e367dff0c335c4ee0bd6dd4923d0a6ad0adedbfb922536c6ace074", "origin": "v1", "author": "Jana", "wall_time": "2026-12-02T10:00:00.000000Z", "clock": "01a236325d000000", "target": "download:926da418b4f974d8185a4fc6c53bb423f077b2bfe34112936364fd339d6e1faa", "field": "date", "value": "\"2026-12-02\"", "pred": []},
    {"id": "8c38c086a407ba8b2505d5b0bb5bb9ab5e22309a7994d8d1bfd2ccbc53e496be", "origin": "v1", "author": "Jana", "wall_time": "2026-12-02T10:00:00.000000Z", "clock": "01a236325d000000", "target": "download:926da418b4f974d8185a4fc6c53bb423f077b2bfe34112936364fd339d6e1faa", "field": "operator", "value": "\"Jana\"", "pred": []},
    {"id": "e9f5d8a22cb278e1f3b618fa7f5efeb00cd4f4842cb5d6c95341f869a43bb279", "origin": "v1", "author": "Jana", "wall_time": "2026-12-02T10:00:00.000000Z", "clock": "01a236325d000001", "target": "download:926da418b4f974d8185a4fc6c53bb423f077b2bfe34112936364fd339d6e1faa", "field": "void", "value": "{\"reason\":\"wrong job\",\"void\":true}", "pred": []}
  ]
}
)";
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
    EXPECT_EQ(SecondVersionText(SampleJob()), SampleEventsText);
}

// Downloads by records hash, events by clock and id, whatever order they come in.
TEST(JobDocumentText, TheSameJobGivesTheSameBytesInAnyOrder) {
    TJobDocument sample = SampleJob();
    const TJobDocument read = ReadJobDocument(SampleEventsText, "job.json");
    std::vector<TJobEvent> events(read.Events.rbegin(), read.Events.rend());
    events.push_back(events.front());
    std::vector<TDownload> downloads(read.Downloads.rbegin(), read.Downloads.rend());
    EXPECT_EQ(JobDocumentText(read.Job.Name, events, downloads), SampleEventsText);
    EXPECT_EQ(JobDocumentText("J", {}, {}),
              "{\n  \"format\": \"meridax-job\",\n  \"version\": 2,\n  \"name\": \"J\",\n"
              "  \"records_format\": \"meridax-records-2\",\n  \"state\": {\n"
              "    \"customer\": \"\",\n    \"site\": \"\",\n    \"contractor\": \"\",\n"
              "    \"notes\": \"\",\n    \"created_at\": \"\",\n    \"logo_type\": \"\",\n"
              "    \"logo\": \"\",\n    \"expected_fibres\": {},\n    \"budgets\": [],\n"
              "    \"downloads\": [],\n    \"conflicts\": 0\n  },\n  \"downloads\": [],\n"
              "  \"events\": []\n}\n");
}

TEST(JobDocumentText, WhatTheDocumentCannotHoldIsRefused) {
    TJobDocument read = ReadJobDocument(SampleEventsText, "job.json");
    read.Downloads[1].Readings[0].Record.Value = std::numeric_limits<double>::infinity();
    EXPECT_SYSTEM_ERROR(JobDocumentText(read.Job.Name, read.Events, read.Downloads), EArchiveError,
                        TArchiveErrc::BadInput,
                        "job Bratislava \"Nivy\": download 2's reading's value is not a "
                        "finite number, which a job document cannot hold");
}

TEST(ReadJobDocument, AFirstVersionDocumentGivesBackWhatWasWritten) {
    ExpectSameDocument(SampleJob(), ReadJobDocument(FirstVersionSampleText(), "job.json"));
}

// A second-version document whose state, events or readings were changed by hand, or that
// names an event it does not carry, is refused at the place of the change.
TEST(ReadJobDocument, ADocumentChangedByHandIsRefusedWhereItWasChanged) {
    const std::pair<std::pair<std::string, std::string>, std::string> cases[] = {
        {{"\"customer\": \"Slovanet\"", "\"customer\": \"Orange\""},
         "job.json: /state/customer: does not agree with the document's events, which give "
         "'Slovanet'"},
        {{"\"value\": \"\\\"Slovanet\\\"\"", "\"value\": \"\\\"Orange\\\"\""},
         "job.json: /events/5/id: not the hash of the event (changed after it was made?)"},
        {{"\"reference\": -10.5", "\"reference\": -10.25"},
         "job.json: /downloads/1/sha256: does not match the download's readings"},
        {{"\"direction\": \"\"}", "\"direction\": \"b-a\"}"},
         "job.json: /downloads/0/sha256: does not match the download's readings"},
    };
    for (const auto& [change, message] : cases) {
        std::string text = SampleEventsText;
        const std::size_t at = text.find(change.first);
        ASSERT_NE(at, std::string::npos) << change.first;
        text.replace(at, change.first.size(), change.second);
        EXPECT_SYSTEM_ERROR(ReadJobDocument(text, "job.json"), EArchiveError,
                            TArchiveErrc::BadDocument, message);
    }
    std::string text = SampleEventsText;
    const std::size_t pred = text.rfind("\"pred\": [");
    text.replace(pred, 9, "\"pred\": [\"" + std::string(64, 'a') + "\"");
    EXPECT_THROW(ReadJobDocument(text, "job.json"), EArchiveError);
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
    const std::string text = SecondVersionText(document);
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
    const std::string text = SecondVersionText(document);
    EXPECT_NE(text.find("\"fiber\": \"\xc2\xb5"
                        "1\""),
              std::string::npos);
    EXPECT_NE(text.find("\\u0001\\u0002"), std::string::npos);
    EXPECT_NE(text.find("|}~\x7f\xc2\x80\xc2\x81"), std::string::npos);
    const TJobDocument read = ReadJobDocument(text, "latin1.json");
    EXPECT_EQ(read.Downloads.at(0).Readings.at(0).Record.Cable, cable);
    EXPECT_EQ(SecondVersionText(document),
              JobDocumentText(read.Job.Name, read.Events, read.Downloads));
}

// As JSON readers do, the last value of a key given twice counts, also for the readings,
// which are taken out of the document as it is parsed.
TEST(ReadJobDocument, AKeyGivenTwiceCountsByItsLastValue) {
    std::string text = FirstVersionSampleText();
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
    std::string text = FirstVersionSampleText();
    text.replace(text.find("-21.5"), 5, "-1e400");
    EXPECT_SYSTEM_ERROR(ReadJobDocument(text, "job.json"), EArchiveError, TArchiveErrc::BadDocument,
                        "job.json: not valid JSON: number overflow parsing '-1e400'");
}
