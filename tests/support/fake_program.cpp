#include "support/fake_program.h"

#include <QDir>
#include <QFile>

namespace sonoleaf::testing {

QString WriteRecordingProgram(const QString& folder, const QString& name, const QString& record,
                              int status) {
    const QString path = QDir(folder).filePath(name);
    QFile script(path);
    if (!script.open(QIODevice::WriteOnly)) return {};
    // Written to a side file and renamed, so that a reader never sees half a record;
    // mv by its path, as PATH may hold only the fakes.
    script.write(
        QStringLiteral("#!/bin/sh\nprintf '%s' \"$1\" > '%1.part' && /bin/mv '%1.part' '%1'\n"
                       "exit %2\n")
            .arg(record)
            .arg(status)
            .toUtf8());
    script.close();
    const bool executable =
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                              QFile::ReadGroup | QFile::ExeGroup);
    return executable ? path : QString();
}

PathGuard::PathGuard(const QString& path) : saved_(qgetenv("PATH")) {
    qputenv("PATH", path.toLocal8Bit());
}

PathGuard::~PathGuard() {
    qputenv("PATH", saved_);
}

}  // namespace sonoleaf::testing
