#include "ui/voice_choice_store.h"

#include <QSettings>

namespace sonoleaf::ui {
namespace {

constexpr char kVoiceKey[] = "voice/name";

QSettings Store() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("sonoleaf"),
                     QStringLiteral("sonoleaf"));
}

}  // namespace

std::u16string SavedVoiceName() {
    return Store().value(kVoiceKey).toString().toStdU16String();
}

void SaveVoiceName(const std::u16string& name) {
    QSettings settings = Store();
    if (name.empty()) {
        settings.remove(kVoiceKey);
    } else {
        settings.setValue(kVoiceKey, QString::fromStdU16String(name));
    }
}

}  // namespace sonoleaf::ui
