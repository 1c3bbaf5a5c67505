// The job's report as an archivable file: the PDF/A identification and dates as pdfinfo reads
// them, every font embedded, a sound structure, nothing transparent in the uncompressed file,
// and the logo on the cover, aspect kept, its transparent parts white.
#include "report/JobReport.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "report/JobReportFixture.h"

namespace {

struct TLogoCase {
    const char* Name;
    std::string (*Bytes)();
    const char* Type;
};

class JobReportPdf : public TJobReportTest, public testing::WithParamInterface<TLogoCase> {
protected:
    void SetUp() override {
        TJobReportTest::SetUp();
        job_.Logo = GetParam().Bytes();
        job_.LogoType = GetParam().Type;
    }
};

// "D:20261207155819-05'00'" as XMP writes it, "2026-12-07T15:58:19-05:00"; "" for another form.
std::string XmpDate(const std::string& info) {
    static const std::regex form(R"(D:(\d{4})(\d\d)(\d\d)(\d\d)(\d\d)(\d\d)(Z|[+-]\d\d'\d\d'))");
    std::smatch m;
    if (!std::regex_match(info, m, form))
        return {};
    std::string zone = m[7];
    if (zone != "Z")
        zone = zone.substr(0, 3) + ":" + zone.substr(4, 2);
    return m.str(1) + "-" + m.str(2) + "-" + m.str(3) + "T" + m.str(4) + ":" + m.str(5) + ":" +
           m.str(6) + zone;
}

std::string Found(const std::string& text, const std::string& pattern) {
    std::smatch m;
    return std::regex_search(text, m, std::regex(pattern)) ? m.str(1) : std::string();
}

std::string Uncompressed(const TTempFolder& folder, const std::string& pdf) {
    const std::string qdf = folder.File("job.qdf");
    const TRunResult run = RunToEnd({MERIDAX_QPDF, "--qdf", "--object-streams=disable", pdf, qdf});
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    return ReadWholeFile(qdf);
}

TEST_P(JobReportPdf, IsIdentifiedAsPdfA1bWithItsTitleCreatorAndOneDate) {
    const std::string pdf = Write();
    const std::string xmp = Run({MERIDAX_PDFINFO, "-meta", pdf});
    EXPECT_NE(xmp.find(R"(pdfaid:part="1")"), std::string::npos) << xmp;
    EXPECT_NE(xmp.find(R"(pdfaid:conformance="B")"), std::string::npos) << xmp;
    EXPECT_NE(xmp.find(">Fibre acceptance report<"), std::string::npos) << xmp;
    EXPECT_NE(xmp.find(R"(xmp:CreatorTool="MERIDAX data exporter 1.1")"), std::string::npos);
    const std::string info = Run({MERIDAX_PDFINFO, pdf});
    EXPECT_NE(info.find("Title:           Fibre acceptance report\n"), std::string::npos) << info;
    EXPECT_NE(info.find("Creator:         MERIDAX data exporter 1.1\n"), std::string::npos);

    // The Info dictionary's date, as the file holds it, is the XMP's.
    const std::string infoDate = Found(Uncompressed(folder_, pdf), R"(/CreationDate \(([^)]*)\))");
    const std::string created = Found(xmp, R"(xmp:CreateDate="([^"]*)\")");
    ASSERT_FALSE(created.empty()) << xmp;
    EXPECT_EQ(XmpDate(infoDate), created) << infoDate;
    EXPECT_EQ(Found(xmp, R"(xmp:ModifyDate="([^"]*)\")"), created);
}

TEST_P(JobReportPdf, EmbedsEveryFontAndPassesQpdfsCheck) {
    const std::string pdf = Write();
    std::istringstream fonts(Run({MERIDAX_PDFFONTS, pdf}));
    std::string line;
    std::getline(fonts, line);
    std::getline(fonts, line);  // the header and its rule
    int count = 0;
    while (std::getline(fonts, line)) {
        std::istringstream words(line);
        std::vector<std::string> fields;
        for (std::string word; words >> word;)
            fields.push_back(word);
        ASSERT_GE(fields.size(), 7u) << line;
        // name, type (words), encoding, emb, sub, uni, object number, generation
        EXPECT_EQ(fields[fields.size() - 5], "yes") << line;
        ++count;
    }
    EXPECT_GE(count, 2);  // the plain and the bold face
    const TRunResult check = RunToEnd({MERIDAX_QPDF, "--check", pdf});
    EXPECT_EQ(check.ExitCode, 0) << check.Out << check.Err;
}

// PDF/A-1 allows a soft mask only as /None and no constant alpha below 1.
TEST_P(JobReportPdf, HoldsNothingTransparent) {
    const std::string text = Uncompressed(folder_, Write());
    const std::regex softMask(R"(/SMask\s*(/?\w*))");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), softMask);
         it != std::sregex_iterator(); ++it)
        EXPECT_EQ((*it)[1].str(), "/None");
    const std::regex alpha(R"(/(CA|ca)\s+([0-9.]+))");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), alpha);
         it != std::sregex_iterator(); ++it)
        EXPECT_GE(std::stod((*it)[2].str()), 1.0) << (*it)[0].str();
    // The logo is in the file, as an image.
    EXPECT_NE(text.find("/Subtype /Image"), std::string::npos);
}

TEST_P(JobReportPdf, CoverShowsTheLogoWithItsAspectOnWhite) {
    const std::string pdf = Write();
    const std::string png = folder_.File("cover");
    Run({MERIDAX_PDFTOPPM, "-r", "72", "-png", "-singlefile", "-f", "1", "-l", "1", pdf, png});
    const QImage cover(QString::fromStdString(png + ".png"));
    ASSERT_FALSE(cover.isNull());
    const auto near = [](QRgb pixel, QColor colour) {
        return std::abs(qRed(pixel) - colour.red()) + std::abs(qGreen(pixel) - colour.green()) +
                   std::abs(qBlue(pixel) - colour.blue()) <
               30;
    };
    int left = cover.width(), right = -1, top = cover.height(), bottom = -1, count = 0;
    for (int y = 0; y < cover.height(); ++y) {
        for (int x = 0; x < cover.width(); ++x) {
            if (!near(cover.pixel(x, y), LogoColor))
                continue;
            ++count;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    ASSERT_GT(count, 1000);
    // The logo's coloured part is 4:1, drawn 176 x 44 points (the logo fills the room's width
    // of 220 points), one pixel a point here.
    const double width = right - left + 1;
    const double height = bottom - top + 1;
    EXPECT_NEAR(width, 176, 3);
    EXPECT_NEAR(width / height, 4.0, 0.2);
    EXPECT_NEAR(count, width * height, width * height * 0.02);
    // Its transparent border, a tenth of its width on either side, is white on the page.
    const int border = static_cast<int>(width / 8);
    for (int y = top; y <= bottom; ++y) {
        for (const int x : {left - border + 2, left - 2, right + 2, right + border - 2})
            EXPECT_TRUE(near(cover.pixel(x, y), Qt::white)) << x << "," << y;
    }
}

INSTANTIATE_TEST_SUITE_P(Logos, JobReportPdf,
                         testing::Values(TLogoCase{"Png", &PngLogo, "png"},
                                         TLogoCase{"Svg", &SvgLogo, "svg"}),
                         [](const testing::TestParamInfo<TLogoCase>& one) {
                             return std::string(one.param.Name);
                         });

// A logo that cannot be read is left out; the report is still made.
TEST_F(TJobReportTest, LogoThatCannotBeReadIsLeftOut) {
    job_.Logo = "not a picture";
    const std::string pdf = Write();
    EXPECT_EQ(Uncompressed(folder_, pdf).find("/Subtype /Image"), std::string::npos);
    EXPECT_EQ(Pages(pdf).size(), 5u);
}

}  // namespace
