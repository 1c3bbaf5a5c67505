#pragma once

#include <QDateTime>
#include <QString>
#include <vector>

#include "data/uMeranie.h"
#include "jobs/JobTypes.h"
#include "jobs/JobWork.h"

// What the Add to job dialog proposes for one job, from that job's downloads: the direction
// that completes the pairs of the fibres being added, and the operator and date of the job's
// latest download (the previous add's answers may be of another job).
TAddAnswers ProposeAddAnswers(const std::vector<TDownload>& downloads, const TMeraniaArray& records,
                              const TAddAnswers& previous, const QDate& today);

// "7 of 7 readings would replace readings of download 1, added 3 minutes ago: is this the
// other end?" when most of the records, added in direction, would be re-tests of one download
// added less than a day before now; empty otherwise.
QString RetestWarning(const std::vector<TDownload>& downloads, const TMeraniaArray& records,
                      TDirection direction, const QDateTime& now);
