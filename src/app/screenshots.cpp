#include "app/screenshots.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPixmap>
#include <cstdio>

#include "jobs/alert.h"
#include "platform/dialogs/message_box.h"
#include "platform/speech/speech_service.h"
#include "ui/about_dlg.h"
#include "ui/sonoleaf_dlg.h"
#include "ui/voice_setting.h"

namespace sonoleaf {

namespace {

bool Grab(QWidget& window, const QDir& folder, const char* name) {
    window.show();
    window.raise();
    QApplication::processEvents();
    const QString path = folder.filePath(QString::fromLatin1(name));
    if (window.grab().save(path, "PNG")) {
        std::printf("%s\n", qPrintable(path));
        return true;
    }
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

}  // namespace

int TakeScreenshots(const QString& folderName) {
    const QDir folder(folderName.isEmpty() ? QStringLiteral("screenshots") : folderName);
    if (!folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(folder.path()));
        return 1;
    }
    CSonoleafDlg window(speech_service::CreateSystemSpeechService());
    bool ok = Grab(window, folder, "main_window.png");

    window.voiceSetting->DoDataExchange(false);
    ok = Grab(*window.voiceSetting, folder, "voice_setting.png") && ok;
    window.voiceSetting->hide();

    CAboutDlg about(&window);
    ok = Grab(about, folder, "about_box.png") && ok;
    about.hide();

    auto alert =
        dialogs::CreateMessageBox(kAlertCaption, u"Text File to Audio List Operation Ended");
    ok = Grab(*alert, folder, "alert_box.png") && ok;
    alert->hide();

    window.hide();
    return ok ? 0 : 1;
}

}  // namespace sonoleaf
