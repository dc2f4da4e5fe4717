#include "app/registration.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include "ui/art.h"
#include "ui/control_ids.h"

namespace sonoleaf {

namespace {

// The program's path as the Exec key of a desktop entry holds it: quoted when it has
// a reserved character (a backslash, quote, backquote or dollar inside the quotes
// escaped by a backslash), "%" doubled so that it is no field code, and the whole
// value then escaped as every string value is (backslash, line breaks, tab).
QString QuotedExec(const QString& path) {
    static const QString kReserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool needsQuotes = false;
    for (QChar c : path) needsQuotes = needsQuotes || kReserved.contains(c);
    QString argument;
    for (QChar c : path) {
        if (needsQuotes && QStringLiteral("\"`$\\").contains(c)) argument += u'\\';
        argument += c;
    }
    if (needsQuotes) argument = u'"' + argument + u'"';
    argument.replace(u'%', QStringLiteral("%%"));
    QString value;
    for (QChar c : argument) {
        switch (c.unicode()) {
            case u'\\':
                value += QStringLiteral("\\\\");
                break;
            case u'\n':
                value += QStringLiteral("\\n");
                break;
            case u'\t':
                value += QStringLiteral("\\t");
                break;
            case u'\r':
                value += QStringLiteral("\\r");
                break;
            default:
                value += c;
        }
    }
    return value;
}

bool WriteFile(const QString& path, const QByteArray& content) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(content);
    return file.commit();
}

}  // namespace

QString UserDataHome() {
    const QString configured = qEnvironmentVariable("XDG_DATA_HOME");
    if (!configured.isEmpty() && QDir::isAbsolutePath(configured)) return configured;
    return QDir::homePath() + QStringLiteral("/.local/share");
}

RegistrationPaths::RegistrationPaths(const QString& dataHome) {
    const QDir home(dataHome);
    desktopEntry = home.filePath(QStringLiteral("applications/sonoleaf.desktop"));
    recordFolder = home.filePath(QStringLiteral("sonoleaf/registration"));
    record = QDir(recordFolder).filePath(QString::fromLatin1(kAppId) + QStringLiteral(".reg"));
    for (int size : ui::IconSizes(ui::kAppIcon)) {
        icons << home.filePath(QStringLiteral("icons/hicolor/%1x%1/apps/sonoleaf.png").arg(size));
    }
}

QString DesktopEntryText(const QString& executable) {
    return QStringLiteral(
               "[Desktop Entry]\n"
               "Type=Application\n"
               "Version=1.4\n"  // nothing newer is used; Debian 12 validates up to 1.4
               "Name=Sonoleaf\n"
               "GenericName=Audiobook Maker\n"
               "Comment=Convert PDFs to text, speak text and make audio files and audiobooks\n"
               "Exec=%1 %f\n"
               "Icon=sonoleaf\n"
               "Terminal=false\n"
               "Categories=AudioVideo;Audio;Utility;Accessibility;\n"
               "MimeType=application/epub+zip;application/pdf;text/plain;\n"
               "Keywords=text to speech;TTS;PDF;audiobook;MP3;WAV;\n"
               "StartupWMClass=sonoleaf\n")
        .arg(QuotedExec(executable));
}

QString RegistrationRecordText() {
    const QString id = QString::fromLatin1(kAppId);
    return QStringLiteral(
               "; Sonoleaf application registration\n"
               "[AppID\\%1]\n"
               "@=\"%2\"\n"
               "\n"
               "[AppID\\%3]\n"
               "\"AppID\"=\"%1\"\n")
        .arg(id, QString::fromLatin1(kAppName), QString::fromLatin1(kExeKey));
}

void RegisterApplication(const QString& dataHome, const QString& executable) {
    ui::InitResources();
    const RegistrationPaths paths(dataHome);
    WriteFile(paths.record, RegistrationRecordText().toUtf8());
    const QList<int> sizes = ui::IconSizes(ui::kAppIcon);
    for (qsizetype i = 0; i < sizes.size(); ++i) {
        QFile icon(ui::IconResourcePath(ui::kAppIcon, sizes[i]));
        if (icon.open(QIODevice::ReadOnly)) WriteFile(paths.icons[i], icon.readAll());
    }
    WriteFile(paths.desktopEntry, DesktopEntryText(executable).toUtf8());
}

void UnregisterApplication(const QString& dataHome) {
    const RegistrationPaths paths(dataHome);
    QFile::remove(paths.desktopEntry);
    for (const QString& icon : paths.icons) QFile::remove(icon);
    QFile::remove(paths.record);
}

}  // namespace sonoleaf
