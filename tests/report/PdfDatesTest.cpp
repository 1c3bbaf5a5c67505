// The XMP dates set to the Info dictionary's, in place.
#include "report/PdfDates.h"

#include <gtest/gtest.h>

#include <string>

namespace {

QByteArray File(const char* info, const char* created, const char* modified) {
    return QByteArray("%PDF-1.4\n1 0 obj\n<<\n/Producer (Qt)\n/CreationDate (") + info +
           ")\n>>\nendobj\n2 0 obj\n<< /Type /Metadata >>\nstream\n<x xmp:CreatorTool=\"Q\" "
           "xmp:CreateDate=\"" +
           created + "\" xmp:ModifyDate=\"" + modified + "\"/>\nendstream\n";
}

struct TDateCase {
    const char* Name;
    QByteArray Before;
    bool Aligned;
    QByteArray After;
};

class PdfDates : public testing::TestWithParam<TDateCase> {};

TEST_P(PdfDates, XmpTakesTheInfoDate) {
    QByteArray pdf = GetParam().Before;
    EXPECT_EQ(AlignXmpDates(pdf), GetParam().Aligned);
    EXPECT_EQ(pdf.toStdString(), GetParam().After.toStdString());
    EXPECT_EQ(pdf.size(), GetParam().Before.size());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PdfDates,
    testing::Values(
        TDateCase{"UtcASecondApart",
                  File("D:20261207210152Z", "2026-12-07T21:01:53Z", "2026-12-07T21:01:53Z"), true,
                  File("D:20261207210152Z", "2026-12-07T21:01:52Z", "2026-12-07T21:01:52Z")},
        TDateCase{"OffsetAcrossMidnight",
                  File("D:20261207235959-05'00'", "2026-12-08T00:00:01-05:00",
                       "2026-12-08T00:00:01-05:00"),
                  true,
                  File("D:20261207235959-05'00'", "2026-12-07T23:59:59-05:00",
                       "2026-12-07T23:59:59-05:00")},
        TDateCase{"AlreadyEqual",
                  File("D:20261207210152+01'00'", "2026-12-07T21:01:52+01:00",
                       "2026-12-07T21:01:52+01:00"),
                  true,
                  File("D:20261207210152+01'00'", "2026-12-07T21:01:52+01:00",
                       "2026-12-07T21:01:52+01:00")},
        // Forms Qt does not write are left alone rather than guessed at.
        TDateCase{"InfoWithoutSeconds",
                  File("D:202612072101Z", "2026-12-07T21:01:53Z", "2026-12-07T21:01:53Z"), false,
                  File("D:202612072101Z", "2026-12-07T21:01:53Z", "2026-12-07T21:01:53Z")},
        TDateCase{"XmpOfAnotherLength",
                  File("D:20261207210152Z", "2026-12-07T21:01:53.5Z", "2026-12-07T21:01:53Z"),
                  false,
                  File("D:20261207210152Z", "2026-12-07T21:01:53.5Z", "2026-12-07T21:01:53Z")},
        TDateCase{"NoInfoDate", QByteArray("%PDF-1.4\nxmp:CreateDate=\"2026-12-07T21:01:53Z\""),
                  false, QByteArray("%PDF-1.4\nxmp:CreateDate=\"2026-12-07T21:01:53Z\"")}),
    [](const testing::TestParamInfo<TDateCase>& one) { return std::string(one.param.Name); });

}  // namespace
