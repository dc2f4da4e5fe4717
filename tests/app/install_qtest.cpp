// The install a distribution packages: `cmake --install` into a prefix, and staged
// under DESTDIR, puts every file where the desktop, man and the program look for it;
// the installed program runs from another directory, and its /Register points the
// desktop entry at itself.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "app/registration.h"

namespace {

constexpr int kProcessMs = 60000;

struct Outcome {
    bool finished = false;
    int exitCode = -1;
    QByteArray output;
    QByteArray errors;
};

Outcome Run(const QString& program, const QStringList& arguments,
            const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
            const QString& workingDir = QStringLiteral("/")) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(workingDir);
    process.start(program, arguments);
    Outcome outcome;
    outcome.finished = process.waitForFinished(kProcessMs);
    if (!outcome.finished) {
        process.kill();
        process.waitForFinished(kProcessMs);
    }
    outcome.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    outcome.output = process.readAllStandardOutput();
    outcome.errors = process.readAllStandardError();
    return outcome;
}

QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString SourceFile(const QString& relative) {
    return QDir(qEnvironmentVariable("SONOLEAF_SOURCE_DIR")).filePath(relative);
}

const QList<int> kHicolorSizes{16, 24, 32, 48, 64, 96, 128};

}  // namespace

class InstallTest : public QObject {
    Q_OBJECT

    QTemporaryDir root_;
    QString prefix_;  // installed with --prefix
    QString staged_;  // DESTDIR=<root>/stage, --prefix /usr

    // The rows run against both installs.
    void AddInstallRows() {
        QTest::addColumn<QString>("top");
        QTest::newRow("--prefix") << prefix_;
        QTest::newRow("DESTDIR") << staged_;
    }

  private slots:
    void initTestCase() {
        QVERIFY(root_.isValid());
        prefix_ = root_.filePath(QStringLiteral("prefix"));
        staged_ = root_.filePath(QStringLiteral("stage/usr"));
        const QString cmake = qEnvironmentVariable("SONOLEAF_CMAKE_COMMAND");
        const QString build = qEnvironmentVariable("SONOLEAF_BINARY_DIR");
        const Outcome direct = Run(cmake, {"--install", build, "--prefix", prefix_});
        QVERIFY2(direct.exitCode == 0, direct.errors.constData());

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DESTDIR"), root_.filePath(QStringLiteral("stage")));
        const Outcome staged = Run(cmake, {"--install", build, "--prefix", "/usr"}, env);
        QVERIFY2(staged.exitCode == 0, staged.errors.constData());
    }

    void everyFileIsInstalled_data() {
        QTest::addColumn<QString>("top");
        QTest::addColumn<QString>("file");
        QStringList files{"bin/sonoleaf",
                          "bin/sonoleaf-cli",
                          "libexec/sonoleaf/sonoleaf-render-helper",
                          "libexec/sonoleaf/sonoleaf-pdf-outline",
                          "share/sonoleaf/Sonoleaf_Help.chm",
                          "share/applications/sonoleaf.desktop",
                          "share/metainfo/io.github.sonoleaf.Sonoleaf.metainfo.xml",
                          "share/man/man1/sonoleaf.1",
                          "share/man/man1/sonoleaf-cli.1",
                          "share/doc/sonoleaf/COPYING",
                          "share/doc/sonoleaf/README.md"};
        for (int size : kHicolorSizes) {
            files << QStringLiteral("share/icons/hicolor/%1x%1/apps/sonoleaf.png").arg(size);
        }
        const std::pair<const char*, QString> tops[] = {{"prefix", prefix_}, {"staged", staged_}};
        for (const auto& [name, top] : tops) {
            for (const QString& file : files) {
                QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(name, file))) << top << file;
            }
        }
    }
    void everyFileIsInstalled() {
        QFETCH(QString, top);
        QFETCH(QString, file);
        const QFileInfo info(QDir(top).filePath(file));
        QVERIFY2(info.isFile() && info.size() > 0, qPrintable(info.filePath()));
        QCOMPARE(info.isExecutable(), file.startsWith(QStringLiteral("bin/")) ||
                                          file.startsWith(QStringLiteral("libexec/")));
    }

    void iconsHaveTheirFoldersSize_data() { AddInstallRows(); }
    void iconsHaveTheirFoldersSize() {
        QFETCH(QString, top);
        for (int size : kHicolorSizes) {
            const QImage icon(QDir(top).filePath(
                QStringLiteral("share/icons/hicolor/%1x%1/apps/sonoleaf.png").arg(size)));
            QCOMPARE(icon.size(), QSize(size, size));
        }
    }

    // The installed entry is the one /Register writes, run by name from PATH.
    void desktopEntryIsTheRegisteredOneByName() {
        const QByteArray entry =
            Read(QDir(prefix_).filePath(QStringLiteral("share/applications/sonoleaf.desktop")));
        QCOMPARE(QString::fromUtf8(entry), sonoleaf::DesktopEntryText(QStringLiteral("sonoleaf")));
    }

    // Software centres list the program: its metainfo validates and names the entry.
    void metainfoValidates() {
        const QString path = QDir(prefix_).filePath(
            QStringLiteral("share/metainfo/io.github.sonoleaf.Sonoleaf.metainfo.xml"));
        QVERIFY(Read(path).contains("<launchable type=\"desktop-id\">sonoleaf.desktop<"));
        const QString validator = QStandardPaths::findExecutable(QStringLiteral("appstreamcli"));
        if (validator.isEmpty()) QSKIP("appstreamcli is not installed");
        const Outcome outcome =
            Run(validator, {QStringLiteral("validate"), QStringLiteral("--no-net"), path});
        QVERIFY2(outcome.exitCode == 0, outcome.output.constData());
    }

    void desktopEntryValidates() {
        const QString validator =
            QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
        if (validator.isEmpty()) QSKIP("desktop-file-validate is not installed");
        const Outcome outcome =
            Run(validator,
                {QDir(prefix_).filePath(QStringLiteral("share/applications/sonoleaf.desktop"))});
        QVERIFY2(outcome.exitCode == 0, outcome.output.constData());
        QVERIFY2(!outcome.output.contains("error"), outcome.output.constData());
    }

    void licenceAndReadmeAreTheSourceOnes_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("COPYING") << "COPYING";
        QTest::newRow("README.md") << "README.md";
    }
    void licenceAndReadmeAreTheSourceOnes() {
        QFETCH(QString, file);
        QCOMPARE(Read(QDir(prefix_).filePath(QStringLiteral("share/doc/sonoleaf/") + file)),
                 Read(SourceFile(file)));
    }

    void manPagesRenderWithoutWarnings_data() {
        QTest::addColumn<QString>("page");
        QTest::newRow("sonoleaf") << "sonoleaf.1";
        QTest::newRow("sonoleaf-cli") << "sonoleaf-cli.1";
    }
    void manPagesRenderWithoutWarnings() {
        QFETCH(QString, page);
        const QString groff = QStandardPaths::findExecutable(QStringLiteral("groff"));
        if (groff.isEmpty()) QSKIP("groff is not installed");
        const QString path = QDir(prefix_).filePath(QStringLiteral("share/man/man1/") + page);
        const Outcome outcome = Run(groff, {"-man", "-Tutf8", "-ww", "-z", path});
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(outcome.errors, QByteArray());
    }

    // From /, where there is no help file and nothing of the build: the program
    // finds everything it needs in its install.
    void installedWindowStartsFromAnotherDirectory_data() { AddInstallRows(); }
    void installedWindowStartsFromAnotherDirectory() {
        QFETCH(QString, top);
        QTemporaryDir shots;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        const Outcome outcome = Run(QDir(top).filePath(QStringLiteral("bin/sonoleaf")),
                                    {"--screenshots", shots.path()}, env, QStringLiteral("/"));
        QVERIFY(outcome.finished);
        QVERIFY2(outcome.exitCode == 0, outcome.errors.constData());
        for (const char* name : {"main_window.png", "voice_setting.png", "about_box.png"}) {
            QVERIFY2(!QImage(shots.filePath(QString::fromLatin1(name))).isNull(), name);
        }
    }

    // The installed command line makes a list from any folder, its files rendered by
    // the installed helper.
    void installedCliRendersAListWithItsHelper_data() { AddInstallRows(); }
    void installedCliRendersAListWithItsHelper() {
        QFETCH(QString, top);
        QTemporaryDir work;
        QFile text(work.filePath(QStringLiteral("book.txt")));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("One small part. Another small part. And the last one.");
        text.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("SONOLEAF_RENDER_HELPER"));
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        const Outcome outcome =
            Run(QDir(top).filePath(QStringLiteral("bin/sonoleaf-cli")),
                {"list", "--jobs", "2", "--format", "wav", "--quiet", "--length", "20",
                 text.fileName(), work.filePath(QStringLiteral("out"))},
                env, QStringLiteral("/"));
        QVERIFY(outcome.finished);
        QVERIFY2(outcome.exitCode == 0, outcome.errors.constData());
        QVERIFY2(!outcome.errors.contains("no render helper"), outcome.errors.constData());
        QCOMPARE(QDir(work.filePath(QStringLiteral("out"))).entryList(QDir::Files),
                 (QStringList{"book_1.wav", "book_2.wav", "book_3.wav"}));
    }

    void installedRegisterPointsAtItself_data() { AddInstallRows(); }
    void installedRegisterPointsAtItself() {
        QFETCH(QString, top);
        QTemporaryDir dataHome;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("no-window-allowed"));
        const QString program = QDir(top).filePath(QStringLiteral("bin/sonoleaf"));
        QCOMPARE(Run(program, {"/Register"}, env).exitCode, 0);

        const QString entry = QString::fromUtf8(
            Read(QDir(dataHome.path()).filePath(QStringLiteral("applications/sonoleaf.desktop"))));
        QCOMPARE(entry, sonoleaf::DesktopEntryText(QFileInfo(program).canonicalFilePath()));
        QVERIFY(entry.contains(QStringLiteral("\nIcon=sonoleaf\n")));
        // The entry's icon is found in the user's hicolor theme.
        QVERIFY(QFileInfo::exists(
            QDir(dataHome.path())
                .filePath(QStringLiteral("icons/hicolor/48x48/apps/sonoleaf.png"))));
    }
};

QTEST_GUILESS_MAIN(InstallTest)
#include "install_qtest.moc"
