#pragma once
// Stand-ins for the programs Sonoleaf starts (xdg-open, xchm): small shell scripts
// that record their first argument, and a guard that puts their folder alone on PATH.

#include <QByteArray>
#include <QString>

namespace sonoleaf::testing {

// Writes an executable script `folder`/`name` that writes its first argument into
// `record` and exits with `status`. Returns the script's path, or "" on failure.
QString WriteRecordingProgram(const QString& folder, const QString& name, const QString& record,
                              int status);

// Sets PATH to `path` for its scope.
class PathGuard {
  public:
    explicit PathGuard(const QString& path);
    ~PathGuard();
    PathGuard(const PathGuard&) = delete;
    PathGuard& operator=(const PathGuard&) = delete;

  private:
    QByteArray saved_;
};

}  // namespace sonoleaf::testing
