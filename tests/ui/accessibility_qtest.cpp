// A screen reader can drive every window: each control has an accessible name, its
// caption or, for edits and trackbars, its label's text; labels point at what they
// label.

#include <QAccessible>
#include <QLabel>
#include <QMessageBox>
#include <QTest>

#include "jobs/alert.h"
#include "platform/dialogs/message_box.h"
#include "support/gui_test_base.h"
#include "ui/about_dlg.h"
#include "ui/template_checks.h"
#include "ui/voice_setting.h"

using namespace sonoleaf;
using namespace sonoleaf::testing;

namespace {

QString NameByBridge(QWidget* w) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
    return face != nullptr ? face->text(QAccessible::Name) : QString();
}

enum class Window { Main, Settings, About };

}  // namespace

class AccessibilityTest : public GuiTestBase {
    Q_OBJECT

    QWidget* Open(Window which) {
        switch (which) {
            case Window::Main:
                return &OpenWindow();
            case Window::Settings:
                OpenWindow().voiceSetting->Open();
                return window->voiceSetting.get();
            case Window::About:
                about_ = std::make_unique<CAboutDlg>();
                about_->show();
                return about_.get();
        }
        return nullptr;
    }
    static const std::vector<ExpectedControl>& Table(Window which) {
        switch (which) {
            case Window::Main:
                return MainWindowControls();
            case Window::Settings:
                return VoiceSettingControls();
            case Window::About:
                break;
        }
        return AboutControls();
    }

    std::unique_ptr<CAboutDlg> about_;

  private slots:
    void cleanup() {
        about_.reset();
        GuiTestBase::cleanup();
    }

    void namesOfControls_data() {
        QTest::addColumn<int>("which");
        QTest::addColumn<int>("index");
        for (Window which : {Window::Main, Window::Settings, Window::About}) {
            const auto& table = Table(which);
            for (std::size_t i = 0; i < table.size(); ++i) {
                const auto& c = table[i];
                const QString name =
                    QStringLiteral("%1 %2")
                        .arg(static_cast<int>(which))
                        .arg(c.id != -1 ? QString::number(c.id)
                                        : (c.text.isEmpty() ? QStringLiteral("icon") : c.text));
                QTest::newRow(qPrintable(name)) << static_cast<int>(which) << static_cast<int>(i);
            }
        }
    }
    void namesOfControls() {
        QFETCH(int, which);
        QFETCH(int, index);
        QWidget* dialog = Open(static_cast<Window>(which));
        const ExpectedControl& expected = Table(static_cast<Window>(which))[index];
        QWidget* control = Locate(*dialog, expected);
        QVERIFY(control != nullptr);
        if (expected.kind == Kind::Icon) {
            QVERIFY(!control->accessibleName().isEmpty());
        } else if (expected.kind == Kind::ComboBox) {  // Linux: named by its entry and its label
            const auto labels =
                QAccessible::queryAccessibleInterface(control)->relations(QAccessible::Label);
            QVERIFY(!labels.isEmpty() && NameByBridge(control) == TextOf(*control));
            QCOMPARE(labels.first().first->text(QAccessible::Name), expected.accessibleName);
            return;
        } else {
            QCOMPARE(control->accessibleName(), expected.accessibleName);
        }
        QCOMPARE(NameByBridge(control), control->accessibleName());
    }

    void labelsPointAtTheirControls_data() {
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("id");
        QTest::newRow("typed text") << "Write Something to speak or Make Audio" << 1002;
        QTest::newRow("source text") << "Path of Source Text file" << 1016;
        QTest::newRow("audio folder") << "Path of Destination Folder" << 1017;
        QTest::newRow("source pdf") << "Path of Source PDF file" << 1018;
        QTest::newRow("text folder") << "Path of Destination Folder to save Text" << 1019;
        QTest::newRow("length") << "Character Length (1 - 2^25):" << 1034;
        QTest::newRow("start number") << "Filename Starting Number(#):" << 1035;
    }
    void labelsPointAtTheirControls() {
        QFETCH(QString, label);
        QFETCH(int, id);
        CSonoleafDlg& w = OpenWindow();
        auto* item = qobject_cast<QLabel*>(FindItemByText(w, label));
        QVERIFY(item != nullptr);
        QCOMPARE(item->buddy(), FindControl(w, id));
    }

    void windowsAndBrowseButtonsAreNamed() {
        CSonoleafDlg& w = OpenWindow();
        QCOMPARE(NameByBridge(&w), QStringLiteral("Sonoleaf"));
        QCOMPARE(w.voiceSetting->accessibleName(), QStringLiteral("Voice Setting"));
        for (int id : {1016, 1017, 1018, 1019}) {
            for (QWidget* child : FindControl(w, id)->findChildren<QWidget*>()) {
                if (!child->isVisible()) continue;
                QVERIFY2(!NameByBridge(child).isEmpty(),
                         qPrintable(child->metaObject()->className()));
            }
        }
    }

    void alertBoxIsNamedByCaptionAndText() {
        auto box = dialogs::CreateMessageBox(kAlertCaption, u"Text File to Speech Operation Ended");
        box->show();
        QCOMPARE(NameByBridge(box.get()), QStringLiteral("Message Box for Alert"));
        QCOMPARE(box->accessibleDescription(),
                 QStringLiteral("Text File to Speech Operation Ended"));
        QCOMPARE(NameByBridge(box->button(QMessageBox::Ok)), QStringLiteral("OK"));
    }
};

QTEST_MAIN(AccessibilityTest)
#include "accessibility_qtest.moc"
