// What the Add to job dialog proposes, and the warning before an add that looks like the
// same end measured again.
#include "app/job/AddProposal.h"

#include <map>
#include <set>
#include <tuple>

namespace {

using TFibreKey = std::tuple<std::string, std::string, double>;

TFibreKey FibreKeyOf(const TMeranie& record) {
    return {record.Cable, record.Fiber, record.WaveLength};
}

TDirection DirectionInForce(const TDownload& download, const TStoredReading& reading) {
    return reading.Direction == TDirection::None ? download.Direction : reading.Direction;
}

// "3 minutes ago", "1 hour ago", "less than a minute ago".
QString AgoText(qint64 seconds) {
    const qint64 minutes = seconds / 60;
    if (minutes < 1) {
        return QStringLiteral("less than a minute ago");
    }
    if (minutes < 60) {
        return minutes == 1 ? QStringLiteral("1 minute ago")
                            : QStringLiteral("%1 minutes ago").arg(minutes);
    }
    const qint64 hours = minutes / 60;
    return hours == 1 ? QStringLiteral("1 hour ago") : QStringLiteral("%1 hours ago").arg(hours);
}

}  // namespace

TAddAnswers ProposeAddAnswers(const std::vector<TDownload>& downloads, const TMeraniaArray& records,
                              const TAddAnswers& previous, const QDate& today) {
    TAddAnswers answers;
    answers.Operator = previous.Operator;
    answers.TestDate = today.toString(Qt::ISODate).toStdString();
    std::set<TFibreKey> keys;
    for (const TMeranie& record : records) {
        keys.insert(FibreKeyOf(record));
    }
    bool aToB = false;
    bool bToA = false;
    const TDownload* latest = nullptr;
    for (const TDownload& download : downloads) {
        if (download.Void) {
            continue;
        }
        latest = &download;
        for (const TStoredReading& reading : download.Readings) {
            if (keys.count(FibreKeyOf(reading.Record)) != 0) {
                const TDirection direction = DirectionInForce(download, reading);
                aToB = aToB || direction == TDirection::AToB;
                bToA = bToA || direction == TDirection::BToA;
            }
        }
    }
    if (latest == nullptr) {
        return answers;
    }
    answers.Operator = latest->Operator;
    answers.TestDate = latest->TestDate;
    if (aToB != bToA) {
        answers.Direction = aToB ? TDirection::BToA : TDirection::AToB;
    } else {
        answers.Direction = latest->Direction;
    }
    return answers;
}

QString RetestWarning(const std::vector<TDownload>& downloads, const TMeraniaArray& records,
                      TDirection direction, const QDateTime& now) {
    // Each fibre measured in this direction, by the download whose reading an add would
    // replace: the latest one holding it.
    std::map<TFibreKey, const TDownload*> holder;
    for (const TDownload& download : downloads) {
        if (download.Void) {
            continue;
        }
        for (const TStoredReading& reading : download.Readings) {
            if (DirectionInForce(download, reading) == direction) {
                holder[FibreKeyOf(reading.Record)] = &download;
            }
        }
    }
    std::map<const TDownload*, std::size_t> replaced;
    for (const TMeranie& record : records) {
        const auto found = holder.find(FibreKeyOf(record));
        if (found != holder.end()) {
            ++replaced[found->second];
        }
    }
    for (const auto& [download, count] : replaced) {
        const QDateTime added =
            QDateTime::fromString(QString::fromStdString(download->AddedAt), Qt::ISODateWithMs);
        const qint64 age = added.isValid() ? added.secsTo(now) : -1;
        if (count * 2 > records.size() && age >= 0 && age < 24 * 3600) {
            return QStringLiteral(
                       "%1 of %2 readings would replace readings of download %3, "
                       "added %4: is this the other end?")
                .arg(QString::number(count), QString::number(records.size()),
                     QString::number(download->Number), AgoText(age));
        }
    }
    return {};
}
