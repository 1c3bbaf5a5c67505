#include "report/TestReport.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <regex>
#include <set>
#include <sstream>

#include "export/ExportOptions.h"
#include "support/Subprocess.h"
#include "support/TempFolder.h"
#include "support/Throws.h"

namespace {

struct TRowData {
    const char* Cable;
    const char* Fiber;
    const char* WaveLength;
    const char* Value;
    TVerdict Verdict;
    bool Ticked = true;
};

// A relative table with its verdicts, and the input that reports it.
class TReportFixture : public testing::Test {
protected:
    void Fill(const std::vector<TRowData>& rows) {
        for (const TRowData& row : rows) {
            table_.AddRow(row.Cable, row.Fiber, row.WaveLength, row.Value, "-10");
            table_.SetChecked(table_.RowCount() - 1, row.Ticked);
            verdicts_.push_back(row.Verdict);
        }
    }

    TReportInput Input() {
        TReportInput input;
        input.DeviceLine = "OLM-45\tSN 0412871";
        input.DateTime = "2026-12-07 14:05";
        input.Budget.Name = "Building A riser";
        input.Budget.Preset = "tia-568-sm-isp";
        input.Budget.Links = {{"1", 500, 2, 1}};
        input.Table = &table_;
        input.Verdicts = &verdicts_;
        input.Version = "1.1";
        return input;
    }

    // The report's text per page, each line's runs of blanks made one blank.
    std::vector<std::vector<std::string>> Pages(const std::string& pdf) {
        const TRunResult text = RunToEnd({MERIDAX_PDFTOTEXT, "-layout", pdf, "-"});
        EXPECT_EQ(text.ExitCode, 0) << text.Err;
        std::vector<std::vector<std::string>> pages(1);
        std::string line;
        for (const char c : text.Out) {
            if (c == '\f') {
                pages.emplace_back();
            } else if (c != '\n') {
                if (c != ' ' || (!line.empty() && line.back() != ' '))
                    line += c;
                continue;
            }
            while (!line.empty() && line.back() == ' ')
                line.pop_back();
            if (!line.empty())
                pages.back().push_back(line);
            line.clear();
        }
        pages.pop_back();  // after the last page's form feed
        return pages;
    }

    void ExpectValidPdf(const std::string& pdf) {
        const TRunResult check = RunToEnd({MERIDAX_QPDF, "--check", pdf});
        EXPECT_EQ(check.ExitCode, 0) << check.Out << check.Err;
    }

    static bool Has(const std::vector<std::string>& lines, const std::string& wanted) {
        return std::find(lines.begin(), lines.end(), wanted) != lines.end();
    }

    TTempFolder folder_;
    TMeasurementTable table_{TTablePage::Relative};
    std::vector<TVerdict> verdicts_;
};

constexpr const char* TableHeader =
    "Cable Fiber WaveLength Value Reference Loss Limit Margin Verdict";

TEST_F(TReportFixture, TickedRowsWithVerdictsAndTheBudget) {
    Fill({{"1", "1", "1310", "-1.95", {TVerdictKind::Pass, 1.95, 2.3, 0.35}},
          {"1", "2", "1310", "-2.61", {TVerdictKind::Fail, 2.61, 2.3, -0.31}},
          {"1", "3", "1550", "0.35", {TVerdictKind::Check, -0.35, 2.3, 2.65}},
          {"SKIPPED", "9", "1550", "-1", {TVerdictKind::Pass, 1.0, 2.3, 1.3}, false},
          {"K\xf6ln", "1", "850", "-0.5", {TVerdictKind::None, 0.5, {}, {}}}});
    const std::string pdf = folder_.File("report.pdf");
    WriteTestReport(Input(), pdf);
    ExpectValidPdf(pdf);

    const auto pages = Pages(pdf);
    ASSERT_EQ(pages.size(), 2u);  // the charts follow on the second page
    const std::vector<std::string>& first = pages[0];
    EXPECT_EQ(first[0], "Fiber test report");
    for (const char* line :
         {"Device: OLM-45 SN 0412871", "Date: 2026-12-07 14:05", "Result: FAIL",
          "4 rows reported: 1 PASS, 1 FAIL, 1 CHECK, 1 without a verdict", "Name Building A riser",
          "Preset tia-568-sm-isp (TIA-568 single-mode, inside plant)", "Connector pair 0.75 dB",
          "Splice 0.30 dB", "1310 1.00", "1 500 2 1", TableHeader,
          "1 1 1310 -1.95 -10 1.95 2.30 0.35 PASS", "1 2 1310 -2.61 -10 2.61 2.30 -0.31 FAIL",
          "1 3 1550 0.35 -10 -0.35 2.30 2.65 CHECK", "K\u00f6ln 1 850 -0.5 -10 0.50",
          "MERIDAX data exporter 1.1 Fiber test report Page 1 of 2"})
        EXPECT_TRUE(Has(first, line)) << line;
    EXPECT_TRUE(pages[1].back().ends_with("Page 2 of 2"));
    for (const auto& page : pages) {
        for (const std::string& line : page)
            EXPECT_EQ(line.find("SKIPPED"), std::string::npos) << line;
    }

    // The same input gives the same text.
    const std::string again = folder_.File("again.pdf");
    WriteTestReport(Input(), again);
    EXPECT_EQ(Pages(again), pages);
}

TEST_F(TReportFixture, LongTableRepeatsItsHeaderAndChartsShowTheVerdictColours) {
    std::vector<std::string> texts;
    std::set<std::string> expected;
    for (int i = 0; i < 400; ++i) {
        const int tenths = i % 30 / 10;  // losses 1.5, 2.5 and 3.5 against a limit of 3
        const double loss = 1.5 + tenths;
        const TVerdictKind kind = i % 7 == 0   ? TVerdictKind::Check
                                  : loss > 3.0 ? TVerdictKind::Fail
                                               : TVerdictKind::Pass;
        texts.push_back(std::to_string(i / 12 + 1));
        texts.push_back(std::to_string(i % 12 + 1));
        texts.push_back("-" + std::to_string(tenths + 1) + ".5");
        expected.insert(texts[3 * i] + " " + texts[3 * i + 1] + " 1310 " + texts[3 * i + 2] +
                        " -10 " + std::to_string(tenths + 1) + ".50 3.00 " +
                        (loss > 3.0    ? "-0.50 "
                         : tenths == 0 ? "1.50 "
                                       : "0.50 ") +
                        VerdictText(kind));
        verdicts_.push_back({kind, loss, 3.0, 3.0 - loss});
    }
    for (int i = 0; i < 400; ++i) {
        table_.AddRow(texts[3 * i], texts[3 * i + 1], "1310", texts[3 * i + 2], "-10");
        table_.SetChecked(static_cast<std::size_t>(i), true);
    }
    const std::string pdf = folder_.File("long.pdf");
    WriteTestReport(Input(), pdf);
    ExpectValidPdf(pdf);

    const auto pages = Pages(pdf);
    ASSERT_GE(pages.size(), 7u);
    std::set<std::string> found;
    int chartPage = 0;
    for (std::size_t p = 0; p < pages.size(); ++p) {
        const std::string count =
            "Page " + std::to_string(p + 1) + " of " + std::to_string(pages.size());
        EXPECT_TRUE(pages[p].back().ends_with(count)) << pages[p].back();
        bool rowsOnPage = false;
        for (const std::string& line : pages[p]) {
            if (expected.contains(line)) {
                EXPECT_TRUE(found.insert(line).second) << line;
                rowsOnPage = true;
            }
            if (chartPage == 0 && line.starts_with("1310 nm, loss in dB"))
                chartPage = static_cast<int>(p) + 1;
        }
        EXPECT_EQ(rowsOnPage, Has(pages[p], TableHeader)) << "page " << p + 1;
    }
    EXPECT_EQ(found, expected);
    ASSERT_GT(chartPage, 1);
    EXPECT_TRUE(Has(pages[chartPage - 1], "Fibers 1 to 50 of 400"));

    // The chart's bars in the verdicts' colours.
    const std::string png = folder_.File("chart");
    const TRunResult render =
        RunToEnd({MERIDAX_PDFTOPPM, "-r", "60", "-png", "-singlefile", "-f",
                  std::to_string(chartPage), "-l", std::to_string(chartPage), pdf, png});
    ASSERT_EQ(render.ExitCode, 0) << render.Err;
    const QImage image(QString::fromStdString(png + ".png"));
    ASSERT_FALSE(image.isNull());
    const auto near = [](QRgb pixel, QColor colour) {
        return std::abs(qRed(pixel) - colour.red()) + std::abs(qGreen(pixel) - colour.green()) +
                   std::abs(qBlue(pixel) - colour.blue()) <
               40;
    };
    int red = 0;
    int amber = 0;
    int green = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            red += near(pixel, QColor(0xd3, 0x1f, 0x1f));
            amber += near(pixel, QColor(0xf0, 0x9a, 0x00));
            green += near(pixel, QColor(0x2e, 0x7d, 0x32));
        }
    }
    EXPECT_GT(red, 300);
    EXPECT_GT(amber, 300);
    EXPECT_GT(green, 300);
}

TEST_F(TReportFixture, IdentifiersPrintWholeInTheTableAndTheCharts) {
    Fill(
        {{"BLDG-A-R12-P03", "F024-BLUE", "1310", "-1.95", {TVerdictKind::Pass, 1.95, 2.3, 0.35}},
         {"BLDG-A-R12-P03", "F025-ORANGE", "1310", "-2.61", {TVerdictKind::Fail, 2.61, 2.3, -0.31}},
         {"2", "1", "1310", "-0.5", {TVerdictKind::Pass, 0.5, 2.3, 1.8}}});
    const std::string pdf = folder_.File("ids.pdf");
    WriteTestReport(Input(), pdf);
    const auto pages = Pages(pdf);
    ASSERT_FALSE(pages.empty());
    EXPECT_TRUE(Has(pages[0], "BLDG-A-R12-P03 F024-BLUE 1310 -1.95 -10 1.95 2.30 0.35 PASS"));
    EXPECT_TRUE(Has(pages[0], "BLDG-A-R12-P03 F025-ORANGE 1310 -2.61 -10 2.61 2.30 -0.31 FAIL"));
    // The chart's labels under the bars: the fibers, then the cables.
    std::set<std::string> words;
    for (const auto& page : pages) {
        for (const std::string& line : page) {
            EXPECT_EQ(line.find("\u2026"), std::string::npos) << line;
            std::istringstream stream(line);
            for (std::string word; stream >> word;)
                words.insert(word);
        }
    }
    for (const char* label : {"F024-BLUE", "F025-ORANGE", "BLDG-A-R12-P03"})
        EXPECT_TRUE(words.contains(label)) << label;
}

// A word as pdftotext -bbox places it, in points.
struct TPlacedWord {
    std::string Text;
    double Left, Top, Right, Bottom;
};

std::vector<std::vector<TPlacedWord>> PlacedWords(const std::string& pdf) {
    const TRunResult run = RunToEnd({MERIDAX_PDFTOTEXT, "-bbox", pdf, "-"});
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    std::vector<std::vector<TPlacedWord>> pages;
    const std::regex word(R"re(<page |<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" )re"
                          R"re(yMax="([\d.]+)">([^<]*)</word>)re");
    for (auto match = std::sregex_iterator(run.Out.begin(), run.Out.end(), word);
         match != std::sregex_iterator(); ++match) {
        if (!(*match)[1].matched) {
            pages.emplace_back();
            continue;
        }
        pages.back().push_back({(*match)[5], std::stod((*match)[1]), std::stod((*match)[2]),
                                std::stod((*match)[3]), std::stod((*match)[4])});
    }
    return pages;
}

// A title and a device line longer than a line wrap and print whole; the footer's title gives
// way to the program's name and the page count rather than overprinting them.
TEST_F(TReportFixture, LongTitlesAndDeviceLinesWrapAndNothingOverprintsTheFooter) {
    Fill({{"1", "1", "1310", "-1.95", {TVerdictKind::Pass, 1.95, 2.3, 0.35}}});
    TReportInput input = Input();
    input.Title =
        "Acceptance test of the riser and horizontal fibre of Northwind Hospital, "
        "building 7, floors 1 to 12, with the campus backbone to the data centre";
    input.DeviceLine =
        "OLM-45 optical loss meter, 850/1300/1310/1550 nm, firmware 4.2.17 "
        "build 2026-10-30\tSN 0412871-NORTHWIND-HOSPITAL-FACILITIES-DEPARTMENT";
    const std::string pdf = folder_.File("long.pdf");
    WriteTestReport(input, pdf);
    const auto pages = PlacedWords(pdf);
    ASSERT_FALSE(pages.empty());
    std::string cover;
    for (const TPlacedWord& word : pages[0])
        cover += word.Text + " ";
    for (const std::string& whole :
         {input.Title, std::string(" 0412871-NORTHWIND-HOSPITAL-FACILITIES-DEPARTMENT ")})
        EXPECT_NE(cover.find(whole), std::string::npos) << whole << "\n" << cover;
    for (std::size_t p = 0; p < pages.size(); ++p) {
        const std::vector<TPlacedWord>& words = pages[p];
        for (std::size_t a = 0; a < words.size(); ++a) {
            for (std::size_t b = a + 1; b < words.size(); ++b) {
                const bool overlap =
                    words[a].Left < words[b].Right - 0.5 && words[b].Left < words[a].Right - 0.5 &&
                    words[a].Top < words[b].Bottom - 0.5 && words[b].Top < words[a].Bottom - 0.5;
                EXPECT_FALSE(overlap) << "page " << p + 1 << ": '" << words[a].Text << "' over '"
                                      << words[b].Text << "'";
            }
        }
    }
}

TEST_F(TReportFixture, FolderThatIsMissingIsNamedAndNothingIsWritten) {
    Fill({{"1", "1", "1310", "-1.95", {TVerdictKind::Pass, 1.95, 2.3, 0.35}}});
    const std::string pdf = folder_.File("missing/report.pdf");
    const auto error = ThrownBy<EExportError>([&] { WriteTestReport(Input(), pdf); });
    ASSERT_TRUE(error) << "no error";
    EXPECT_EQ(error->Path(), pdf);
    EXPECT_EQ(error->code(), std::errc::no_such_file_or_directory);
    TReportInput input = Input();
    input.Verdicts = nullptr;
    EXPECT_THROW(WriteTestReport(input, folder_.File("report.pdf")), std::invalid_argument);
}

}  // namespace
