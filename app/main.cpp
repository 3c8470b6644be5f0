#include "app/About.h"
#include "app/Application.h"
#include "app/SettingsLocation.h"
#include "app/StartOptions.h"
#include "app/Unit1.h"
#include "dialogs/Unit2.h"
#include "instrument/Unit3.h"

#include <cstdio>

int main(int argc, char* argv[])
{
    // --version and --help need no window, and so no display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (const auto answer = app::answerWithoutWindow(arguments)) {
        const QByteArray text = answer->toLocal8Bit();
        const bool written = std::fputs(text.constData(), stdout) >= 0 && std::fflush(stdout) == 0;
        return written ? 0 : 1;
    }

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
