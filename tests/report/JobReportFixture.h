#pragma once

// The job's report read back as its readers see it: the text through pdftotext, the PDF/A
// facts through pdfinfo and pdffonts, the file's structure through qpdf, the cover through
// pdftoppm. The job is the archive's hand-made fixtures, whose results are worked out by hand
// in their README.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QPainter>
#include <filesystem>
#include <set>

#include "data/uMeranie.h"
#include "export/ExportOptions.h"
#include "report/JobReport.h"
#include "support/Subprocess.h"
#include "support/TempFolder.h"
#include "support/Throws.h"
#include "sys/TextFile.h"

inline const std::string Fixtures = MERIDAX_JOB_FIXTURES;

// The logo's colour, found nowhere else in the report.
inline const QColor LogoColor(0xa0, 0x20, 0xf0);

inline TDownload FixtureDownload(std::int64_t number, const std::string& file,
                                 const std::string& date, TDirection direction,
                                 const std::string& meter, const std::string& person) {
    TMeraniaArray records;
    ParseDeviceDump(ReadWholeFile(Fixtures + "/" + file), records);
    TDownload download;
    download.Number = number;
    download.Meter = meter;
    download.Source = file;
    download.Operator = person;
    download.TestDate = date;
    download.Direction = direction;
    download.AddedAt = date + "T08:00:00.000000Z";
    download.Sha256 = std::string(63, '0') + std::to_string(number);
    for (const TMeranie& record : records)
        download.Readings.push_back({record, direction});
    return download;
}

// A 4:1 logo of one colour inside a transparent border: flattened, the border must be white.
inline std::string PngLogo() {
    QImage image(200, 50, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.fillRect(QRect(20, 5, 160, 40), LogoColor);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

inline std::string SvgLogo() {
    return R"(<svg xmlns="http://www.w3.org/2000/svg" width="400" height="100" viewBox="0 0 400 100">)"
           R"(<rect x="40" y="10" width="320" height="80" fill="#a020f0"/>)"
           R"(<rect x="40" y="10" width="320" height="80" fill="#ffffff" fill-opacity="0.0"/></svg>)";
}

class TJobReportTest : public testing::Test {
protected:
    void SetUp() override {
        job_.Name = "Riser R, building 7";
        job_.Customer = "Northwind Hospital";
        job_.Site = "Building 7, risers";
        job_.Contractor = "Lumen Fibre Works";
        job_.Budgets = {{ReadWholeFile(Fixtures + "/budget.json"), "2026-11-01T08:00:00.000000Z"}};
        job_.ExpectedFibres = {{"R", 8}};
        job_.Logo = PngLogo();
        job_.LogoType = "png";
        downloads_ = {FixtureDownload(1, "meter1-a-b.dump", "2026-11-02", TDirection::AToB,
                                      "OLM-45\tSN 0412871", "Ann Lee"),
                      FixtureDownload(2, "meter1-b-a.dump", "2026-11-03", TDirection::BToA,
                                      "OLM-45\tSN 0412871", "Bo Chan"),
                      FixtureDownload(3, "meter2-retest-a-b.dump", "2026-11-04", TDirection::AToB,
                                      "OLM-55\tSN 0530002", "Bo Chan"),
                      FixtureDownload(4, "meter1-again-a-b.dump", "2026-11-05", TDirection::AToB,
                                      "OLM-45\tSN 0412871", "Ann Lee")};
    }

    TJobReportInput Input() {
        results_ = ComputeJobResults(job_, downloads_);
        TJobReportInput input;
        input.Job = &job_;
        input.Downloads = &downloads_;
        input.Results = &results_;
        input.Title = "Fibre acceptance report";
        input.Version = "1.1";
        input.DateTime = "2026-12-07 14:05";
        return input;
    }

    std::string Write(const std::string& name = "job.pdf") {
        const std::string pdf = folder_.File(name);
        WriteJobReport(Input(), pdf);
        return pdf;
    }

    static std::string Run(const std::vector<std::string>& argv) {
        const TRunResult run = RunToEnd(argv);
        EXPECT_EQ(run.ExitCode, 0) << argv[0] << ": " << run.Err;
        return run.Out;
    }

    // The text per page, each line's runs of blanks made one blank.
    static std::vector<std::vector<std::string>> Pages(const std::string& pdf) {
        const std::string text = Run({MERIDAX_PDFTOTEXT, "-layout", pdf, "-"});
        std::vector<std::vector<std::string>> pages(1);
        std::string line;
        for (const char c : text) {
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
                pages.back().push_back(line.front() == ' ' ? line.substr(1) : line);
            line.clear();
        }
        pages.pop_back();  // after the last page's form feed
        return pages;
    }

    // The page (from 1) that has line, 0 for none.
    static std::size_t PageWith(const std::vector<std::vector<std::string>>& pages,
                                const std::string& wanted) {
        for (std::size_t p = 0; p < pages.size(); ++p) {
            if (std::find(pages[p].begin(), pages[p].end(), wanted) != pages[p].end())
                return p + 1;
        }
        return 0;
    }

    TTempFolder folder_;
    TJob job_;
    std::vector<TDownload> downloads_;
    TJobResults results_;
};
