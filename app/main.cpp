#include "MeridaxBuildId.h"
#include "app/common/FileDialogs.h"
#include "app/common/MeridaxApplication.h"
#include "app/common/StartOptions.h"
#include "app/main/frmAbout.h"
#include "app/main/frmExportSettings.h"
#include "app/main/frmMain.h"
#include "app/main/frmSerialPortSettings.h"
#include "sys/StandardDescriptors.h"

#include <cstdio>
#include <filesystem>
#include <memory>

int main(int argc, char** argv) {
    if (!OpenClosedStandardDescriptors())
        return 1;
    // The program's own options are answered and taken out before the toolkit starts, which
    // needs a display and reads the rest.
    const TStartOptions start = TakeStartOptions(argc, argv, CurrentUserFolders());
    switch (start.Action) {
        case TStartOptions::TAction::ShowVersion:
            std::printf("meridax %s\n", MeridaxVersionAndBuild().c_str());
            return 0;
        case TStartOptions::TAction::ShowHelp:
            std::fputs(StartUsage, stdout);
            return 0;
        case TStartOptions::TAction::WrongUsage:
            std::fprintf(stderr, "meridax: %s\n%s", start.Problem.c_str(), StartUsage);
            return 2;
        case TStartOptions::TAction::Run:
            break;
    }
    // A folder that cannot be made is reported when the settings are written at close.
    if (start.MakeSettingsFolder) {
        static_cast<void>(
            MakeFolders(std::filesystem::path(start.SettingsFile).parent_path().string()));
    }
    TMeridaxApplication application(argc, argv);
    application.setApplicationName(QStringLiteral("meridax"));
    application.setApplicationVersion(QStringLiteral(MERIDAX_VERSION));

    // Created once, in this order, and released at the end; the dialogs are shown modally
    // when needed.
    TfrmMainOptions options;
    options.SettingsFile = start.SettingsFile;
    // The desktop's start makes a missing file quietly; a start from a terminal reports it.
    options.MakeMissingSettings = start.MakeSettingsFolder;
    options.FileDialogs =
        std::make_shared<TQtFileDialogs>(QString::fromStdString(start.DialogFolder));
    TfrmMain frmMain(std::move(options));
    TfrmAbout frmAbout(&frmMain);
    TfrmSerialPortSettings frmSerialPortSettings(&frmMain);
    TfrmExportSettings frmExportSettings(&frmMain);
    frmMain.SetDialogs(&frmAbout, &frmSerialPortSettings, &frmExportSettings);

    frmMain.show();
    return application.exec();
}
