// Alerts as the user sees them: caption "Message Box for Alert", one OK button, no
// icon, the exact text; opened for worker threads by the GUI thread, several at once,
// never modal to the window; each blocks only its own caller.

#include <QAbstractButton>
#include <QLineEdit>
#include <QTest>
#include <thread>
#include <vector>

#include "jobs/alert.h"
#include "platform/dialogs/message_box.h"
#include "support/gui_test_base.h"
#include "ui/about_dlg.h"

using namespace sonoleaf;
using namespace sonoleaf::testing;

namespace {

// Threads that each show one alert and note when it has been dismissed.
class AlertThreads {
  public:
    explicit AlertThreads(const std::vector<std::string>& texts) : returned_(texts.size()) {
        for (std::size_t i = 0; i < texts.size(); ++i) {
            threads_.emplace_back([this, i, text = texts[i]] {
                ShowAlert(text);
                returned_[i] = true;
            });
        }
    }
    ~AlertThreads() {
        dialogs::CloseAllMessageBoxes();
        for (std::thread& t : threads_) t.join();
    }
    bool Returned(std::size_t i) const { return returned_[i].load(); }
    int ReturnedCount() const {
        int n = 0;
        for (const auto& r : returned_) n += r.load() ? 1 : 0;
        return n;
    }

  private:
    std::vector<std::atomic<bool>> returned_;
    std::vector<std::thread> threads_;
};

}  // namespace

class AlertBoxTest : public GuiTestBase {
    Q_OBJECT

  private slots:
    void boxLooksAsSpecified() {
        AlertThreads threads({"Text File to Speech Operation Ended"});
        QMessageBox* box = WaitForAlert(QStringLiteral("Text File to Speech Operation Ended"));
        QVERIFY(box != nullptr);
        QCOMPARE(box->windowTitle(), QStringLiteral("Message Box for Alert"));
        QCOMPARE(box->buttons().size(), 1);
        QCOMPARE(box->buttons().first()->text(), QStringLiteral("OK"));
        QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(box->icon(), QMessageBox::NoIcon);
        QCOMPARE(box->windowModality(), Qt::NonModal);
        QCOMPARE(box->parentWidget(), nullptr);
        QCOMPARE(box->textFormat(), Qt::PlainText);
        QVERIFY(!threads.Returned(0));
        QVERIFY(DismissAlert(QStringLiteral("Text File to Speech Operation Ended")));
        QVERIFY(WaitUntil([&] { return threads.Returned(0); }));
    }

    void textIsShownExactly_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("displayed");
        QTest::newRow("two lines")
            << "Text File Input Path is not set\r\nPlease set Text file input path correctly"
            << "Text File Input Path is not set\nPlease set Text file input path correctly";
        QTest::newRow("markup stays text") << "There is no <title>...</title> tag found"
                                           << "There is no <title>...</title> tag found";
        QTest::newRow("two blanks") << "Converted File  is Saved to: \"/a/b.txt\""
                                    << "Converted File  is Saved to: \"/a/b.txt\"";
        QTest::newRow("utf-8") << QStringLiteral("File is saved to: /tmp//\u0141\u00f3d\u017a.mp3")
                               << QStringLiteral("File is saved to: /tmp//\u0141\u00f3d\u017a.mp3");
    }
    void textIsShownExactly() {
        QFETCH(QString, text);
        QFETCH(QString, displayed);
        AlertThreads threads({text.toStdString()});
        QMessageBox* box = WaitForAlert(text);
        QVERIFY(box != nullptr);
        QCOMPARE(box->text(), displayed);
        QCOMPARE(OpenAlertTexts(), QStringList{text});
        QVERIFY(ClickOk(*box));
        QVERIFY(WaitUntil([&] { return threads.Returned(0); }));
    }

    void wideTextNamesTheRealFile() {
        std::thread worker([] { ShowAlertText(u"File is saved to: /out//\u0141ad.wav"); });
        QVERIFY(DismissAlert(QStringLiteral("File is saved to: /out//\u0141ad.wav")));
        worker.join();
    }

    void severalOpenAtOnceWhileWindowTakesInput() {
        CSonoleafDlg& w = OpenWindow();
        AlertThreads threads({"first", "second", "third"});
        QVERIFY(WaitForAlertCount(3));
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QVERIFY(w.isEnabled());

        // The window still takes typing and clicks.
        auto* start = FindControlAs<QLineEdit>(w, 1035);
        start->setFocus();
        QTest::keyClicks(start, QStringLiteral("5"));
        QCOMPARE(start->text(), QStringLiteral("5"));
        auto about = WhenShown<CAboutDlg>([](CAboutDlg* box) { box->accept(); });
        Click(*FindControl(w, 1037));
        QVERIFY(about->load());

        // Each box releases only its own thread.
        QCOMPARE(threads.ReturnedCount(), 0);
        QVERIFY(DismissAlert(QStringLiteral("second")));
        QVERIFY(WaitUntil([&] { return threads.Returned(1); }));
        QCOMPARE(threads.ReturnedCount(), 1);
        QCOMPARE(OpenAlertTexts().size(), 2);
        QCOMPARE(DismissAllAlerts(), 2);
        QVERIFY(WaitUntil([&] { return threads.ReturnedCount() == 3; }));
    }

    void alertOnGuiThreadWaitsInLocalLoop() {
        auto dismissed = WhenShown<QMessageBox>([](QMessageBox* box) { ClickOk(*box); });
        ShowAlert("from the window's own thread");
        QVERIFY(dismissed->load());
        QVERIFY(OpenAlerts().isEmpty());
    }

    void closingWindowClosesBoxesAndEndsTheirJobs() {
        CSonoleafDlg& w = OpenWindow();
        std::atomic<std::int32_t> flag{0};
        std::atomic<int> ended{0};
        for (int i = 0; i < 3; ++i) {
            std::atomic<std::int32_t>* own =
                i == 0 ? &flag : &w.BusyFlag(i == 1 ? Job::PdfToText : Job::MakeAudio);
            QVERIFY(w.Jobs().Launch(*own, [own, &ended] {
                ShowAlert("still open when the window closes");
                own->store(0);
                ++ended;
            }));
        }
        QVERIFY(WaitForAlertCount(3));
        w.close();
        QVERIFY(!w.isVisible());
        QCOMPARE(ended.load(), 3);
        QCOMPARE(w.Jobs().Running(), 0);
        QVERIFY(OpenAlerts().isEmpty());

        // Shutting down: boxes asked for now return at once.
        std::atomic<bool> returned{false};
        std::thread late([&] {
            ShowAlert("too late");
            returned = true;
        });
        QVERIFY(WaitUntil([&] { return returned.load(); }));
        late.join();
        QVERIFY(OpenAlerts().isEmpty());
    }
};

QTEST_MAIN(AlertBoxTest)
#include "alert_box_qtest.moc"
