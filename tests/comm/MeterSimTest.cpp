#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "CommTestSupport.h"
#include "comm/ComPort.h"
#include "support/FileBytes.h"
#include "support/MeterSimProcess.h"
#include "support/TempFolder.h"
#include "support/Throws.h"
#include "tools/common/CommandLine.h"
#include "tools/meter-sim/DemoBudget.h"
#include "tools/meter-sim/MeterDump.h"
#include "tools/meter-sim/SimOptions.h"
#include "verdict/Verdict.h"

namespace {

namespace fs = std::filesystem;

const std::string DefaultName = "MERIDAX OLM-45\tSN 0412871\n\r";

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields(1);
    for (const char byte : line) {
        if (byte == '\t') {
            fields.emplace_back();
        } else {
            fields.back() += byte;
        }
    }
    return fields;
}

// A number as the meter writes it: sign, digits, ".", two digits.
bool MeterNumber(const std::string& text) {
    const std::size_t dot = text.find('.');
    const std::size_t first = text[0] == '-' ? 1 : 0;
    return dot != std::string::npos && dot > first && dot + 3 == text.size() &&
           std::all_of(text.begin() + static_cast<long>(first), text.end(),
                       [](char c) { return c == '.' || (c >= '0' && c <= '9'); });
}

TEST(MeterDumpTest, GeneratedRecordsAreRealisticMixedAndRepeatable) {
    const TMeterRecords records = GenerateRecords(500, 42);
    ASSERT_EQ(records.size(), 500u);
    EXPECT_EQ(records, GenerateRecords(500, 42));
    EXPECT_NE(records, GenerateRecords(500, 43));
    std::size_t absolute = 0, relative = 0, gains = 0, highLosses = 0;
    for (const std::string& record : records) {
        const std::vector<std::string> fields = Fields(record);
        ASSERT_TRUE(fields.size() == 4 || fields.size() == 5) << record;
        EXPECT_TRUE(fields[2] == "1310" || fields[2] == "1550") << record;
        EXPECT_EQ(record.find_first_of(" \r\n"), std::string::npos) << record;
        for (std::size_t field = 3; field < fields.size(); ++field) {
            EXPECT_TRUE(MeterNumber(fields[field])) << record;
        }
        const double value = std::strtod(fields[3].c_str(), nullptr);
        if (fields.size() == 4) {
            ++absolute;
            EXPECT_TRUE(value <= -1.5 && value >= -35.0) << record;
        } else {
            ++relative;
            // Losses are negative, as the meter shows them: -0.2 to -4 dB, a few gains of
            // 0.3 to 0.6 dB and a few high losses of 5 to 9 dB.
            EXPECT_TRUE((value >= -4.0 && value <= -0.2) || (value >= 0.3 && value <= 0.6) ||
                        (value >= -9.0 && value <= -5.0))
                << record;
            gains += value > 0 ? 1 : 0;
            highLosses += value <= -5.0 ? 1 : 0;
            EXPECT_LT(std::strtod(fields[4].c_str(), nullptr), -6.9) << record;
        }
    }
    EXPECT_GT(absolute, 100u);
    EXPECT_GT(relative, 100u);
    EXPECT_GT(gains, 3u);
    EXPECT_GT(highLosses, 3u);
    EXPECT_LT(gains + highLosses, relative / 5);
}

// The demo budget read back from the file the stand-in writes, and the generated records
// judged by it: every verdict occurs, most pass.
TEST(MeterDumpTest, DemoBudgetGivesEveryVerdict) {
    const TTempFolder folder("meridax-demo");
    const std::string file = folder.File("budget.json");
    ASSERT_EQ(RunMeterSim(MERIDAX_METER_SIM, {"--budget-demo", file}), 0);
    const TBudget budget = ReadBudgetFile(file);
    EXPECT_EQ(budget, DemoBudget());
    TMeraniaArray records;
    for (const std::string& line : GenerateRecords(500, 42)) {
        std::vector<std::string> fields = Fields(line);
        const bool relative = fields.size() == 5;
        records.push_back({fields[0], fields[1], std::strtod(fields[2].c_str(), nullptr),
                           std::strtod(fields[3].c_str(), nullptr),
                           relative ? std::strtod(fields[4].c_str(), nullptr) : 0, relative});
    }
    const TVerdictCounts counts = CountVerdicts(JudgeRecords(budget, records));
    EXPECT_EQ(counts.None, 0u);
    EXPECT_GT(counts.Fail, 3u);
    EXPECT_GT(counts.Check, 3u);
    EXPECT_GT(counts.Pass, 9 * (counts.Fail + counts.Check));
}

TEST(MeterDumpTest, ReplyEndsEveryRecordWithLfCrAndTheWholeWithOneMore) {
    EXPECT_EQ(DumpReply({"1\t1\t1310\t-3.52", "1\t2\t1550\t-0.41\t-10.00"}),
              "1\t1\t1310\t-3.52\n\r1\t2\t1550\t-0.41\t-10.00\n\r\n\r");
    EXPECT_EQ(DumpReply({}), "\n\r");
}

TEST(MeterDumpTest, SpoiledRecordCarriesADecimalComma) {
    TMeterRecords records{"1\t1\t1310\t-3.52", "1\t2\t1310\t-3.52", "1\t3\t1310\t-3.52"};
    SpoilOneNumber(records);
    EXPECT_EQ(records[1], "1\t2\t1310\t-3,52");
    EXPECT_EQ(records[0], "1\t1\t1310\t-3.52");
}

TEST(MeterDumpTest, RecordsFromAFileTakeAnyLineEnd) {
    const TTempFolder folder("meridax-dump");
    const std::string file = folder.File("records");
    WriteFileBytes(file, "1\t1\t1310\t-3.52\r\n\n2\t1\t1550\t-1\n\r3\t1\t1310\t-2");
    EXPECT_EQ(LoadRecords(file),
              (TMeterRecords{"1\t1\t1310\t-3.52", "2\t1\t1550\t-1", "3\t1\t1310\t-2"}));
    fs::remove(file);
    EXPECT_THROW(LoadRecords(file), std::runtime_error);
}

struct TOptionCase {
    std::vector<std::string> Arguments;
    std::string Error;  // part of the usage message, empty when accepted
};

class SimOptionsTest : public testing::TestWithParam<TOptionCase> {};

// The options as the stand-in reads them from arguments (its program name left out).
TSimOptions ParseSimOptions(const std::vector<std::string>& arguments) {
    CLI::App app;
    TSimOptions options;
    AddSimOptions(app, options);
    app.parse(std::vector<std::string>(arguments.rbegin(), arguments.rend()));
    return options;
}

TEST_P(SimOptionsTest, AcceptsOrNamesTheProblem) {
    const auto usage = ThrownBy<CLI::ParseError>([] { ParseSimOptions(GetParam().Arguments); });
    const std::string error = usage ? usage->what() : "";
    if (GetParam().Error.empty()) {
        EXPECT_EQ(error, "");
    } else {
        EXPECT_NE(error.find(GetParam().Error), std::string::npos) << error;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, SimOptionsTest,
    testing::Values(TOptionCase{{}, ""},
                    TOptionCase{{"--records", "10", "--chunk", "random", "--delay", "5"}, ""},
                    TOptionCase{{"--fault", "hangup-half", "--baud", "115200"}, ""},
                    TOptionCase{{"--records"}, "--records: 1 required"},
                    TOptionCase{{"--records", "ten"}, "--records: wants a number"},
                    TOptionCase{{"--chunk", "0"}, "--chunk: wants a number"},
                    TOptionCase{{"--fault", "fire"}, "--fault: wants no-answer,"},
                    TOptionCase{{"--speed", "1"}, "not expected: 1 --speed"},
                    TOptionCase{{"--dump", "x", "--records", "3"}, "--dump excludes --records"}));

TEST(SimOptionsValues, NameTakesTabEscapesAndDefaultsHold) {
    const TSimOptions defaults = ParseSimOptions({});
    EXPECT_EQ(defaults.Name + "\n\r", DefaultName);
    EXPECT_EQ(defaults.Fault, TSimFault::None);
    const TSimOptions named = ParseSimOptions({"--name", "OLM\\t7\\\\x", "--chunk", "random"});
    EXPECT_EQ(named.Name, "OLM\t7\\x");
    EXPECT_TRUE(named.RandomChunks);
    const TSimOptions paced =
        ParseSimOptions({"--chunk", "7", "--fault", "bad-number", "--baud", "9600"});
    EXPECT_EQ(paced.Chunk, 7u);
    EXPECT_FALSE(paced.RandomChunks);
    EXPECT_EQ(paced.Fault, TSimFault::BadNumber);
    EXPECT_EQ(paced.Baud, 9600u);
}

// The component talks to a running stand-in, as the program does.
class MeterSimTest : public testing::Test {
protected:
    void Connect(const TMeterSimProcess& sim) { Connect(sim.Path()); }
    void Connect(const std::string& path) {
        port_.Port = path;
        port_.Baud = 19200;
        port_.ReceiveMode = rmRAW;
        port_.ReceiveCallBack = [this](const std::string& Data) { received_ += Data; };
        port_.OnHangUp = [this](TComPort&) { ++hangUps_; };
        port_.Open();
    }
    bool Ask(const std::string& request, const std::string& reply) {
        received_.clear();
        port_.Write(request);
        PumpUntil(sync_, [&] { return received_.size() >= reply.size(); });
        return received_ == reply;
    }

    TSynchronizer sync_;
    TComPort port_{sync_};
    std::string received_;
    int hangUps_ = 0;
};

TEST_F(MeterSimTest, AnswersNameAndDumpIgnoringOtherBytes) {
    TMeterSimProcess sim(MERIDAX_METER_SIM, {"--records", "7", "--seed", "9"});
    Connect(sim);
    EXPECT_TRUE(Ask("xn", DefaultName)) << received_;
    EXPECT_TRUE(Ask("u", DumpReply(GenerateRecords(7, 9)))) << received_;
    EXPECT_EQ(sim.Stop(), 0);
}

TEST_F(MeterSimTest, RandomChunksWithDelaysGiveTheSameBytes) {
    TMeterSimProcess sim(MERIDAX_METER_SIM, {"--records", "300", "--chunk", "random", "--delay",
                                             "1", "--name", "OLM\\tB"});
    Connect(sim);
    EXPECT_TRUE(Ask("n", "OLM\tB\n\r")) << received_;
    EXPECT_TRUE(Ask("u", DumpReply(GenerateRecords(300, 1))));
}

TEST_F(MeterSimTest, DumpFromAFileIsSentWithMeterLineEnds) {
    const TTempFolder folder("meridax-sim");
    const std::string file = folder.File("dump.txt");
    WriteFileBytes(file, "1\t1\t1310\t-3.52\n1\t2\t1550\t-0.41\t-10.00\n");
    TMeterSimProcess sim(MERIDAX_METER_SIM, {"--dump", file, "--chunk", "3"});
    Connect(sim);
    EXPECT_TRUE(Ask("u", "1\t1\t1310\t-3.52\n\r1\t2\t1550\t-0.41\t-10.00\n\r\n\r")) << received_;
}

TEST(MeterSimRun, SavedDumpIsWhatTheReplySendsAndUsageErrorsExitWith2) {
    const TTempFolder folder("meridax-save");
    const std::string file = folder.File("dump.txt");
    EXPECT_EQ(
        RunMeterSim(MERIDAX_METER_SIM, {"--records", "40", "--seed", "5", "--save-dump", file}), 0);
    EXPECT_EQ(ReadFileBytes(file), DumpReply(GenerateRecords(40, 5)));
    EXPECT_EQ(RunMeterSim(MERIDAX_METER_SIM, {"--help"}), 0);
    EXPECT_EQ(RunMeterSim(MERIDAX_METER_SIM, {"--chunk", "none"}), 2);
    EXPECT_EQ(RunMeterSim(MERIDAX_METER_SIM, {"--dump", "/nonexistent/meridax-dump"}), 1);
}

TEST_F(MeterSimTest, ServesTheNextClientAndIdlesWithoutCpu) {
    TMeterSimProcess sim(MERIDAX_METER_SIM, {});
    Connect(sim);
    EXPECT_TRUE(Ask("n", DefaultName));
    port_.Close();
    const auto ticks = [&] {
        std::ifstream stat("/proc/" + std::to_string(sim.Pid()) + "/stat");
        std::string line;
        std::getline(stat, line);
        std::istringstream fields(line.substr(line.rfind(')') + 2));
        std::string field;
        long sum = 0;
        for (int number = 3; number <= 15 && fields >> field; ++number) {
            sum += number >= 14 ? std::stol(field) : 0;
        }
        return sum;
    };
    const long before = ticks();
    sync_.WaitUntil([] { return false; }, std::chrono::milliseconds(1000));
    EXPECT_LE(ticks() - before, 10) << "clock ticks used by the idle stand-in in one second";
    port_.Open();
    EXPECT_TRUE(Ask("n", DefaultName)) << received_;
}

TEST_F(MeterSimTest, HangUpHalfWayIsReportedOnceAfterAPrefixOfTheDump) {
    TMeterSimProcess sim(MERIDAX_METER_SIM, {"--records", "2000", "--fault", "hangup-half"});
    Connect(sim);
    port_.Write("u");
    ASSERT_TRUE(PumpUntil(sync_, [&] { return hangUps_ == 1; }));
    const std::string full = DumpReply(GenerateRecords(2000, 1));
    EXPECT_LE(received_.size(), full.size() / 2);
    EXPECT_EQ(full.compare(0, received_.size(), received_), 0);
    // The port is gone, so nothing wakes the pump when the stand-in ends: wait for the process.
    EXPECT_EQ(sim.Stop(false), 0);
    EXPECT_EQ(hangUps_, 1);
}

TEST_F(MeterSimTest, EndlessDumpNeverEnds) {
    TMeterSimProcess sim(MERIDAX_METER_SIM, {"--records", "50", "--fault", "endless-dump"});
    Connect(sim);
    const std::string one = DumpReply(GenerateRecords(50, 1));
    port_.Write("u");
    ASSERT_TRUE(PumpUntil(sync_, [&] { return received_.size() > 3 * one.size(); }));
    EXPECT_EQ(received_.find("\n\r\n\r"), std::string::npos);
    EXPECT_EQ(received_.compare(0, one.size() - 2, one, 0, one.size() - 2), 0);
}

TEST_F(MeterSimTest, BadNumberCarriesOneDecimalComma) {
    TMeterSimProcess sim(MERIDAX_METER_SIM, {"--records", "9", "--fault", "bad-number"});
    Connect(sim);
    TMeterRecords records = GenerateRecords(9, 1);
    SpoilOneNumber(records);
    EXPECT_TRUE(Ask("u", DumpReply(records))) << received_;
    EXPECT_EQ(std::count(received_.begin(), received_.end(), ','), 1);
}

TEST_F(MeterSimTest, StrayBytesFollowEveryReply) {
    TMeterSimProcess sim(MERIDAX_METER_SIM, {"--fault", "stray-bytes"});
    Connect(sim);
    EXPECT_TRUE(Ask("n", DefaultName + std::string("\xFF\x00~\x13?\x11", 6))) << received_;
}

TEST_F(MeterSimTest, NoAnswerFaultStaysSilent) {
    TMeterSimProcess sim(MERIDAX_METER_SIM, {"--fault", "no-answer"});
    Connect(sim);
    port_.Write("nu");
    // Absence can only be checked over some time; a late answer would still be seen below.
    sync_.WaitUntil([] { return false; }, std::chrono::milliseconds(300));
    EXPECT_EQ(received_, "");
    EXPECT_EQ(sim.Stop(), 0);
    EXPECT_EQ(received_, "");
}

TEST_F(MeterSimTest, LinkPointsToThePortAndGoesAwayAtTheEnd) {
    const TTempFolder folder("meridax-link");
    const std::string link = folder.File("ttyV0");
    TMeterSimProcess sim(MERIDAX_METER_SIM, {"--link", link});
    EXPECT_EQ(fs::read_symlink(link).string(), sim.Path());
    Connect(link);
    EXPECT_TRUE(Ask("n", DefaultName));
    port_.Close();
    EXPECT_EQ(sim.Stop(), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

// A second stand-in asked for the same link leaves it to the first; a dangling link (its
// stand-in and port gone) is taken over.
TEST_F(MeterSimTest, LinkOfARunningStandInIsRefusedADanglingOneTakenOver) {
    const TTempFolder folder("meridax-link");
    const std::string link = folder.File("ttyV0");
    TMeterSimProcess first(MERIDAX_METER_SIM, {"--link", link});
    try {
        const TMeterSimProcess refused(MERIDAX_METER_SIM, {"--link", link},
                                       folder.File("refused.err"));
        ADD_FAILURE() << "a second stand-in took the link over";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find(link + " already links to " + first.Path()),
                  std::string::npos)
            << error.what();
    }
    EXPECT_EQ(fs::read_symlink(link).string(), first.Path());
    EXPECT_EQ(first.Stop(), 0);

    fs::create_symlink(folder.File("gone"), link);
    TMeterSimProcess second(MERIDAX_METER_SIM, {"--link", link});
    EXPECT_EQ(fs::read_symlink(link).string(), second.Path());
    EXPECT_EQ(second.Stop(), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

// Judged by the demo budget, the records the stand-in sends by default give every verdict.
TEST(MeterDumpTest, DefaultRecordsGiveEveryVerdict) {
    const TSimOptions defaults;
    TMeraniaArray records;
    for (const std::string& line : GenerateRecords(defaults.Records, defaults.Seed)) {
        std::vector<std::string> fields = Fields(line);
        const bool relative = fields.size() == 5;
        records.push_back({fields[0], fields[1], std::strtod(fields[2].c_str(), nullptr),
                           std::strtod(fields[3].c_str(), nullptr),
                           relative ? std::strtod(fields[4].c_str(), nullptr) : 0, relative});
    }
    const TVerdictCounts counts = CountVerdicts(JudgeRecords(DemoBudget(), records));
    EXPECT_EQ(counts.None, 0u);
    EXPECT_GE(counts.Fail, 1u);
    EXPECT_GE(counts.Check, 1u);
    EXPECT_GE(counts.Pass, 1u);
}

// Short sets too: the first twenty records hold a high loss and a gain, whatever the seed.
TEST(MeterDumpTest, FirstTwentyRecordsHoldAHighLossAndAGain) {
    for (std::uint32_t seed = 1; seed <= 50; ++seed) {
        for (std::size_t count : {8u, 12u, 20u, 100u}) {
            bool high = false, gain = false;
            std::size_t relative = 0;
            const TMeterRecords records = GenerateRecords(count, seed);
            for (std::size_t index = 0; index < std::min<std::size_t>(count, 20); ++index) {
                const std::vector<std::string> fields = Fields(records[index]);
                if (fields.size() == 5) {
                    const double value = std::strtod(fields[3].c_str(), nullptr);
                    high = high || value <= -5.0;
                    gain = gain || value > 0;
                    ++relative;
                }
            }
            // One relative reading cannot be both.
            if (relative >= 2) {
                EXPECT_TRUE(high && gain) << "seed " << seed << ", " << count << " records";
            }
        }
    }
}

}  // namespace
