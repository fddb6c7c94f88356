// sonabel: the desktop program. Files and folders named on the command line
// are added to the list as if they had been dropped on it.

#include "encoder/EncoderFacts.h"
#include "gui/SonabelF.h"
#include "messages/RunState.h"
#include "settings/Settings.h"
#include "update/UpdateCheck.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Morvane"));
    QApplication::setApplicationName(AppTitle);
    QApplication::setApplicationVersion(QStringLiteral(SONABEL_VERSION));
    // Ties the windows to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("sonabel"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("sonabel")));

    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("PATH"),
                                 QStringLiteral("Files and folders to add to the list."),
                                 QStringLiteral("[PATH...]"));
    parser.process(app);

    // The state every window reads; they outlive the windows.
    TPreferences preferences;
    TRunState runState;
    TEncoderFacts encoderFacts(preferences);
    TSonabelMainForm mainForm;
    if (!mainForm.FormCreate())
        return 0;
    mainForm.CreateForms();
    mainForm.StartPaths = parser.positionalArguments();
    mainForm.show();
    return QApplication::exec();
}
