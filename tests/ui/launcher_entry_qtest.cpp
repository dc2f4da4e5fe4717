// The taskbar hears of the jobs' progress: on a private session bus started here, a
// listener receives the launcher-entry "Update" signal for sonoleaf.desktop while a
// list runs, with its progress shown, and once it has ended, with progress hidden.

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QTest>
#include <algorithm>
#include <filesystem>

#include "support/gui_test_base.h"
#include "support/temp_dir.h"
#include "ui/control_ids.h"
#include "ui/job_run_checks.h"
#include "ui/launcher_entry.h"
#include "ui/sonoleaf_dlg.h"

using namespace sonoleaf;
using namespace sonoleaf::testing;
namespace fs = std::filesystem;

namespace {

constexpr char kListener[] = "launcher listener";

struct Update {
    QString appUri;
    QVariantMap properties;
};

}  // namespace

class LauncherEntryTest : public GuiTestBase {
    Q_OBJECT

    QProcess daemon_;
    QList<Update> updates_;
    TempDir in_;
    TempDir out_;

    bool Received(const std::function<bool(const Update&)>& match) {
        return WaitUntil([&] { return std::any_of(updates_.begin(), updates_.end(), match); },
                         kJobWaitMs);
    }

  public slots:
    void OnUpdate(const QDBusMessage& message) {
        const QList<QVariant> args = message.arguments();
        if (args.size() != 2) return;
        updates_ << Update{args[0].toString(),
                           qdbus_cast<QVariantMap>(args[1].value<QDBusArgument>())};
    }

  private slots:
    void initTestCase() {
        daemon_.start(QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--session"), QStringLiteral("--print-address"),
                       QStringLiteral("--nofork")});
        QVERIFY2(daemon_.waitForStarted(), "dbus-daemon did not start (package dbus-daemon)");
        QVERIFY(WaitUntil([&] { return daemon_.canReadLine(); }));
        const QByteArray address = daemon_.readLine().trimmed();
        QVERIFY(!address.isEmpty());
        // The window's connection is the session bus: this one, as it is set before
        // anything in this process asks for it.
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        QDBusConnection listener =
            QDBusConnection::connectToBus(QString::fromUtf8(address), kListener);
        QVERIFY(listener.isConnected());
        QVERIFY(listener.connect(QString(), QString::fromLatin1(ui::kLauncherPath),
                                 QString::fromLatin1(ui::kLauncherInterface),
                                 QStringLiteral("Update"), this, SLOT(OnUpdate(QDBusMessage))));
    }

    void cleanupTestCase() {
        QDBusConnection::disconnectFromBus(kListener);
        daemon_.terminate();
        daemon_.waitForFinished();
    }

    void listProgressReachesTheTaskbar() {
        const fs::path source = in_.Path() / "book.txt";
        WriteBytes(source, "abcdefghijklmnopqrstuvwxyz0123");
        CSonoleafDlg& w = OpenWindow();
        FillLengthList(w, source, out_.Path());
        speech->SetSpeakBlocks(true);
        Click(*FindControl(w, ui::kLengthListButton));
        QVERIFY(WaitForBlockedSpeaks(1));
        QVERIFY(Received([](const Update& u) {
            const double progress = u.properties.value("progress", -1.0).toDouble();
            return u.appUri == QLatin1String(ui::kLauncherAppUri) &&
                   u.properties.value("progress-visible").toBool() && progress >= 0.0 &&
                   progress <= 1.0 && u.properties.value("count").toLongLong() == 1;
        }));

        speech->SetSpeakBlocks(false);
        // A full bar is shown while the job waits at its closing messages.
        QVERIFY(Received([](const Update& u) {
            return u.properties.value("progress-visible").toBool() &&
                   u.properties.value("progress").toDouble() == 1.0;
        }));
        FOLLOW_ALERT("Text file to Audio List operation done", w.lengthListBusy, 1);
        FOLLOW_ALERT("Text File to Audio List Operation Ended", w.lengthListBusy, 0);
        EXPECT_RUN_ENDED(w, w.lengthListBusy);
        // Done: the last word is that no progress is to be shown.
        QVERIFY(WaitUntil(
            [&] {
                return !updates_.isEmpty() &&
                       updates_.back().properties.contains("progress-visible") &&
                       !updates_.back().properties.value("progress-visible").toBool() &&
                       !updates_.back().properties.value("count-visible").toBool();
            },
            kJobWaitMs));
    }
};

QTEST_MAIN(LauncherEntryTest)
#include "launcher_entry_qtest.moc"
