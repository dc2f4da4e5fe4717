// Without a D-Bus session bus the taskbar gets nothing and the jobs notice nothing:
// a list runs to its usual messages, and no other box appears.

#include <QTest>
#include <filesystem>

#include "support/gui_test_base.h"
#include "support/temp_dir.h"
#include "ui/control_ids.h"
#include "ui/job_run_checks.h"
#include "ui/sonoleaf_dlg.h"

using namespace sonoleaf;
using namespace sonoleaf::testing;
namespace fs = std::filesystem;

class NoSessionBusTest : public GuiTestBase {
    Q_OBJECT

    TempDir in_;
    TempDir out_;

  private slots:
    void initTestCase() {
        // Set before anything in this process asks for the session bus.
        const fs::path nowhere = in_.Path() / "no bus here";
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + QByteArray::fromStdString(nowhere));
    }

    void listRunsAsUsual() {
        const fs::path source = in_.Path() / "book.txt";
        WriteBytes(source, "abcdefghijklmnopqrstuvwxy");
        CSonoleafDlg& w = OpenWindow();
        FillLengthList(w, source, out_.Path());
        Click(*FindControl(w, ui::kLengthListButton));
        FOLLOW_ALERT("Text file to Audio List operation done", w.lengthListBusy, 1);
        FOLLOW_ALERT("Text File to Audio List Operation Ended", w.lengthListBusy, 0);
        EXPECT_RUN_ENDED(w, w.lengthListBusy);
        QCOMPARE(FileNames(out_.Path()), (QStringList{"book_1.mp3", "book_2.mp3", "book_3.mp3"}));
        QVERIFY(OpenMessageBoxes().isEmpty());
    }
};

QTEST_MAIN(NoSessionBusTest)
#include "no_session_bus_qtest.moc"
