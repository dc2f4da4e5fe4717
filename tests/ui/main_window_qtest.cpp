// The main window as its user meets it: every control of template 102 at its place,
// the fields at start, the headings, the background, the keyboard rules, the context
// menu, Help and About.

#include <QAbstractButton>
#include <QAction>
#include <QContextMenuEvent>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "platform/dialogs/browse_edit.h"
#include "platform/dialogs/multi_line_edit.h"
#include "support/fake_program.h"
#include "support/gui_test_base.h"
#include "ui/about_dlg.h"
#include "ui/art.h"
#include "ui/sonoleaf_dlg.h"
#include "ui/template_checks.h"
#include "ui/voice_setting.h"

using namespace sonoleaf;
using namespace sonoleaf::testing;

class MainWindowTest : public GuiTestBase {
    Q_OBJECT

  private slots:
    void controlsOfTemplate_data() { AddControlRows(MainWindowControls()); }
    void controlsOfTemplate() {
        QFETCH(int, index);
        CSonoleafDlg& w = OpenWindow();
        const QString problem = CheckControl(w, MainWindowControls()[index]);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    void everyTemplateItemIsBuilt() {
        CSonoleafDlg& w = OpenWindow();
        int items = 0;
        for (QWidget* child : w.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (child->property("controlId").isValid()) ++items;
        }
        QCOMPARE(items, static_cast<int>(MainWindowControls().size()));
    }

    void windowFrame() {
        CSonoleafDlg& w = OpenWindow();
        QCOMPARE(w.windowTitle(), QStringLiteral("Sonoleaf"));
        const QSize size = DluToPixels(w, 0, 0, 613, 308).size();
        QCOMPARE(w.size(), size);
        QCOMPARE(w.minimumSize(), size);
        QCOMPARE(w.maximumSize(), size);
        QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(!w.windowIcon().isNull());
        QCOMPARE(w.windowIcon().availableSizes().size(), ui::IconSizes(128).size());
    }

    void tabOrderFollowsTemplate() {
        CSonoleafDlg& w = OpenWindow();
        const QString problem = CheckTabOrder(w, MainWindowControls());
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    void noPushButtonIsDefault() {
        CSonoleafDlg& w = OpenWindow();
        for (QPushButton* button : w.findChildren<QPushButton*>()) {
            QVERIFY2(!button->property("defaultButton").toBool(), qPrintable(button->text()));
        }
    }

    void fieldsAtStart() {
        CSonoleafDlg& w = OpenWindow();
        for (int id : {1016, 1017, 1018, 1019, 1035}) {
            QCOMPARE(FindControlAs<QLineEdit>(w, id)->text(), QString());
        }
        QCOMPARE(FindControlAs<QPlainTextEdit>(w, 1002)->toPlainText(), QString());
        QCOMPARE(FindControlAs<QLineEdit>(w, 1034)->text(), QStringLiteral("0"));
        QCOMPARE(w.charLengthValue, 0);
        for (Job job : {Job::VoiceSetting, Job::PdfToText, Job::SpeakNow, Job::MakeAudio,
                        Job::SpeakFile, Job::FileToAudio, Job::LengthList, Job::TitleList}) {
            QCOMPARE(w.BusyFlag(job).load(), 0);
        }
        QVERIFY(w.voiceSetting != nullptr);
        QVERIFY(!w.voiceSetting->isVisible());
        QCOMPARE(QApplication::focusWidget(), FindControl(w, 1000));
    }

    void membersAreBoundToTheirControls() {
        CSonoleafDlg& w = OpenWindow();
        QCOMPARE(static_cast<QWidget*>(w.typedTextEdit.data()), FindControl(w, 1002));
        QCOMPARE(static_cast<QWidget*>(w.pdfSourceBrowse.data()), FindControl(w, 1018));
        QCOMPARE(static_cast<QWidget*>(w.textFolderBrowse.data()), FindControl(w, 1019));
        QCOMPARE(static_cast<QWidget*>(w.textSourceBrowse.data()), FindControl(w, 1016));
        QCOMPARE(static_cast<QWidget*>(w.audioFolderBrowse.data()), FindControl(w, 1017));
        QCOMPARE(static_cast<QWidget*>(w.charLengthEdit.data()), FindControl(w, 1034));
        QCOMPARE(static_cast<QWidget*>(w.pdfHeading.data()), FindControl(w, 1038));
        QCOMPARE(static_cast<QWidget*>(w.audioHeading.data()), FindControl(w, 1039));
        QCOMPARE(static_cast<QWidget*>(w.startNumberEdit.data()), FindControl(w, 1035));
    }

    void headingsInArial15() {
        CSonoleafDlg& w = OpenWindow();
        for (int id : {1038, 1039}) {
            const QFont font = FindControl(w, id)->font();
            QCOMPARE(font.family(), QStringLiteral("Arial"));
            QCOMPARE(font.pointSize(), 15);
            // fonts-liberation's metric-compatible face stands in for Arial.
            const QString resolved = QFontInfo(font).family();
            QVERIFY2(resolved == QStringLiteral("Liberation Sans") ||
                         resolved == QStringLiteral("Arial"),
                     qPrintable(resolved));
        }
        QCOMPARE(FindControl(w, 1000)->font(), w.font());
    }

    void backgroundIsTheBitmapTiled() {
        CSonoleafDlg& w = OpenWindow();
        const QImage bitmap = ui::Bitmap(137).toImage();
        QCOMPARE(bitmap.size(), QSize(550, 275));
        const QImage shot = w.grab().toImage();
        // Points where no control stands, one of them beyond the first tile.
        for (const QPoint dlu : {QPoint(100, 200), QPoint(571, 297), QPoint(200, 140)}) {
            const QPoint px = DluToPixels(w, dlu.x(), dlu.y(), 0, 0).topLeft();
            QVERIFY(w.childAt(px) == nullptr);
            const QPoint inTile(px.x() % bitmap.width(), px.y() % bitmap.height());
            QCOMPARE(shot.pixelColor(px).rgb(), bitmap.pixelColor(inTile).rgb());
        }
    }

    void iconsAreOurArt() {
        for (int size : ui::IconSizes(128)) {
            QCOMPARE(QImage(ui::IconResourcePath(128, size)).size(), QSize(size, size));
        }
        for (int size : ui::IconSizes(132)) {
            QCOMPARE(QImage(ui::IconResourcePath(132, size)).size(), QSize(size, size));
        }
        QCOMPARE(ui::IconSizes(128).first(), 16);
        QCOMPARE(ui::IconSizes(128).last(), 128);
        QCOMPARE(ui::IconSizes(132).first(), 16);
        QCOMPARE(ui::IconSizes(132).last(), 256);
    }

    void browseModes_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<bool>("fileMode");
        QTest::newRow("1016 source text") << 1016 << true;
        QTest::newRow("1017 audio folder") << 1017 << false;
        QTest::newRow("1018 source pdf") << 1018 << true;
        QTest::newRow("1019 text folder") << 1019 << false;
    }
    void browseModes() {
        QFETCH(int, id);
        QFETCH(bool, fileMode);
        CSonoleafDlg& w = OpenWindow();
        auto* edit = FindControlAs<dialogs::BrowseEdit>(w, id);
        QVERIFY(edit != nullptr);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString file = dir.filePath(QStringLiteral("book ł.txt"));
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        const QString chosen = fileMode ? file : dir.path();
        QFileDialog::FileMode seenMode = QFileDialog::AnyFile;
        QStringList seenFilters;
        auto picked = WhenShown<QFileDialog>([&](QFileDialog* picker) {
            seenMode = picker->fileMode();
            seenFilters = picker->nameFilters();
            // As a user would: go to the folder and, for a file, type its name.
            picker->setDirectory(dir.path());
            if (fileMode) {
                auto* name = picker->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                QVERIFY(name != nullptr);
                name->setText(QFileInfo(chosen).fileName());
            }
            static_cast<QDialog*>(picker)->accept();
        });
        edit->BrowseAction()->trigger();
        QVERIFY(picked->load());
        QCOMPARE(seenMode, fileMode ? QFileDialog::ExistingFile : QFileDialog::Directory);
        const char* books =
            "PDF and EPUB files (*.pdf *.epub);;PDF files (*.pdf);;EPUB files "
            "(*.epub);;All files (*)";  // the source PDF field's
        if (fileMode) QCOMPARE(seenFilters.join(";;"), id == 1018 ? books : "All Files (*)");
        QCOMPARE(QDir::cleanPath(edit->text()), QDir::cleanPath(chosen));
    }

    void browseCancelKeepsText() {
        CSonoleafDlg& w = OpenWindow();
        auto* edit = FindControlAs<dialogs::BrowseEdit>(w, 1016);
        edit->setText(QStringLiteral("typed by hand"));
        auto picked = WhenShown<QFileDialog>([](QFileDialog* picker) { picker->reject(); });
        edit->BrowseAction()->trigger();
        QVERIFY(picked->load());
        QCOMPARE(edit->text(), QStringLiteral("typed by hand"));
    }

    void fieldsTakeAnyText() {
        CSonoleafDlg& w = OpenWindow();
        // Typed (ASCII keys), then pasted (any characters).
        const QString typedPart = QStringLiteral(" /x/../<title>\"'; rm -rf ~ %s %n ");
        const QString pastedPart = QStringLiteral("\u0141\u00f3d\u017a \U0001F600 \u202e");
        const QString odd = typedPart + pastedPart;
        for (int id : {1016, 1017, 1018, 1019, 1034, 1035}) {
            auto* edit = FindControlAs<QLineEdit>(w, id);
            edit->clear();
            QTest::keyClicks(edit, typedPart);
            edit->insert(pastedPart);
            QCOMPARE(edit->text(), odd);
            QCOMPARE(QString::fromStdU16String(w.ReadControlText(id)), odd);
        }
        auto* typed = FindControlAs<QPlainTextEdit>(w, 1002);
        QTest::keyClicks(typed, typedPart);
        typed->insertPlainText(pastedPart);
        QCOMPARE(QString::fromStdU16String(w.ReadControlText(1002)), odd);
        QVERIFY(w.isVisible());
    }

    // Enter elsewhere than on a push button runs OK: data exchange, then the end.
    void enterClosesWhenLengthIsANumber_data() {
        QTest::addColumn<QString>("length");
        QTest::addColumn<int>("value");
        QTest::newRow("start value") << "0" << 0;
        QTest::newRow("blanks around") << "  42 " << 42;
        QTest::newRow("minus") << "-7" << -7;
        QTest::newRow("plus") << "+5" << 5;
        QTest::newRow("largest") << "2147483647" << 2147483647;
        QTest::newRow("smallest") << "-2147483648" << static_cast<int>(-2147483648LL);
        QTest::newRow("leading zeros") << "007" << 7;
    }
    void enterClosesWhenLengthIsANumber() {
        QFETCH(QString, length);
        QFETCH(int, value);
        CSonoleafDlg& w = OpenWindow();
        FindControlAs<QLineEdit>(w, 1034)->setText(length);
        auto* typed = FindControlAs<QPlainTextEdit>(w, 1002);
        typed->setFocus();
        QTest::keyClicks(typed, QStringLiteral("hello"));
        PressKey(*typed, Qt::Key_Return);
        QVERIFY(!w.isVisible());
        QCOMPARE(w.result(), static_cast<int>(QDialog::Accepted));
        QCOMPARE(w.charLengthValue, value);
        QCOMPARE(typed->toPlainText(), QStringLiteral("hello"));  // Enter was no text
        QVERIFY(OpenMessageBoxes().isEmpty());
    }

    void enterFromOtherFieldsCloses_data() {
        QTest::addColumn<int>("id");
        for (int id : {1016, 1017, 1018, 1019, 1034, 1035})
            QTest::newRow(qPrintable(QString::number(id))) << id;
    }
    void enterFromOtherFieldsCloses() {
        QFETCH(int, id);
        CSonoleafDlg& w = OpenWindow();
        QWidget* field = FindControl(w, id);
        field->setFocus();
        PressKey(*field, Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(!w.isVisible());
        QCOMPARE(w.result(), static_cast<int>(QDialog::Accepted));
    }

    void enterWithNonNumberKeepsWindowOpen_data() {
        QTest::addColumn<QString>("length");
        QTest::newRow("letters") << "abc";
        QTest::newRow("empty") << "";
        QTest::newRow("blanks only") << "   ";
        QTest::newRow("trailing letter") << "12a";
        QTest::newRow("exponent") << "1e3";
        QTest::newRow("too large") << "2147483648";
        QTest::newRow("too small") << "-2147483649";
        QTest::newRow("twenty nines") << "99999999999999999999";
        QTest::newRow("sign only") << "-";
        QTest::newRow("inner blank") << "1 2";
        QTest::newRow("decimal") << "3.5";
    }
    void enterWithNonNumberKeepsWindowOpen() {
        QFETCH(QString, length);
        CSonoleafDlg& w = OpenWindow();
        auto* lengthEdit = FindControlAs<QLineEdit>(w, 1034);
        lengthEdit->setText(length);
        QString shown;
        int buttons = 0;
        auto seen = WhenShown<QMessageBox>([&](QMessageBox* box) {
            shown = MessageText(*box);
            buttons = box->buttons().size();
            ClickOk(*box);
        });
        auto* typed = FindControlAs<QPlainTextEdit>(w, 1002);
        typed->setFocus();
        PressKey(*typed, Qt::Key_Return);
        QVERIFY(seen->load());
        QCOMPARE(shown, QStringLiteral("Please enter an integer."));
        QCOMPARE(buttons, 1);
        QVERIFY(w.isVisible());
        QCOMPARE(w.charLengthValue, 0);
        QCOMPARE(lengthEdit->text(), length);
        QCOMPARE(w.focusWidget(), static_cast<QWidget*>(lengthEdit));
    }

    void ctrlEnterBreaksTheLine() {
        CSonoleafDlg& w = OpenWindow();
        auto* typed = FindControlAs<QPlainTextEdit>(w, 1002);
        typed->setFocus();
        QTest::keyClicks(typed, QStringLiteral("one"));
        PressKey(*typed, Qt::Key_Return, Qt::ControlModifier);
        QTest::keyClicks(typed, QStringLiteral("two"));
        QVERIFY(w.isVisible());
        QCOMPARE(typed->toPlainText(), QStringLiteral("one\ntwo"));
    }

    void escapeCancels() {
        CSonoleafDlg& w = OpenWindow();
        FindControlAs<QLineEdit>(w, 1034)->setText(QStringLiteral("not a number"));
        QWidget* field = FindControl(w, 1016);
        field->setFocus();
        PressKey(*field, Qt::Key_Escape);
        QVERIFY(!w.isVisible());
        QCOMPARE(w.result(), static_cast<int>(QDialog::Rejected));
        QVERIFY(OpenMessageBoxes().isEmpty());
    }

    void closeBoxCancels() {
        CSonoleafDlg& w = OpenWindow();
        QVERIFY(w.close());
        QVERIFY(!w.isVisible());
        QCOMPARE(w.result(), static_cast<int>(QDialog::Rejected));
    }

    void enterOnPushButtonPressesIt() {
        CSonoleafDlg& w = OpenWindow();
        QWidget* about = FindControl(w, 1037);
        about->setFocus();
        auto opened = WhenShown<CAboutDlg>([](CAboutDlg* box) { box->close(); });
        PressKey(*about, Qt::Key_Return);
        QVERIFY(opened->load());
        QVERIFY(w.isVisible());
    }

    void contextMenuStandsInForSystemMenu() {
        CSonoleafDlg& w = OpenWindow();
        QStringList items;
        int separators = 0;
        auto aboutShown = std::make_shared<std::atomic<bool>>(false);
        auto menuShown = WhenShown<QMenu>([&](QMenu* menu) {
            for (QAction* action : menu->actions()) {
                if (action->isSeparator()) {
                    ++separators;
                } else {
                    items << action->text();
                }
            }
            aboutShown = WhenShown<CAboutDlg>([](CAboutDlg* box) { box->accept(); });
            menu->actions().last()->trigger();
            menu->close();
        });
        const QPoint background = DluToPixels(w, 100, 200, 0, 0).topLeft();
        QContextMenuEvent event(QContextMenuEvent::Mouse, background, w.mapToGlobal(background));
        QApplication::sendEvent(&w, &event);
        QVERIFY(menuShown->load());
        QVERIFY(WaitUntil([&] { return aboutShown->load(); }));
        QCOMPARE(items, (QStringList{QStringLiteral("Minimise"), QStringLiteral("Close"),
                                     QStringLiteral("About")}));
        QCOMPARE(separators, 0);
        QVERIFY(w.isVisible());
    }

    void menuKeyOpensTheSameMenu() {
        CSonoleafDlg& w = OpenWindow();
        QStringList items;
        auto shown = WhenShown<QMenu>([&](QMenu* menu) {
            for (QAction* action : menu->actions()) items << action->text();
            menu->close();
        });
        QWidget* button = FindControl(w, 1000);
        button->setFocus();
        QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(2, 2),
                                button->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(button, &event);
        QVERIFY(shown->load());
        QCOMPARE(items.last(), QStringLiteral("About"));
    }

    void systemCommandAboutOpensOneBoxEachTime() {
        CSonoleafDlg& w = OpenWindow();
        for (unsigned command : {0x0010u, 0x0013u, 0x0010u}) {
            int boxesWhileOpen = 0;
            auto shown = WhenShown<CAboutDlg>([&](CAboutDlg* box) {
                boxesWhileOpen = VisibleWindows<CAboutDlg>().size();
                QCOMPARE(box->windowTitle(), QStringLiteral("About Sonoleaf"));
                Click(*FindControl(*box, 1));
            });
            w.OnSysCommand(command);
            QVERIFY(shown->load());
            QCOMPARE(boxesWhileOpen, 1);
            QCOMPARE(w.findChildren<CAboutDlg*>().size(), 0);  // released when it closed
        }
    }

    void systemCommandMinimiseAndClose() {
        CSonoleafDlg& w = OpenWindow();
        w.OnSysCommand(0xF020);
        QVERIFY(WaitUntil([&] { return w.isMinimized(); }));
        w.showNormal();
        w.OnSysCommand(0xF060);
        QVERIFY(!w.isVisible());
        QCOMPARE(w.result(), static_cast<int>(QDialog::Rejected));
    }

    void aboutButtonOpensAboutBox() {
        CSonoleafDlg& w = OpenWindow();
        QStringList texts;
        auto shown = WhenShown<CAboutDlg>([&](CAboutDlg* box) {
            for (QLabel* label : box->findChildren<QLabel*>()) texts << label->text();
            PressKey(*box, Qt::Key_Return);  // Enter presses the default button OK
        });
        Click(*FindControl(w, 1037));
        QVERIFY(shown->load());
        QVERIFY(texts.contains(QStringLiteral("Sonoleaf Version 1.0")));
        QVERIFY(VisibleWindows<CAboutDlg>().isEmpty());
    }

    // Help starts xdg-open on the help file of the current directory, and xchm when
    // xdg-open finds no handler (stand-ins for both, alone on PATH).
    void helpOpensTheHelpFileOfTheCurrentDirectory_data() {
        QTest::addColumn<int>("xdgOpenStatus");
        QTest::addColumn<QString>("opener");
        QTest::newRow("desktop has a handler") << 0 << "xdg-open";
        QTest::newRow("no handler: xchm") << 3 << "xchm";
    }
    void helpOpensTheHelpFileOfTheCurrentDirectory() {
        QFETCH(int, xdgOpenStatus);
        QFETCH(QString, opener);
        CSonoleafDlg& w = OpenWindow();
        QTemporaryDir fakes;
        QTemporaryDir elsewhere;
        QVERIFY(!WriteRecordingProgram(fakes.path(), "xdg-open", fakes.filePath("xdg-open.record"),
                                       xdgOpenStatus)
                     .isEmpty());
        QVERIFY(!WriteRecordingProgram(fakes.path(), "xchm", fakes.filePath("xchm.record"), 0)
                     .isEmpty());
        // A file in the current directory wins over any installed one.
        QFile help(elsewhere.filePath(QStringLiteral("Sonoleaf_Help.chm")));
        QVERIFY(help.open(QIODevice::WriteOnly));
        {
            PathGuard path(fakes.path());
            const QString before = QDir::currentPath();
            QVERIFY(QDir::setCurrent(elsewhere.path()));
            Click(*FindControl(w, 1006));
            QDir::setCurrent(before);
        }
        QFile record(fakes.filePath(opener + QStringLiteral(".record")));
        QVERIFY(WaitUntil([&] { return record.exists(); }));
        QVERIFY(record.open(QIODevice::ReadOnly));
        QCOMPARE(QFileInfo(QString::fromUtf8(record.readAll())).canonicalFilePath(),
                 QFileInfo(help).canonicalFilePath());
        // Nothing of the program's own.
        QTest::qWait(50);
        QVERIFY(OpenMessageBoxes().isEmpty());
        QVERIFY(w.isVisible());
    }

    void stopWithNothingRunningChangesNothing() {
        CSonoleafDlg& w = OpenWindow();
        Click(*FindControl(w, 1033));
        QTest::qWait(20);
        QVERIFY(OpenMessageBoxes().isEmpty());
        QCOMPARE(w.Jobs().Running(), 0);
        QVERIFY(w.isVisible());
    }

    // A file given to the program ("Open With") or dropped onto any part of the window
    // lands in the field that takes it; a path that names no file changes nothing.
    void openedAndDroppedFilesLandInTheirFields() {
        CSonoleafDlg& w = OpenWindow();
        QTemporaryDir dir;
        const QString book = dir.filePath(QStringLiteral("guide.EPUB"));
        const QString pdf = dir.filePath(QStringLiteral("manual.pdf"));
        const QString text = dir.filePath(QStringLiteral("notes.txt"));
        for (const QString& path : {book, pdf, text}) QFile(path).open(QIODevice::WriteOnly);
        QVERIFY(w.OpenFile(book) && w.OpenFile(text));
        QCOMPARE(w.pdfSourceBrowse->text(), book);
        QCOMPARE(w.textSourceBrowse->text(), text);
        QVERIFY(!w.OpenFile(dir.filePath(QStringLiteral("missing.pdf"))));
        QCOMPARE(w.pdfSourceBrowse->text(), book);

        // Dropped onto the window, and onto a field that would take text.
        for (QWidget* target :
             {static_cast<QWidget*>(&w), static_cast<QWidget*>(w.audioFolderBrowse.data())}) {
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(pdf)});
            QDragEnterEvent enter({5, 5}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(target, &enter);
            QVERIFY(enter.isAccepted());
            QDropEvent drop({5, 5}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(target, &drop);
            QCOMPARE(w.pdfSourceBrowse->text(), pdf);
            QVERIFY(w.audioFolderBrowse->text().isEmpty());
            w.pdfSourceBrowse->clear();
        }
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_qtest.moc"
