#include "report/PdfDates.h"

namespace {

// "D:20261207155819-05'00'" as XMP writes it, "2026-12-07T15:58:19-05:00"; empty for another
// form.
QByteArray XmpDate(const QByteArray& info) {
    const bool utc = info.size() == 17 && info.endsWith('Z');
    const bool offset = info.size() == 23 && (info[16] == '+' || info[16] == '-') &&
                        info[19] == '\'' && info[22] == '\'';
    if (!info.startsWith("D:") || (!utc && !offset))
        return {};
    for (int i = 2; i < 16; ++i) {
        if (info[i] < '0' || info[i] > '9')
            return {};
    }
    QByteArray xmp = info.mid(2, 4) + '-' + info.mid(6, 2) + '-' + info.mid(8, 2) + 'T' +
                     info.mid(10, 2) + ':' + info.mid(12, 2) + ':' + info.mid(14, 2);
    return utc ? xmp + 'Z' : xmp + info.mid(16, 3) + ':' + info.mid(20, 2);
}

// Where the quoted value after key starts and how long it is; -1 when it is not there.
qsizetype ValueAt(const QByteArray& pdf, const QByteArray& key, qsizetype& length) {
    const qsizetype at = pdf.indexOf(key);
    if (at < 0)
        return -1;
    const qsizetype start = at + key.size();
    const qsizetype end = pdf.indexOf('"', start);
    if (end < 0)
        return -1;
    length = end - start;
    return start;
}

}  // namespace

bool AlignXmpDates(QByteArray& pdf) {
    const QByteArray infoKey = "/CreationDate (";
    const qsizetype infoAt = pdf.indexOf(infoKey);
    if (infoAt < 0)
        return false;
    const qsizetype infoStart = infoAt + infoKey.size();
    const qsizetype infoEnd = pdf.indexOf(')', infoStart);
    if (infoEnd < 0)
        return false;
    const QByteArray date = XmpDate(pdf.mid(infoStart, infoEnd - infoStart));
    qsizetype createdLength = 0;
    qsizetype modifiedLength = 0;
    const qsizetype created = ValueAt(pdf, "xmp:CreateDate=\"", createdLength);
    const qsizetype modified = ValueAt(pdf, "xmp:ModifyDate=\"", modifiedLength);
    if (date.isEmpty() || created < 0 || modified < 0 || createdLength != date.size() ||
        modifiedLength != date.size())
        return false;
    pdf.replace(created, date.size(), date);
    pdf.replace(modified, date.size(), date);
    return true;
}
