// "Convert PDF to Text" run from a click on the window: a PDF drawn here converts
// with the real pdftotext to a text file named after it; the converter is taken from
// the current directory before PATH and gets both paths whole; only a converter that
// ends with status 0 and leaves the file counts as success; and the busy flag stays
// set while the result message is open. Books (fixture test_books) go on into a list.

#include <QByteArray>
#include <QFont>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QTest>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <string>

#include <signal.h>
#include <sys/types.h>

#include "book/book_import.h"
#include "book/outline_pdf.h"
#include "pdf/minimal_pdf.h"
#include "platform/process/run_program.h"
#include "platform/text/title_scan.h"
#include "speech/speech_engine.h"
#include "support/gui_test_base.h"
#include "support/temp_dir.h"
#include "ui/control_ids.h"
#include "ui/job_run_checks.h"
#include "ui/sonoleaf_dlg.h"

using namespace sonoleaf;
using namespace sonoleaf::testing;
namespace fs = std::filesystem;

namespace {

constexpr char kBothPaths[] = "You have to give both input and output path";
constexpr char kSavedTo[] = "Converted File  is Saved to: ";
constexpr char kEncrypted[] = ": This File is Encrypted";
constexpr char kNotStarted[] =
    "The converter pdftotext could not be started: install poppler-utils";
constexpr char kPageText[] = "Sonoleaf reads this page aloud";

QString Quoted(const QString& path) {
    return "\"" + path + "\"";
}

// A one-page PDF with a line of text, as any PDF writer would make it.
bool MakePdf(const fs::path& path, const QString& text) {
    QPdfWriter writer(Q(path));
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setResolution(300);
    QPainter painter;
    if (!painter.begin(&writer)) return false;
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPointSize(16);
    painter.setFont(font);
    painter.drawText(QPointF(300, 600), text);
    return painter.end();
}

// The process's current directory, changed for one test and put back after it.
class CurrentDirectory {
  public:
    explicit CurrentDirectory(const fs::path& path) : saved_(fs::current_path()) {
        fs::current_path(path);
    }
    ~CurrentDirectory() {
        std::error_code ignored;
        fs::current_path(saved_, ignored);
    }
    CurrentDirectory(const CurrentDirectory&) = delete;
    CurrentDirectory& operator=(const CurrentDirectory&) = delete;

  private:
    fs::path saved_;
};

// PATH, changed for one test and put back after it.
class SearchPath {
  public:
    explicit SearchPath(const QByteArray& value)
        : had_(qEnvironmentVariableIsSet("PATH")), saved_(qgetenv("PATH")) {
        qputenv("PATH", value);
    }
    ~SearchPath() {
        if (had_) {
            qputenv("PATH", saved_);
        } else {
            qunsetenv("PATH");
        }
    }
    SearchPath(const SearchPath&) = delete;
    SearchPath& operator=(const SearchPath&) = delete;

  private:
    bool had_;
    QByteArray saved_;
};

// A stand-in converter named pdftotext in `folder`: it writes its argument count and
// arguments, one a line, to `log`, then runs `body` ($1 the PDF, $2 the text file).
void PlaceFakeConverter(const fs::path& folder, const fs::path& log, const std::string& body) {
    const fs::path script = folder / "pdftotext";
    WriteBytes(script,
               "#!/bin/sh\n"
               "printf '%s\\n' \"$#\" > '" +
                   log.string() +
                   "'\n"
                   "for a in \"$@\"; do printf '%s\\n' \"$a\" >> '" +
                   log.string() + "'; done\n" + body + "\n");
    fs::permissions(script, fs::perms::owner_all);
}

QStringList LoggedArguments(const fs::path& log) {
    if (!fs::exists(log)) return {};
    QStringList lines = QString::fromStdString(ReadBytes(log)).split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
    return lines;
}

}  // namespace

class JobsPdfTest : public GuiTestBase {
    Q_OBJECT

    // Runs the job with these fields; returns the result message's text (checked to
    // be the only alert, with the busy flag set while it is open) or empty.
    QString Convert(CSonoleafDlg& w, const QString& pdf, const QString& folder) {
        SetField(w, kPdfSourceBrowse, pdf);
        SetField(w, kTextFolderBrowse, folder);
        Click(*FindControl(w, ui::kConvertPdfButton));
        if (!WaitUntil([] { return !OpenAlerts().isEmpty(); }, kJobWaitMs)) return {};
        const QStringList open = OpenAlertTexts();
        if (open.size() != 1 || w.pdfToTextBusy.load() != 1) return {};
        return open.front();
    }

  private slots:
    void initTestCase() {
        QVERIFY2(process::FindProgram("pdftotext").has_value(), "pdftotext is not installed");
    }

    // The real converter, found on PATH; the current directory holds none.
    void convertsAPdfToItsTextFile_data() {
        QTest::addColumn<QString>("pdfFolder");  // under the test's folder
        QTest::addColumn<QString>("pdfName");
        QTest::addColumn<QString>("folderEnd");
        QTest::addColumn<QString>("textName");  // empty: a time stamp
        QTest::newRow("report.pdf") << "docs"
                                    << "report.pdf"
                                    << ""
                                    << "report.txt";
        QTest::newRow("folder with a trailing separator") << "docs"
                                                          << "report.pdf"
                                                          << "/"
                                                          << "report.txt";
        QTest::newRow("ab.pdf") << "docs"
                                << "ab.pdf"
                                << ""
                                << "ab.txt";
        QTest::newRow("a.pdf: time stamp") << "docs"
                                           << "a.pdf"
                                           << ""
                                           << "";
        QTest::newRow("report.final.pdf") << "docs"
                                          << "report.final.pdf"
                                          << ""
                                          << "report.final.txt";
        QTest::newRow("full stop only in a folder") << "my.docs"
                                                    << "report"
                                                    << ""
                                                    << "";
        QTest::newRow("non-Latin names") << "\u0434\u043e\u043a\u0443\u043c\u0435\u043d\u0442\u044b"
                                         << "r\u00e9sum\u00e9 \u0141\u00f3d\u017a.pdf"
                                         << ""
                                         << "r\u00e9sum\u00e9 \u0141\u00f3d\u017a.txt";
        QTest::newRow("blanks and quotes") << "my \"docs\" folder"
                                           << "it's \"my\" report.pdf"
                                           << ""
                                           << "it's \"my\" report.txt";
    }
    void convertsAPdfToItsTextFile() {
        QFETCH(QString, pdfFolder);
        QFETCH(QString, pdfName);
        QFETCH(QString, folderEnd);
        QFETCH(QString, textName);
        TempDir work;
        const fs::path pdfDir = work.Path() / pdfFolder.toStdString();
        const fs::path outDir = work.Path() / "out dir";
        fs::create_directories(pdfDir);
        fs::create_directories(outDir);
        const fs::path pdf = pdfDir / pdfName.toStdString();
        QVERIFY(MakePdf(pdf, kPageText));
        const CurrentDirectory cwd(work.Path());

        CSonoleafDlg& w = OpenWindow();
        const std::time_t before = std::time(nullptr);
        const QString message = Convert(w, Q(pdf), Q(outDir) + folderEnd);
        const std::time_t after = std::time(nullptr);
        QString name = textName;
        if (name.isEmpty()) {
            const QStringList names = FileNames(outDir);
            QCOMPARE(names.size(), 1);
            name = names.front();
            QVERIFY2(StampsBetween(before, after).contains(name.chopped(4)), qPrintable(name));
        }
        QCOMPARE(message, kSavedTo + Quoted(Q(outDir) + "/" + name));
        FOLLOW_ALERT(message, w.pdfToTextBusy, 1);
        EXPECT_RUN_ENDED(w, w.pdfToTextBusy);
        QCOMPARE(FileNames(outDir), QStringList{name});
        const QString text = QString::fromStdString(ReadBytes(outDir / name.toStdString()));
        QVERIFY2(text.contains(kPageText), qPrintable(text));
    }

    // A relative PDF path beginning with "-" still reaches the converter as a file.
    void pdfPathBeginningWithDash() {
        TempDir work;
        const fs::path outDir = work.Path() / "out";
        fs::create_directories(outDir);
        QVERIFY(MakePdf(work.Path() / "-report.pdf", kPageText));
        const CurrentDirectory cwd(work.Path());
        CSonoleafDlg& w = OpenWindow();
        const QString message = Convert(w, QStringLiteral("-report.pdf"), Q(outDir));
        QCOMPARE(message, kSavedTo + Quoted(Q(outDir) + "/-report.txt"));
        FOLLOW_ALERT(message, w.pdfToTextBusy, 1);
        EXPECT_RUN_ENDED(w, w.pdfToTextBusy);
        QVERIFY(QString::fromStdString(ReadBytes(outDir / "-report.txt")).contains(kPageText));
    }

    // The real converter refuses: not a PDF, or nowhere to write.
    void conversionThatFails_data() {
        QTest::addColumn<bool>("realPdf");
        QTest::addColumn<bool>("folderExists");
        QTest::newRow("not a PDF") << false << true;
        QTest::newRow("folder does not exist") << true << false;
    }
    void conversionThatFails() {
        QFETCH(bool, realPdf);
        QFETCH(bool, folderExists);
        TempDir work;
        const fs::path pdf = work.Path() / "report.pdf";
        if (realPdf) {
            QVERIFY(MakePdf(pdf, kPageText));
        } else {
            WriteBytes(pdf, "this is plain text, not a PDF\n");
        }
        const fs::path outDir = work.Path() / "out";
        if (folderExists) fs::create_directories(outDir);
        const CurrentDirectory cwd(work.Path());
        CSonoleafDlg& w = OpenWindow();
        const QString message = Convert(w, Q(pdf), Q(outDir));
        QCOMPARE(message, Quoted(Q(pdf)) + kEncrypted);
        FOLLOW_ALERT(message, w.pdfToTextBusy, 1);
        EXPECT_RUN_ENDED(w, w.pdfToTextBusy);
    }

    // Missing input: no converter is started.
    void needsBothPaths_data() {
        QTest::addColumn<bool>("withPdf");
        QTest::addColumn<bool>("withFolder");
        QTest::newRow("no folder") << true << false;
        QTest::newRow("no PDF") << false << true;
        QTest::newRow("neither") << false << false;
    }
    void needsBothPaths() {
        QFETCH(bool, withPdf);
        QFETCH(bool, withFolder);
        TempDir work;
        const fs::path log = work.Path() / "arguments.log";
        PlaceFakeConverter(work.Path(), log, "exit 0");
        const CurrentDirectory cwd(work.Path());
        CSonoleafDlg& w = OpenWindow();
        SetField(w, kPdfSourceBrowse, withPdf ? Q(work.Path() / "report.pdf") : QString());
        SetField(w, kTextFolderBrowse, withFolder ? Q(work.Path()) : QString());
        Click(*FindControl(w, ui::kConvertPdfButton));
        FOLLOW_ALERT(kBothPaths, w.pdfToTextBusy, 1);
        EXPECT_RUN_ENDED(w, w.pdfToTextBusy);
        QVERIFY(!fs::exists(log));
    }

    // A converter in the current directory is run before the one on PATH, with the
    // two paths as its two arguments, whole, whatever they hold.
    void converterInTheCurrentDirectoryGetsBothPathsWhole_data() {
        QTest::addColumn<QString>("pdfField");     // as typed; relative to the folder
        QTest::addColumn<QString>("folderField");  // relative to the folder
        QTest::addColumn<QString>("pdfArgument");
        QTest::addColumn<QString>("textArgument");
        QTest::newRow("plain") << "report.pdf"
                               << "out"
                               << "report.pdf"
                               << "out/report.txt";
        QTest::newRow("blanks and quotes") << "my \"docs\"/it's a report.pdf"
                                           << "out dir/"
                                           << "my \"docs\"/it's a report.pdf"
                                           << "out dir/it's a report.txt";
        QTest::newRow("leading dash") << "-report.pdf"
                                      << "out"
                                      << "./-report.pdf"
                                      << "out/-report.txt";
        QTest::newRow("only blanks") << "  "
                                     << " "
                                     << "  "
                                     << "";  // text: time stamp
    }
    void converterInTheCurrentDirectoryGetsBothPathsWhole() {
        QFETCH(QString, pdfField);
        QFETCH(QString, folderField);
        QFETCH(QString, pdfArgument);
        QFETCH(QString, textArgument);
        TempDir work;
        const fs::path log = work.Path() / "arguments.log";
        PlaceFakeConverter(work.Path(), log, "printf 'fake text\\n' > \"$2\"");
        fs::create_directories(work.Path() / "out");
        fs::create_directories(work.Path() / "out dir");
        fs::create_directories(work.Path() / "my \"docs\"");
        const CurrentDirectory cwd(work.Path());

        CSonoleafDlg& w = OpenWindow();
        const std::time_t before = std::time(nullptr);
        const QString message = Convert(w, pdfField, folderField);
        const std::time_t after = std::time(nullptr);
        const QStringList arguments = LoggedArguments(log);
        QCOMPARE(arguments.size(), 3);
        QCOMPARE(arguments[0], QStringLiteral("2"));
        QCOMPARE(arguments[1], pdfArgument);
        if (textArgument.isEmpty()) {
            // Blanks are not empty: the folder " " and a time-stamped name.
            QVERIFY2(arguments[2].startsWith(" /") && arguments[2].endsWith(".txt"),
                     qPrintable(arguments[2]));
            QVERIFY2(StampsBetween(before, after).contains(arguments[2].mid(2).chopped(4)),
                     qPrintable(arguments[2]));
            // The fake could not write into a folder that does not exist.
            QCOMPARE(message, Quoted(pdfField) + kEncrypted);
        } else {
            QCOMPARE(arguments[2], textArgument);
            QCOMPARE(message, kSavedTo + Quoted(textArgument));
            QCOMPARE(ReadBytes(work.Path() / textArgument.toStdString()),
                     std::string("fake text\n"));
        }
        FOLLOW_ALERT(message, w.pdfToTextBusy, 1);
        EXPECT_RUN_ENDED(w, w.pdfToTextBusy);
    }

    // Success needs status 0 and the text file: a file left by an earlier run does
    // not count, and is left as it was.
    void failingConverterIsReportedEvenOverAStaleFile_data() {
        QTest::addColumn<QString>("body");
        QTest::addColumn<bool>("stale");
        QTest::newRow("exit 1, stale file") << "exit 1" << true;
        QTest::newRow("exit 3 after writing") << "printf 'half\\n' > \"$2\"; exit 3" << false;
        QTest::newRow("killed, stale file") << "kill -9 $$" << true;
        QTest::newRow("exit 0 without a file") << "exit 0" << false;
    }
    void failingConverterIsReportedEvenOverAStaleFile() {
        QFETCH(QString, body);
        QFETCH(bool, stale);
        TempDir work;
        const fs::path log = work.Path() / "arguments.log";
        PlaceFakeConverter(work.Path(), log, body.toStdString());
        const fs::path outDir = work.Path() / "out";
        fs::create_directories(outDir);
        if (stale) WriteBytes(outDir / "report.txt", "from an earlier run\n");
        const CurrentDirectory cwd(work.Path());

        CSonoleafDlg& w = OpenWindow();
        const QString pdf = Q(work.Path() / "report.pdf");
        const QString message = Convert(w, pdf, Q(outDir));
        QVERIFY(fs::exists(log));
        QCOMPARE(message, Quoted(pdf) + kEncrypted);
        FOLLOW_ALERT(message, w.pdfToTextBusy, 1);
        EXPECT_RUN_ENDED(w, w.pdfToTextBusy);
        if (stale) QCOMPARE(ReadBytes(outDir / "report.txt"), std::string("from an earlier run\n"));
    }

    // Neither the current directory nor PATH holds a converter.
    void missingConverterIsNamed() {
        TempDir work;
        TempDir emptyBin;
        QVERIFY(MakePdf(work.Path() / "report.pdf", kPageText));
        const CurrentDirectory cwd(work.Path());
        const SearchPath path(QByteArray::fromStdString(emptyBin.Path().string()));
        CSonoleafDlg& w = OpenWindow();
        const QString message = Convert(w, Q(work.Path() / "report.pdf"), Q(work.Path()));
        QCOMPARE(message, QString(kNotStarted));
        FOLLOW_ALERT(message, w.pdfToTextBusy, 1);
        EXPECT_RUN_ENDED(w, w.pdfToTextBusy);
        QCOMPARE(FileNames(work.Path()), QStringList{"report.pdf"});
    }

    // Closing the window while the converter still works does not wait for it: the
    // job ends and the converter runs on.
    void closingDoesNotWaitForTheConverter() {
        TempDir work;
        const fs::path log = work.Path() / "arguments.log";
        const fs::path pidFile = work.Path() / "converter.pid";
        PlaceFakeConverter(work.Path(), log,
                           "echo $$ > '" + pidFile.string() + ".part'; mv '" + pidFile.string() +
                               ".part' '" + pidFile.string() + "'; exec sleep 30");
        const CurrentDirectory cwd(work.Path());
        CSonoleafDlg& w = OpenWindow();
        SetField(w, kPdfSourceBrowse, QStringLiteral("report.pdf"));
        SetField(w, kTextFolderBrowse, QStringLiteral("."));
        Click(*FindControl(w, ui::kConvertPdfButton));
        QVERIFY(WaitUntil([&] { return fs::exists(pidFile); }, kJobWaitMs));
        const pid_t converter = static_cast<pid_t>(std::stol(ReadBytes(pidFile)));
        QVERIFY(converter > 0);

        CloseWindow();
        const bool stillRunning = ::kill(converter, 0) == 0;
        ::kill(converter, SIGKILL);
        QVERIFY(!w.isVisible());
        QCOMPARE(w.Jobs().Running(), 0);
        QCOMPARE(w.pdfToTextBusy.load(), 0);
        QVERIFY2(stillRunning, "closing the window waited for the converter to end");
        QVERIFY(OpenAlerts().isEmpty());
    }

    // While the result message is open the job still runs: clicks start nothing.
    void clicksWhileTheResultIsOpenStartNothing() {
        TempDir work;
        const fs::path log = work.Path() / "arguments.log";
        PlaceFakeConverter(work.Path(), log, "printf 'x\\n' > \"$2\"");
        const CurrentDirectory cwd(work.Path());
        CSonoleafDlg& w = OpenWindow();
        const QString message = Convert(w, QStringLiteral("report.pdf"), QStringLiteral("."));
        QCOMPARE(message, kSavedTo + Quoted(QStringLiteral("./report.txt")));
        fs::remove(log);
        Click(*FindControl(w, ui::kConvertPdfButton));
        Click(*FindControl(w, ui::kConvertPdfButton));
        QCOMPARE(w.Jobs().Running(), 1);
        FOLLOW_ALERT(message, w.pdfToTextBusy, 1);
        EXPECT_RUN_ENDED(w, w.pdfToTextBusy);
        QVERIFY(!fs::exists(log));
    }

    // An EPUB, or a PDF with the box on: the messages (of the first, its start), then
    // "chapters|first one's title|album|reader" of the text and of a list of three.
    void books_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("box");
        QTest::addColumn<QString>("messages");
        QTest::addColumn<QString>("book");  // chapters -1: nothing is left
        const auto bytes = [](const std::string& b) { return QByteArray::fromStdString(b); };
        const std::string books = qEnvironmentVariable("SONOLEAF_TEST_BOOKS").toStdString();
        const QString saved = QString(kSavedTo) + "\"%2\"", unread = "\"%1\" is not a readable ";
        QTest::newRow("English")
            << "eng.epub" << bytes(ReadBytes(books + "/eng.epub")) << false << saved
            << "22|Calibre Quick Start Guide|Quick Start Guide|Flite rms (US English) Male";
        QTest::newRow("German") << "deu.epub" << bytes(ReadBytes(books + "/deu.epub")) << false
                                << saved
                                << "22|Calibre Kurzanleitung|Kurzanleitung|eSpeak NG German Male";
        QTest::newRow("outline") << "book.pdf"
                                 << bytes(OutlinePdfWriter().Write({{"Front"}, {"One", "a"}},
                                                                   {{"One", 2, {}}}, "Book", "A"))
                                 << true << saved << "2|Book";
        QTest::newRow("no outline") << "book.pdf" << bytes(MinimalPdf("Hi")) << true
                                    << saved + "|" + book::kNoOutlineMessage << "0";
        QTest::newRow("not an EPUB")
            << "book.epub" << QByteArray("no") << false << unread + "EPUB: "
            << "-1";
        QTest::newRow("not a PDF") << "book.pdf" << QByteArray("no") << true << unread + "PDF: "
                                   << "-1";
    }
    void books() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, box);
        QFETCH(QString, messages);
        QFETCH(QString, book);
        qputenv("LC_ALL", "C.UTF-8");  // the book's language picks the voice, not the user's
        TempDir in, out;
        const QString source = Q(in.Path()) + "/" + name;
        WriteBytes(source.toStdString(), bytes.toStdString());
        const fs::path text = out.Path() / (name.section('.', 0, 0) + ".txt").toStdString();
        CSonoleafDlg& w = OpenWindow(SystemSpeech());
        w.speechEngine->EnableRenderHelpers(2);  // as the program does
        if (box) Click(*FindControl(w, kPdfChaptersCheck));
        const QStringList shown{Convert(w, source, Q(out.Path()))};
        const QStringList expected =
            messages.replace("%1", source).replace("%2", Q(text)).split('|');
        QVERIFY2(shown[0].startsWith(expected[0]), qPrintable(shown[0]));
        for (const QString& message : shown + expected.mid(1))
            FOLLOW_ALERT(message, w.pdfToTextBusy, 1);
        EXPECT_RUN_ENDED(w, w.pdfToTextBusy);
        const int chapters = book.section('|', 0, 0).toInt();
        // Text, OPF and cover; a failure leaves nothing.
        QCOMPARE(FileNames(out.Path()).size(), chapters < 0 ? 0 : name.endsWith("epub") ? 3 : 2);
        if (chapters < 0) return;
        const std::string whole = ReadBytes(text);
        const std::vector<text::TitlePair> pairs = text::ScanTitlePairs(whole);
        QCOMPARE(static_cast<int>(pairs.size()), chapters);
        QVERIFY(!chapters || whole.substr(pairs[0].passageBegin)
                                 .starts_with(book.section('|', 1, 1).toStdString() + "\n"));
        if (book.count('|') < 3) return;
        WriteBytes(text, whole.substr(0, pairs[2].passageEnd + text::kClosingTitleTag.size()));
        SetField(w, kTextSourceBrowse, Q(text));
        SetField(w, kAudioFolderBrowse, Q(out.Path()));
        Click(*FindControl(w, ui::kTitleListButton));
        FOLLOW_ALERT("Audio list by given <title>...</title> tag completed", w.titleListBusy, 1);
        FOLLOW_ALERT("Text File to Audio List By given Titles Operation Ended", w.titleListBusy, 0);
        QCOMPARE(AudioFilesIn(out.Path()).size(), std::size_t{3});
        for (const QString k : {"1", "2", "3"}) {
            QProcess probe;
            probe.start("ffprobe",
                        {"-v", "error", "-show_entries", "format_tags=album,artist,track,comment",
                         "-of", "csv=p=0", Q(text).chopped(4) + "_" + k + ".mp3"});
            probe.waitForFinished();
            QCOMPARE(QString(probe.readAllStandardOutput()),
                     book.section('|', 2, 2) + ",John Schember," + k + "/3,Read by " +
                         book.section('|', 3) + "\n");
        }
    }
};

QTEST_MAIN(JobsPdfTest)
#include "jobs_pdf_qtest.moc"
