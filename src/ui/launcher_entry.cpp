#include "ui/launcher_entry.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>
#include <cmath>
#include <cstdio>
#include <mutex>

namespace sonoleaf::ui {
namespace {

// Steps of the progress sent: finer changes are not worth a signal.
constexpr double kSteps = 1000.0;

}  // namespace

void LauncherEntry::Show(const std::vector<JobRow>& jobs) {
    State state;
    state.count = static_cast<int>(jobs.size());
    double sum = 0.0;
    int known = 0;
    for (const JobRow& job : jobs) {
        if (!job.fraction) continue;
        sum += *job.fraction;
        ++known;
    }
    if (known > 0) state.progress = std::round(sum / known * kSteps) / kSteps;
    if (state == sent_) return;
    if (!Connected()) return;
    Send(state);
    sent_ = state;
}

bool LauncherEntry::Connected() {
    if (bus_ == Bus::Untried) {
        // Asked only once a job runs, so that a window without jobs never looks.
        bus_ = QDBusConnection::sessionBus().isConnected() ? Bus::Up : Bus::Missing;
        if (bus_ == Bus::Missing) {
            static std::once_flag told;
            std::call_once(told, [] {
                std::fprintf(stderr,
                             "sonoleaf: no D-Bus session bus; the taskbar shows no "
                             "progress\n");
            });
        }
    }
    return bus_ == Bus::Up;
}

void LauncherEntry::Send(const State& state) {
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(kLauncherPath),
                                                     QString::fromLatin1(kLauncherInterface),
                                                     QStringLiteral("Update"));
    QVariantMap properties;
    properties.insert(QStringLiteral("progress"), state.progress.value_or(0.0));
    properties.insert(QStringLiteral("progress-visible"), state.progress.has_value());
    properties.insert(QStringLiteral("count"), static_cast<qint64>(state.count));
    properties.insert(QStringLiteral("count-visible"), state.count > 1);
    signal << QString::fromLatin1(kLauncherAppUri) << properties;
    QDBusConnection::sessionBus().send(signal);
}

}  // namespace sonoleaf::ui
