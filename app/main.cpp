#include "app/MeridaxApplication.h"
#include "app/frmAbout.h"
#include "app/frmExportSettings.h"
#include "app/frmMain.h"
#include "app/frmSerialPortSettings.h"
#include "data/StandardDescriptors.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (!OpenClosedStandardDescriptors())
        return 1;
    // Answered before the toolkit starts, which needs a display.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("meridax %s\n", MERIDAX_VERSION);
        return 0;
    }
    TMeridaxApplication application(argc, argv);
    application.setApplicationName(QStringLiteral("meridax"));
    application.setApplicationVersion(QStringLiteral(MERIDAX_VERSION));

    // Created once, in this order, and released at the end; the dialogs are shown modally
    // when needed.
    TfrmMain frmMain;
    TfrmAbout frmAbout(&frmMain);
    TfrmSerialPortSettings frmSerialPortSettings(&frmMain);
    TfrmExportSettings frmExportSettings(&frmMain);
    frmMain.SetDialogs(&frmAbout, &frmSerialPortSettings, &frmExportSettings);

    frmMain.show();
    return application.exec();
}
