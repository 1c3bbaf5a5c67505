#include "report/ReportText.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QPdfWriter>
#include <numeric>

#include "report/ReportTable.h"

namespace {

// Every character one unit wide.
double CountAdvance(const QString& text) {
    return static_cast<double>(text.size());
}

TEST(WrapTextTest, BreaksAfterBlanksAndHyphensElseBetweenCharacters) {
    struct TCase {
        const char* Text;
        double Width;
        std::vector<const char*> Lines;
    };
    const TCase cases[] = {
        {"F024-BLUE", 9, {"F024-BLUE"}},
        {"F024-BLUE", 8, {"F024-", "BLUE"}},
        {"BLDG-A-R12-P03", 8, {"BLDG-A-", "R12-P03"}},
        {"every other cable", 11, {"every other", "cable"}},
        {"every  other", 6, {"every", "other"}},
        {"ABCDEFGHIJ", 4, {"ABCD", "EFGH", "IJ"}},
        {"AB-CDEFGHIJ", 4, {"AB-", "CDEF", "GHIJ"}},
        {"a/b/c", 2, {"a/", "b/", "c"}},
        {"XYZ", 0.5, {"X", "Y", "Z"}},
        {"", 0, {""}},
    };
    for (const TCase& c : cases) {
        const std::vector<QString> lines =
            WrapText(QString::fromLatin1(c.Text), c.Width, CountAdvance);
        std::vector<QString> expected;
        for (const char* line : c.Lines)
            expected.push_back(QString::fromLatin1(line));
        EXPECT_EQ(lines, expected) << c.Text << " in " << c.Width;
    }
}

class TFitTableTest : public testing::Test {
protected:
    TFitTableTest() : writer_(&buffer_) {
        buffer_.open(QIODevice::WriteOnly);
        writer_.setResolution(ReportResolution);
    }

    QBuffer buffer_;
    QPdfWriter writer_;
};

TEST_F(TFitTableTest, ColumnsFollowTheLongestTextsAndWhatCannotFitWraps) {
    const TReportStyle style(&writer_);
    TTableBlock table;
    table.Columns = {{QStringLiteral("Cable")},
                     {QStringLiteral("Fiber")},
                     {QStringLiteral("WaveLength")},
                     {QStringLiteral("Value"), true}};
    table.AddRow({QStringLiteral("BLDG-A-R12-P03"), QStringLiteral("F024-BLUE"),
                  QStringLiteral("1310"), QStringLiteral("-1.95")});
    table.AddRow(
        {QStringLiteral("2"), QStringLiteral("1"), QStringLiteral("1550"), QStringLiteral("-0.5")});
    FitTable(style, table);
    const QFontMetricsF& metrics = style.Metrics(TFontRole::Table);
    const QFontMetricsF& bold = style.Metrics(TFontRole::TableBold);
    // Each column its longest text and the padding on either side.
    EXPECT_NEAR(table.Widths[0],
                metrics.horizontalAdvance(QStringLiteral("BLDG-A-R12-P03")) + Pt(6), Pt(0.5));
    EXPECT_NEAR(table.Widths[1], metrics.horizontalAdvance(QStringLiteral("F024-BLUE")) + Pt(6),
                Pt(0.5));
    EXPECT_NEAR(table.Widths[2], bold.horizontalAdvance(QStringLiteral("WaveLength")) + Pt(6),
                Pt(0.5));
    EXPECT_TRUE(table.Wrapped.empty());
    EXPECT_DOUBLE_EQ(table.RowHeight(0), table.RowHeight(1));

    // A text wider than the page takes what the others leave and wraps, every character kept.
    QString site;
    for (int i = 1; i <= 12; ++i)
        site += QStringLiteral("CAMPUS-NORTH-%1-").arg(i);
    site += QStringLiteral("END");
    table.Cells[4] = site;
    FitTable(style, table);
    EXPECT_LE(std::accumulate(table.Widths.begin(), table.Widths.end(), 0.0),
              Pt(ContentWidthPt) + 0.01);
    EXPECT_NEAR(table.Widths[1], metrics.horizontalAdvance(QStringLiteral("F024-BLUE")) + Pt(6),
                Pt(0.5));
    ASSERT_EQ(table.Wrapped.size(), 1u);
    const std::vector<QString>& lines = table.Wrapped.at(4);
    ASSERT_GE(lines.size(), 2u);
    QString joined;
    for (const QString& line : lines) {
        EXPECT_LE(metrics.horizontalAdvance(line), table.Widths[0] - Pt(6) + 0.5)
            << line.toStdString();
        joined += line;
    }
    EXPECT_EQ(joined, site);
    EXPECT_GT(table.RowHeight(1), table.RowHeight(0) * 1.5);
    EXPECT_DOUBLE_EQ(table.RowTops[2], table.RowHeight(0) + table.RowHeight(1));
}

}  // namespace
