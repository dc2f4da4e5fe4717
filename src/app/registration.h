#pragma once
// The application's registration with the desktop: a desktop entry and the icon in the
// user's data folder, and a record of the application's identity (its AppID) beside
// them. Unregistering removes the entry, the icons and the record; the folder that
// holds the records stays.

#include <QString>
#include <QStringList>

namespace sonoleaf {

inline constexpr char kAppId[] = "{49A3142B-697A-492E-8529-2BA655E3F981}";
inline constexpr char kAppName[] = "Sonoleaf";
inline constexpr char kExeKey[] = "Sonoleaf.EXE";

// $XDG_DATA_HOME when it is an absolute path, else ~/.local/share.
QString UserDataHome();

struct RegistrationPaths {
    explicit RegistrationPaths(const QString& dataHome);
    QString desktopEntry;
    QString recordFolder;
    QString record;
    QStringList icons;  // one per size of icon 128
};

// Failures are not reported: the program ends either way.
void RegisterApplication(const QString& dataHome, const QString& executable);
void UnregisterApplication(const QString& dataHome);

// The contents written, for checks.
QString DesktopEntryText(const QString& executable);
QString RegistrationRecordText();

}  // namespace sonoleaf
