// The About box: template 100, and its one way out, OK.

#include <QTest>

#include "support/gui_test_base.h"
#include "ui/about_dlg.h"
#include "ui/template_checks.h"

using namespace sonoleaf;
using namespace sonoleaf::testing;

class AboutBoxTest : public GuiTestBase {
    Q_OBJECT

  private slots:
    void controlsOfTemplate_data() { AddControlRows(AboutControls()); }
    void controlsOfTemplate() {
        QFETCH(int, index);
        CAboutDlg box;
        box.show();
        const QString problem = CheckControl(box, AboutControls()[index]);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    void frame() {
        CAboutDlg box;
        QCOMPARE(box.windowTitle(), QStringLiteral("About Sonoleaf"));
        QCOMPARE(box.size(), DluToPixels(box, 0, 0, 313, 120).size());
        QVERIFY(!box.windowIcon().isNull());
    }

    // The template's notice stays as it is; its full wording is given where it fits.
    void licenceNoticeIsTooltipAndDescription() {
        CAboutDlg box;
        box.show();
        const QString licence =
            QStringLiteral("Free software under the GNU GPL, version 3 or later.");
        QWidget* notice = FindItemByText(box, QStringLiteral("Free software"));
        QVERIFY(notice != nullptr);
        QCOMPARE(notice->toolTip(), licence);
        QCOMPARE(notice->accessibleDescription(), licence);
        QCOMPARE(box.accessibleDescription(), licence);
    }

    void waysToClose_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("result");
        QTest::newRow("OK button") << "ok" << static_cast<int>(QDialog::Accepted);
        QTest::newRow("Enter") << "enter" << static_cast<int>(QDialog::Accepted);
        QTest::newRow("Esc") << "escape" << static_cast<int>(QDialog::Rejected);
    }
    void waysToClose() {
        QFETCH(QString, how);
        QFETCH(int, result);
        CAboutDlg box;
        box.show();
        QWidget* ok = FindControl(box, 1);
        if (how == "ok") {
            Click(*ok);
        } else {
            PressKey(box, how == "enter" ? Qt::Key_Return : Qt::Key_Escape);
        }
        QVERIFY(!box.isVisible());
        QCOMPARE(box.result(), result);
    }
};

QTEST_MAIN(AboutBoxTest)
#include "about_box_qtest.moc"
