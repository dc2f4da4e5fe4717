// The Exec line of the desktop entry, read back as a desktop reads it: the string
// value unescaped, the quoting undone, "%%" taken for "%". Every awkward path must come
// back as the one program path it was.

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

#include "app/registration.h"

namespace sonoleaf {
namespace {

QString ExecValue(const QString& entry) {
    for (const QString& line : entry.split(u'\n')) {
        if (line.startsWith(QStringLiteral("Exec="))) return line.mid(5);
    }
    return {};
}

// String value escapes: \s \n \t \r \\.
QString Unescape(const QString& value) {
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        const QChar next = value[++i];
        out += next == u's'   ? QChar(u' ')
               : next == u'n' ? QChar(u'\n')
               : next == u't' ? QChar(u'\t')
               : next == u'r' ? QChar(u'\r')
                              : next;
    }
    return out;
}

// Arguments: blanks separate, double quotes group, and inside them a backslash
// escapes " ` $ \. "%%" is a "%"; a single one would be a field code.
QStringList Arguments(const QString& exec, bool& wellFormed) {
    QStringList arguments;
    QString current;
    bool inQuotes = false;
    bool any = false;
    wellFormed = true;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (inQuotes && c == u'\\' && i + 1 < exec.size() &&
            QStringLiteral("\"`$\\").contains(exec[i + 1])) {
            current += exec[++i];
        } else if (c == u'"') {
            inQuotes = !inQuotes;
            any = true;
        } else if (!inQuotes && c == u' ') {
            if (any) arguments << current;
            current.clear();
            any = false;
        } else if (c == u'%') {
            wellFormed = wellFormed && i + 1 < exec.size() && exec[i + 1] == u'%';
            current += c;
            ++i;
            any = true;
        } else {
            wellFormed =
                wellFormed && (inQuotes || !QStringLiteral("\t\n\"'\\><~|&;$*?#()`").contains(c));
            current += c;
            any = true;
        }
    }
    wellFormed = wellFormed && !inQuotes;
    if (any) arguments << current;
    return arguments;
}

TEST(DesktopEntry, ExecLineGivesBackTheProgramPath) {
    const QString paths[] = {
        QStringLiteral("/usr/bin/sonoleaf"),
        QStringLiteral("/home/ann/My Programs/sonoleaf"),
        QStringLiteral("/opt/100% pure/sonoleaf"),
        QStringLiteral("/opt/100%/sonoleaf"),
        QStringLiteral("/opt/say \"hi\"/sonoleaf"),
        QStringLiteral("/opt/it's/sonoleaf"),
        QStringLiteral("/opt/back\\slash/sonoleaf"),
        QStringLiteral("/opt/$HOME `date`/sonoleaf"),
        QStringLiteral("/opt/tab\there/sonoleaf"),
        QStringLiteral("/opt/line\nbreak/sonoleaf"),
        QStringLiteral("/opt/cr\rhere/sonoleaf"),
        QStringLiteral("/opt/%f and %%/sonoleaf"),
        QStringLiteral("/opt/caf\u00e9 \u043a\u043d\u0438\u0433\u0430/sonoleaf"),
    };
    for (const QString& path : paths) {
        SCOPED_TRACE(path.toStdString());
        const QString entry = DesktopEntryText(path);
        // The program, then the field code of the file that "Open With" gives it.
        QString value = ExecValue(entry);
        EXPECT_TRUE(value.endsWith(QStringLiteral(" %f"))) << value.toStdString();
        value.chop(3);
        EXPECT_FALSE(value.contains(u'\n') || value.contains(u'\r') || value.contains(u'\t'));
        bool wellFormed = false;
        const QStringList arguments = Arguments(Unescape(value), wellFormed);
        EXPECT_TRUE(wellFormed) << value.toStdString();
        ASSERT_EQ(arguments.size(), 1) << value.toStdString();
        EXPECT_EQ(arguments[0], path);
    }
}

}  // namespace
}  // namespace sonoleaf
