#include "app/MeridaxApplication.h"
#include "app/frmAbout.h"
#include "app/frmExportSettings.h"
#include "app/frmMain.h"
#include "app/frmSerialPortSettings.h"

int main(int argc, char** argv) {
    TMeridaxApplication application(argc, argv);
    application.setApplicationName(QStringLiteral("meridax"));
    application.setApplicationVersion(QStringLiteral("1.1"));

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
