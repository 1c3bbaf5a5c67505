#include "app/common/Pictures.h"

#include <QString>

// The resource lives in a static library: nothing would pull it in without this call.
static void InitPicturesResource() {
    Q_INIT_RESOURCE(pictures);
}

QIcon Picture(const char* name) {
    static const bool initialised = (InitPicturesResource(), true);
    (void)initialised;
    return QIcon(QStringLiteral(":/pictures/") + QLatin1String(name) + QStringLiteral(".svg"));
}
