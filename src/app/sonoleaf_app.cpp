#include "app/sonoleaf_app.h"

#include <QApplication>
#include <QCoreApplication>
#include <QStringList>

#include "app/command_line.h"
#include "app/registration.h"
#include "app/screenshots.h"
#include "platform/dialogs/message_box.h"
#include "platform/process/spawn.h"
#include "platform/speech/speech_service.h"
#include "platform/text/version.h"
#include "speech/speech_engine.h"
#include "ui/art.h"
#include "ui/control_ids.h"
#include "ui/message_box_presenter.h"
#include "ui/sonoleaf_dlg.h"

namespace sonoleaf {

namespace {

QStringList ArgumentsOf(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

void NameApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("sonoleaf"));
    QCoreApplication::setOrganizationName(QStringLiteral("Sonoleaf"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(kVersion));
}

}  // namespace

int CSonoleafApp::Run(int argc, char** argv) {
    return InitInstance(argc, argv);
}

int CSonoleafApp::InitInstance(int argc, char** argv) {
    const CommandLineInfo commandLine = ParseCommandLine(ArgumentsOf(argc, argv));

    // Nothing to serve to other programs: such a start ends at once.
    if (commandLine.runEmbedded || commandLine.runAutomated) return 0;

    if (commandLine.shellCommand != CommandLineInfo::ShellCommand::Nothing) {
        // No window: the core application is enough to read the resources.
        QCoreApplication app(argc, argv);
        NameApplication();
        if (commandLine.shellCommand == CommandLineInfo::ShellCommand::Unregister) {
            UnregisterApplication(UserDataHome());
        } else {
            RegisterApplication(UserDataHome(), QCoreApplication::applicationFilePath());
        }
        return 0;
    }

    QApplication app(argc, argv);
    NameApplication();
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Sonoleaf"));
    QGuiApplication::setDesktopFileName(QStringLiteral("sonoleaf"));
    // The window's close ends the program; the last box closed must not end a
    // modal loop that is still running.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    ui::InitResources();
    ui::UseMessageBoxes();
    QApplication::setWindowIcon(ui::IconFor(ui::kAppIcon));

    if (commandLine.takeScreenshots) return TakeScreenshots(commandLine.screenshotDir);

    {
        CSonoleafDlg window(speech_service::CreateSystemSpeechService());
        // Lists render on every core the program may use, in helper processes.
        window.speechEngine->EnableRenderHelpers(process::UsableCores());
        if (!commandLine.openPath.isEmpty()) window.OpenFile(commandLine.openPath);
        window.exec();
        // The window has stopped speech and joined its jobs when it closed.
    }
    dialogs::CloseAllMessageBoxes();
    return 0;
}

}  // namespace sonoleaf
