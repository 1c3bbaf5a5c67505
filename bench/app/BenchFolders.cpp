#include "bench/app/BenchFolders.h"

#include <QSettings>

TBenchFolders::TBenchFolders() {
    const QString config = QString::fromStdString(config_.Path());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config);
}
