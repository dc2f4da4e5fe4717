#include "app/command_line.h"

namespace sonoleaf {

CommandLineInfo ParseCommandLine(const QStringList& arguments) {
    CommandLineInfo info;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QStringLiteral("--screenshots")) {
            info.takeScreenshots = true;
            if (i + 1 < arguments.size()) info.screenshotDir = arguments[++i];
            continue;
        }
        if (argument.size() < 2 || (argument[0] != u'/' && argument[0] != u'-')) {
            if (info.openPath.isEmpty()) info.openPath = argument;
            continue;
        }
        const QString name = argument.mid(1);
        const auto is = [&name](const char* word) {
            return name.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
        };
        if (is("Embedding")) {
            info.runEmbedded = true;
        } else if (is("Automation")) {
            info.runAutomated = true;
        } else if (is("Register") || is("RegServer")) {
            info.shellCommand = CommandLineInfo::ShellCommand::Register;
        } else if (is("Unregister") || is("UnregServer")) {
            info.shellCommand = CommandLineInfo::ShellCommand::Unregister;
        } else if (argument[0] == u'/' && info.openPath.isEmpty()) {
            info.openPath = argument;  // an absolute path, as a file manager gives it
        }
    }
    return info;
}

}  // namespace sonoleaf
