#include "app/About.h"
#include "app/Application.h"
#include "app/SettingsLocation.h"
#include "app/Unit1.h"
#include "dialogs/Unit2.h"
#include "instrument/Unit3.h"

int main(int argc, char* argv[])
{
    app::Application application(argc, argv);

    // The main window comes first and loads the settings; the dialogs are created after it,
    // hidden, and live as long as it does.
    TForm1 Form1(app::locateSettings(QCoreApplication::applicationDirPath()));
    TDlgAbout DlgAbout;
    TdlgParam dlgParam;
    TdlgRegParam dlgRegParam;
    Form1.attachDialogs(&DlgAbout, &dlgParam, &dlgRegParam);

    Form1.show();
    return application.exec();
}
