// Real books through the window, with the real speech service and the render helpers
// the program uses: calibre's quick-start guides become, through "Convert PDF to
// Text", texts whose "Audio list by Title Tag" makes one file per chapter, tagged with
// the book's title and author (read back by ffprobe) and read in the book's language;
// bad input gets its message and leaves nothing; the check box marks a PDF's chapters
// from its outline, or says there is none.

#include <QCheckBox>
#include <QTest>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "book/book_import.h"
#include "book/epub_builder.h"
#include "book/outline_pdf.h"
#include "lists/title_scan.h"
#include "pdf/minimal_pdf.h"
#include "speech/speech_engine.h"
#include "support/gui_test_base.h"
#include "support/probed_tags.h"
#include "support/temp_dir.h"
#include "ui/control_ids.h"
#include "ui/job_run_checks.h"
#include "ui/sonoleaf_dlg.h"

using namespace sonoleaf;
using namespace sonoleaf::testing;
namespace fs = std::filesystem;

namespace {

constexpr char kSavedTo[] = "Converted File  is Saved to: ";
constexpr char kCompleted[] = "Audio list by given <title>...</title> tag completed";
constexpr char kEnded[] = "Text File to Audio List By given Titles Operation Ended";
// The chapters of a book that the list speaks: enough to show one file per chapter.
constexpr std::size_t kChaptersSpoken = 3;

QString Quoted(const QString& path) {
    return "\"" + path + "\"";
}

fs::path TestBook(const std::string& name) {
    return fs::path(qEnvironmentVariable("SONOLEAF_TEST_BOOKS").toStdString()) / name;
}

// Each passage's first line: the chapter's title, which is spoken first.
QStringList PassageTitles(const std::string& text) {
    QStringList titles;
    for (const TitlePair& pair : ScanTitlePairs(text)) {
        const std::string passage =
            text.substr(pair.passageBegin, pair.passageEnd - pair.passageBegin);
        titles << QString::fromStdString(passage.substr(0, passage.find('\n')));
    }
    return titles;
}

}  // namespace

class JobsBookTest : public GuiTestBase {
    Q_OBJECT

    // Runs "Convert PDF to Text" on `source` into `folder`; returns the first alert's
    // text, the alert left open.
    QString Convert(CSonoleafDlg& w, const fs::path& source, const fs::path& folder) {
        SetField(w, kPdfSourceBrowse, Q(source));
        SetField(w, kTextFolderBrowse, Q(folder));
        Click(*FindControl(w, ui::kConvertPdfButton));
        if (!WaitUntil([] { return !OpenAlerts().isEmpty(); }, kJobWaitMs)) return {};
        return OpenAlertTexts().value(0);
    }

  private slots:
    void initTestCase() {
        // The user's language must not pick the German voice: the book's must.
        qputenv("LC_ALL", "C.UTF-8");
        QVERIFY2(fs::exists(TestBook("eng.epub")) && fs::exists(TestBook("deu.epub")),
                 "run through ctest (its fixture fetches the books), or set SONOLEAF_TEST_BOOKS "
                 "to a folder filled by scripts/fetch-test-books");
    }

    void realBookMakesOneFilePerChapter_data() {
        QTest::addColumn<QString>("book");
        QTest::addColumn<int>("chapters");
        QTest::addColumn<QStringList>("firstTitles");
        QTest::addColumn<QString>("album");
        QTest::addColumn<QString>("comment");  // names the voice that read it
        QTest::newRow("English guide: Flite's voice")
            << "eng" << 22
            << QStringList{"Calibre Quick Start Guide", "Table of Contents", "Introduction"}
            << "Quick Start Guide"
            << "Read by Flite rms (US English) Male";
        QTest::newRow("German guide: a German voice")
            << "deu" << 22
            << QStringList{"Calibre Kurzanleitung", "Inhaltsverzeichnis", "Einleitung"}
            << "Kurzanleitung"
            << "Read by eSpeak NG German Male";
    }
    void realBookMakesOneFilePerChapter() {
        QFETCH(QString, book);
        QFETCH(int, chapters);
        QFETCH(QStringList, firstTitles);
        QFETCH(QString, album);
        QFETCH(QString, comment);
        TempDir work;
        const fs::path text = work.Path() / (book.toStdString() + ".txt");
        const fs::path audio = work.Path() / "audio";
        fs::create_directories(audio);
        CSonoleafDlg& w = OpenWindow(SystemSpeech());
        w.speechEngine->EnableRenderHelpers(2);  // as the program does: a process per file

        const QString saved = Convert(w, TestBook(book.toStdString() + ".epub"), work.Path());
        QCOMPARE(saved, kSavedTo + Quoted(Q(text)));
        FOLLOW_ALERT(saved, w.pdfToTextBusy, 1);
        EXPECT_RUN_ENDED(w, w.pdfToTextBusy);
        const std::string bytes = ReadBytes(text);
        const std::vector<TitlePair> pairs = ScanTitlePairs(bytes);
        QCOMPARE(static_cast<int>(pairs.size()), chapters);
        QCOMPARE(PassageTitles(bytes).mid(0, firstTitles.size()), firstTitles);

        // The list of the first chapters only, the metadata beside the text as the
        // import left it.
        WriteBytes(
            text, bytes.substr(0, pairs[kChaptersSpoken - 1].passageEnd + kClosingTitleTag.size()));
        SetField(w, kTextSourceBrowse, Q(text));
        SetField(w, kAudioFolderBrowse, Q(audio));
        SetField(w, kStartNumberEdit, QStringLiteral("1"));
        Click(*FindControl(w, ui::kTitleListButton));
        FOLLOW_ALERT(kCompleted, w.titleListBusy, 1);
        FOLLOW_ALERT(kEnded, w.titleListBusy, 0);
        EXPECT_RUN_ENDED(w, w.titleListBusy);
        QCOMPARE(FileNames(audio).size(), static_cast<qsizetype>(kChaptersSpoken));
        for (std::size_t k = 1; k <= kChaptersSpoken; ++k) {
            const QString number = QString::number(k);
            const fs::path file = audio / (book + "_" + number + ".mp3").toStdString();
            EXPECT_SPEECH_FILE(file, true, 1.0, 900.0);
            std::map<std::string, std::string> tags = ProbedTags(file);
            const std::map<std::string, std::string> expected = {
                {"title", (book + " " + number).toStdString()},
                {"album", album.toStdString()},
                {"artist", "John Schember"},
                {"track", (number + "/3").toStdString()},
                {"comment", comment.toStdString()}};
            for (const auto& [name, value] : expected)
                QVERIFY2(tags.contains(name) && tags.at(name) == value,
                         qPrintable(QString::fromStdString(name + ": " + tags[name])));
        }
    }

    // Each fault gets its message as a failure, and no text, metadata or cover is left.
    void badInputGetsItsMessageAndLeavesNothing_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");  // what the file holds
        QTest::addColumn<bool>("chapters");
        QTest::addColumn<bool>("folderExists");
        QTest::addColumn<QString>("message");  // after the quoted source path
        QTest::newRow("plain text named .epub")
            << "notes.epub"
            << "text" << false << true << " is not a readable EPUB: ";
        QTest::newRow("real EPUB cut in half")
            << "cut.epub"
            << "half" << false << true << " is not a readable EPUB: ";
        QTest::newRow("EPUB with DRM") << "locked.epub"
                                       << "drm" << false << true << ": This File is Encrypted";
        QTest::newRow("chapters of a PDF that is none")
            << "paper.pdf"
            << "text" << true << true << " is not a readable PDF: ";
        QTest::newRow("EPUB into a folder that is not there") << "guide.epub"
                                                              << "real" << false << false << "";
    }
    void badInputGetsItsMessageAndLeavesNothing() {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(bool, chapters);
        QFETCH(bool, folderExists);
        QFETCH(QString, message);
        TempDir work;
        const fs::path source = work.Path() / name.toStdString();
        const std::string real = ReadBytes(TestBook("eng.epub"));
        if (kind == "text") WriteBytes(source, "Just some words, no book at all.\n");
        if (kind == "half") WriteBytes(source, real.substr(0, real.size() / 2));
        if (kind == "real") WriteBytes(source, real);
        if (kind == "drm") {
            QVERIFY(WriteZip(
                source.string(),
                EpubFiles(
                    {{"META-INF/encryption.xml",
                      "<encryption xmlns=\"urn:oasis:names:tc:opendocument:xmlns:"
                      "container\" xmlns:enc=\"http://www.w3.org/2001/04/xmlenc#\">"
                      "<enc:EncryptedData><enc:EncryptionMethod Algorithm=\"http://www.w3."
                      "org/2001/04/xmlenc#aes128-cbc\"/><enc:CipherData><enc:"
                      "CipherReference URI=\"OEBPS/a.xhtml\"/></enc:CipherData></enc:"
                      "EncryptedData></encryption>"},
                     {"OEBPS/content.opf", Opf(Item("a", "a.xhtml"), "<itemref idref=\"a\"/>")},
                     {"OEBPS/a.xhtml", "scrambled"}})));
        }
        const fs::path out = work.Path() / "out";
        if (folderExists) fs::create_directories(out);
        CSonoleafDlg& w = OpenWindow();
        if (chapters) Click(*FindControl(w, kPdfChaptersCheck));
        const QString shown = Convert(w, source, out);
        const QString stem = QFileInfo(name).completeBaseName();
        const QString expected = folderExists ? Quoted(Q(source)) + message
                                              : Quoted(Q(out / (stem + ".txt").toStdString())) +
                                                    " could not be written: ";
        QVERIFY2(shown.startsWith(expected), qPrintable(shown));
        FOLLOW_ALERT(shown, w.pdfToTextBusy, 1);
        EXPECT_RUN_ENDED(w, w.pdfToTextBusy);
        QStringList left{name};
        if (folderExists) left << "out";
        left.sort();
        QCOMPARE(FileNames(work.Path()), left);
        if (folderExists) QVERIFY(FileNames(out).isEmpty());
    }

    // The box, reached by Tab from the folder field and ticked with Space, marks each
    // top-level outline entry as a passage; without an outline the text is the plain
    // one and a second message says why. Left off, a PDF converts as it always did.
    void checkBoxMarksChaptersFromTheOutline_data() {
        QTest::addColumn<bool>("outline");
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<QStringList>("titles");  // of the passages
        QTest::addColumn<bool>("noOutlineMessage");
        QTest::newRow("outline, box ticked")
            << true << true << QStringList{"Test Book", "Chapter One", "Chapter Two"} << false;
        QTest::newRow("outline, box off") << true << false << QStringList() << false;
        QTest::newRow("no outline, box ticked") << false << true << QStringList() << true;
    }
    void checkBoxMarksChaptersFromTheOutline() {
        QFETCH(bool, outline);
        QFETCH(bool, ticked);
        QFETCH(QStringList, titles);
        QFETCH(bool, noOutlineMessage);
        TempDir work;
        const fs::path pdf = work.Path() / "book.pdf";
        WriteBytes(pdf, outline ? OutlinePdfWriter().Write(
                                      {{"Front matter words"},
                                       {"Chapter One", "alpha words"},
                                       {"Chapter Two", "beta words"}},
                                      {{"Chapter One", 2, {}}, {"Chapter Two", 3, {}}}, "Test Book",
                                      "Ann Writer")
                                : MinimalPdf("Only words"));
        CSonoleafDlg& w = OpenWindow();
        auto* box = FindControlAs<QCheckBox>(w, kPdfChaptersCheck);
        QVERIFY(box != nullptr && !box->isChecked());
        QVERIFY(box->sizeHint().width() <= box->width());  // its caption is not cut
        if (ticked) {
            FindControl(w, kTextFolderBrowse)->setFocus();
            PressKey(*QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), box);
            PressKey(*box, Qt::Key_Space);
            QVERIFY(box->isChecked());
        }
        const QString saved = Convert(w, pdf, work.Path());
        QCOMPARE(saved, kSavedTo + Quoted(Q(work.Path() / "book.txt")));
        FOLLOW_ALERT(saved, w.pdfToTextBusy, 1);
        if (noOutlineMessage) FOLLOW_ALERT(book::kNoOutlineMessage, w.pdfToTextBusy, 1);
        EXPECT_RUN_ENDED(w, w.pdfToTextBusy);
        const std::string text = ReadBytes(work.Path() / "book.txt");
        QCOMPARE(PassageTitles(text), titles);
        QVERIFY2(text.find(outline ? "beta words" : "Only words") != std::string::npos,
                 text.c_str());
        // Metadata is the import's: the plain conversion writes none.
        QCOMPARE(fs::exists(work.Path() / "book.opf"), ticked);
    }
};

QTEST_MAIN(JobsBookTest)
#include "jobs_book_qtest.moc"
