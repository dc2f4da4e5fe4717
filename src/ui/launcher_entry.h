#pragma once
// The taskbar's view of the running jobs: their overall progress and, when more than
// one runs, their number, sent as the launcher-entry signal of D-Bus
// (com.canonical.Unity.LauncherEntry.Update) that KDE's and GNOME's docks read.
// Without a session bus it says so once on stderr and sends nothing.

#include <QString>
#include <optional>
#include <vector>

#include "jobs/progress_board.h"

namespace sonoleaf::ui {

inline constexpr char kLauncherAppUri[] = "application://sonoleaf.desktop";
inline constexpr char kLauncherPath[] = "/com/canonical/unity/launcherentry/sonoleaf";
inline constexpr char kLauncherInterface[] = "com.canonical.Unity.LauncherEntry";

class LauncherEntry {
  public:
    // Sends what these jobs make, when it differs from what was sent last.
    void Show(const std::vector<JobRow>& jobs);

  private:
    struct State {
        std::optional<double> progress;  // shown when known
        int count = 0;
        bool operator==(const State&) const = default;
    };

    bool Connected();
    void Send(const State& state);

    State sent_;
    enum class Bus { Untried, Up, Missing } bus_ = Bus::Untried;
};

}  // namespace sonoleaf::ui
