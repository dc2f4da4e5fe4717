#include "pdf/pdf_to_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "pdf/minimal_pdf.h"
#include "platform/text/text_convert.h"
#include "support/fake_job_host.h"
#include "support/job_table.h"
#include "support/recording_alerts.h"
#include "support/recording_speech_service.h"
#include "support/temp_dir.h"

namespace sonoleaf {
namespace {

namespace fs = std::filesystem;
using testing::AlertCapture;
using testing::FakeJobHost;
using testing::MinimalPdf;
using testing::RecordingAlertPresenter;
using testing::RecordingSpeechService;
using testing::TempDir;

constexpr char kBothPaths[] = "You have to give both input and output path";
constexpr char kNotStarted[] =
    "The converter pdftotext could not be started: install poppler-utils";

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string Saved(const std::string& textPath) {
    return "Converted File  is Saved to: \"" + textPath + "\"";
}
std::string Encrypted(const std::string& pdfPath) {
    return "\"" + pdfPath + "\": This File is Encrypted";
}

// "%H%M%S_%A_%B_%d_%Y" in the C locale, e.g. 143005_Sunday_December_06_2026.
bool IsTimeStamp(std::string_view text) {
    static const std::set<std::string_view> days = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                                    "Friday", "Saturday", "Sunday"};
    static const std::set<std::string_view> months = {
        "January", "February", "March",     "April",   "May",      "June",
        "July",    "August",   "September", "October", "November", "December"};
    auto digits = [](std::string_view part, std::size_t count) {
        return part.size() == count &&
               std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find('_', start);
        parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return parts.size() == 5 && digits(parts[0], 6) && days.contains(parts[1]) &&
           months.contains(parts[2]) && digits(parts[3], 2) && digits(parts[4], 4);
}

// The path a success message names; empty when it is no success message.
std::string SavedPath(const std::string& message) {
    const std::string prefix = "Converted File  is Saved to: \"";
    if (!message.starts_with(prefix) || !message.ends_with("\"") ||
        message.size() < prefix.size() + 1) {
        return {};
    }
    return message.substr(prefix.size(), message.size() - prefix.size() - 1);
}

// A time-stamped text file name: "<stamp>.txt".
bool IsStampedName(const fs::path& path) {
    return path.extension() == ".txt" && IsTimeStamp(path.stem().string());
}

// Every test runs in a scratch folder of its own, made the current one (the first place
// where the converter is looked for), with the system's PATH unless it says otherwise.
class PdfToTextTest : public ::testing::Test {
  protected:
    PdfToTextTest() : host(std::make_shared<RecordingSpeechService>()) {
        fs::create_directory(Work());
        fs::create_directory(Out());
        previousCwd = fs::current_path();
        fs::current_path(Work());
        if (const char* path = std::getenv("PATH")) previousPath = path;
        alerts->WatchBusyFlag(&host.BusyFlag(Job::PdfToText));
    }
    ~PdfToTextTest() override {
        fs::current_path(previousCwd);
        ::setenv("PATH", previousPath.c_str(), 1);
    }

    fs::path Work() const { return scratch.Path() / "work"; }
    fs::path Out() const { return scratch.Path() / "out dir"; }

    // A stand-in converter in the current folder: it logs its arguments, one a line,
    // then runs `body` with them.
    fs::path FakeConverter(const std::string& body) {
        const fs::path script = Work() / "pdftotext";
        std::ofstream(script) << "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > '"
                              << ArgumentLog().string() << "'\n"
                              << body << "\n";
        fs::permissions(script, fs::perms::owner_all);
        return script;
    }
    fs::path ArgumentLog() const { return scratch.Path() / "arguments.log"; }

    void Run(const std::u16string& pdf, const std::u16string& folder) {
        host.SetControlText(kPdfSourceBrowse, pdf);
        host.SetControlText(kTextFolderBrowse, folder);
        PdfToTextJob(host);
    }
    void Run(const fs::path& pdf, const fs::path& folder) {
        Run(pdf.u16string(), folder.u16string());
    }

    // The one message of a run: shown while the job was busy, which it is no more.
    std::string OnlyMessage() {
        const std::vector<RecordingAlertPresenter::Alert> shown = alerts->Alerts();
        EXPECT_EQ(shown.size(), 1u);
        EXPECT_EQ(host.BusyFlag(Job::PdfToText), 0);
        if (shown.empty()) return {};
        EXPECT_EQ(shown[0].caption, u"Message Box for Alert");
        EXPECT_EQ(shown[0].busyFlag, 1) << "the result is shown while the job is busy";
        return text::ToNarrow(shown[0].text);
    }

    TempDir scratch;
    AlertCapture alerts;
    FakeJobHost host;
    fs::path previousCwd;
    std::string previousPath;
};

TEST(PdfOutputPath, NamesTheTextFile) {
    struct Case {
        std::u16string pdf;
        std::u16string folder;
        std::u16string expected;
    };
    const Case cases[] = {
        {u"/docs/report.pdf", u"/out", u"/out/report.txt"},
        {u"/docs/report.pdf", u"/out/", u"/out/report.txt"},
        {u"/docs/report.pdf", u"/", u"/report.txt"},
        {u"/docs/report.pdf", u"/out//", u"/out//report.txt"},
        {u"/docs/report.final.pdf", u"/out", u"/out/report.final.txt"},
        {u"report.final.pdf", u"/out", u"/out/report.final.txt"},
        {u"/docs/ab.pdf", u"/out", u"/out/ab.txt"},
        {u"/docs/a.pdf", u"/out", u"/out/STAMP.txt"},
        {u"/docs/.pdf", u"/out", u"/out/STAMP.txt"},
        {u"/my.docs/report", u"/out", u"/out/STAMP.txt"},
        {u"/docs/report", u"/out", u"/out/STAMP.txt"},
        {u"C:\\docs\\report.pdf", u"/out", u"/out/C:\\docs\\report.txt"},
        {u" ", u" ", u" /STAMP.txt"},
        {u"/d/\u00dcbersicht \u0142.pdf", u"/o", u"/o/\u00dcbersicht \u0142.txt"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PdfOutputTextPath(c.pdf, c.folder, [] { return u"STAMP"; }), c.expected)
            << text::ToNarrow(c.pdf) << " in " << text::ToNarrow(c.folder);
    }
    const std::string stamped = text::ToNarrow(PdfOutputTextPath(u"/docs/a.pdf", u"/out"));
    EXPECT_TRUE(stamped.starts_with("/out/") && IsStampedName(stamped.substr(5))) << stamped;
}

TEST(PdfConverterArguments, PathsGoWholeAndNeverAsOptions) {
    using Arguments = std::vector<std::string>;
    EXPECT_EQ(PdfConverterArguments("/a b/\"q\".pdf", "/o/\"q\".txt"),
              (Arguments{"-s", "/a b/\"q\".pdf", "/o/\"q\".txt"}));
    EXPECT_EQ(PdfConverterArguments("-layout", "/o/x.txt"),
              (Arguments{"-s", "./-layout", "/o/x.txt"}));
    EXPECT_EQ(PdfConverterArguments("-", "/o/x.txt"), (Arguments{"-s", "./-", "/o/x.txt"}));
    EXPECT_EQ(PdfConverterArguments(" -x.pdf", "/o/x.txt"),
              (Arguments{"-s", " -x.pdf", "/o/x.txt"}));
}

TEST_F(PdfToTextTest, EmptyInputStartsNoConverter) {
    FakeConverter("exit 0");
    const std::pair<std::u16string, std::u16string> inputs[] = {
        {u"", u""}, {u"/docs/report.pdf", u""}, {u"", Out().u16string()}};
    for (const auto& [pdf, folder] : inputs) {
        alerts->Clear();
        Run(pdf, folder);
        EXPECT_EQ(OnlyMessage(), kBothPaths);
    }
    EXPECT_FALSE(fs::exists(ArgumentLog()));
}

TEST_F(PdfToTextTest, RealConverterRecoversTheText) {
    const fs::path source = scratch.Path() / "my \"quoted\" docs" / "re port's $(x).pdf";
    fs::create_directory(source.parent_path());
    WriteFile(source, MinimalPdf("Hello Sonoleaf 42"));
    for (const std::u16string suffix : {u"", u"/"}) {
        alerts->Clear();
        const fs::path expected = Out() / "re port's $(x).txt";
        fs::remove(expected);
        Run(source.u16string(), Out().u16string() + suffix);
        EXPECT_EQ(OnlyMessage(), Saved(expected.string()));
        EXPECT_NE(ReadAll(expected).find("Hello Sonoleaf 42"), std::string::npos);
    }
    EXPECT_FALSE(fs::exists(Work() / "x"));
}

TEST_F(PdfToTextTest, ShortNameGetsTimeStampAndTwoLettersKeepTheirs) {
    WriteFile(scratch.Path() / "a.pdf", MinimalPdf("single letter"));
    WriteFile(scratch.Path() / "ab.pdf", MinimalPdf("two letters"));

    Run(scratch.Path() / "a.pdf", Out());
    const std::string message = OnlyMessage();
    const fs::path written = SavedPath(message);
    ASSERT_TRUE(IsStampedName(written.filename())) << message;
    EXPECT_EQ(written.parent_path(), Out());
    EXPECT_NE(ReadAll(written).find("single letter"), std::string::npos);

    alerts->Clear();
    Run(scratch.Path() / "ab.pdf", Out());
    EXPECT_EQ(OnlyMessage(), Saved((Out() / "ab.txt").string()));
    EXPECT_NE(ReadAll(Out() / "ab.txt").find("two letters"), std::string::npos);
}

TEST_F(PdfToTextTest, PathsBeyondAsciiAndLeadingDashReachTheConverter) {
    const fs::path unicode = scratch.Path() / "\u00dcbersicht \u0142\u00f3d\u017a.pdf";
    WriteFile(unicode, MinimalPdf("unicode name"));
    Run(unicode, Out());
    const fs::path unicodeText = Out() / "\u00dcbersicht \u0142\u00f3d\u017a.txt";
    EXPECT_EQ(OnlyMessage(), Saved(unicodeText.string()));
    EXPECT_NE(ReadAll(unicodeText).find("unicode name"), std::string::npos);

    // Relative to the current folder, and spelt like one of the converter's options.
    WriteFile(Work() / "-layout", MinimalPdf("dash name"));
    alerts->Clear();
    Run(u"-layout", Out().u16string());
    const std::string message = OnlyMessage();
    const fs::path written = SavedPath(message);
    ASSERT_TRUE(IsStampedName(written.filename())) << message;
    EXPECT_EQ(written.parent_path(), Out());
    EXPECT_NE(ReadAll(written).find("dash name"), std::string::npos);
}

TEST_F(PdfToTextTest, FailuresOfTheRealConverterBlameTheFile) {
    const fs::path notPdf = scratch.Path() / "broken.pdf";
    WriteFile(notPdf, "this is no PDF at all\n");
    const fs::path good = scratch.Path() / "good.pdf";
    WriteFile(good, MinimalPdf("fine"));
    struct Case {
        fs::path pdf;
        fs::path folder;
    };
    const Case cases[] = {
        {notPdf, Out()},
        {scratch.Path() / "missing.pdf", Out()},
        {good, scratch.Path() / "no such folder"},
    };
    for (const Case& c : cases) {
        alerts->Clear();
        Run(c.pdf, c.folder);
        EXPECT_EQ(OnlyMessage(), Encrypted(c.pdf.string()));
    }
    EXPECT_FALSE(fs::exists(Out() / "broken.txt"));
    EXPECT_FALSE(fs::exists(scratch.Path() / "no such folder"));
}

TEST_F(PdfToTextTest, ConverterInCurrentFolderIsTheOneRun) {
    // It writes its own text, so that its file tells it apart from the real one.
    FakeConverter("printf 'from the stand-in' > \"$2\"; exit 0");
    const fs::path source = scratch.Path() / "some \"odd\" name.pdf";
    WriteFile(source, MinimalPdf("real text"));
    Run(source, Out());
    const fs::path expected = Out() / "some \"odd\" name.txt";
    EXPECT_EQ(OnlyMessage(), Saved(expected.string()));
    EXPECT_EQ(ReadAll(expected), "from the stand-in");
    EXPECT_EQ(ReadAll(ArgumentLog()), "2\n" + source.string() + "\n" + expected.string() + "\n");
}

TEST_F(PdfToTextTest, BlankInputsReachTheConverterAsGiven) {
    FakeConverter("exit 0");
    Run(std::u16string(u" "), std::u16string(u"  "));
    const std::string log = ReadAll(ArgumentLog());
    const std::string head = "2\n \n  /";
    ASSERT_TRUE(log.starts_with(head) && log.ends_with("\n")) << log;
    EXPECT_TRUE(IsStampedName(log.substr(head.size(), log.size() - head.size() - 1))) << log;
    EXPECT_EQ(OnlyMessage(), Encrypted(" "));
}

TEST_F(PdfToTextTest, OnlyACleanEndWithAFileIsSuccess) {
    const fs::path source = scratch.Path() / "report.pdf";
    WriteFile(source, MinimalPdf("x"));
    const fs::path output = Out() / "report.txt";
    struct Case {
        const char* name;
        const char* body;
    };
    const Case cases[] = {
        {"fails, stale file stays", "exit 1"},
        {"writes, then fails", "printf new > \"$2\"; exit 3"},
        {"writes, then is killed", "printf new > \"$2\"; kill -KILL $$"},
    };
    for (const Case& c : cases) {
        alerts->Clear();
        WriteFile(output, "left from an earlier run");
        FakeConverter(c.body);
        Run(source, Out());
        EXPECT_EQ(OnlyMessage(), Encrypted(source.string())) << c.name;
    }
    // The job itself never touches the file: a stale one stays as it was.
    WriteFile(output, "left from an earlier run");
    FakeConverter("exit 1");
    alerts->Clear();
    Run(source, Out());
    EXPECT_EQ(ReadAll(output), "left from an earlier run");

    // Ending well without writing the file is no success either.
    fs::remove(output);
    FakeConverter("exit 0");
    alerts->Clear();
    Run(source, Out());
    EXPECT_EQ(OnlyMessage(), Encrypted(source.string()));
}

TEST_F(PdfToTextTest, MissingConverterIsNamed) {
    const fs::path emptyBin = scratch.Path() / "empty bin";
    fs::create_directory(emptyBin);
    ::setenv("PATH", emptyBin.c_str(), 1);
    const fs::path source = scratch.Path() / "report.pdf";
    WriteFile(source, MinimalPdf("x"));
    WriteFile(Out() / "report.txt", "left from an earlier run");
    Run(source, Out());
    EXPECT_EQ(OnlyMessage(), kNotStarted);
}

TEST(ReportConversionResult, MessageFollowsTheRun) {
    AlertCapture alerts;
    TempDir dir;
    const fs::path existing = dir.Path() / "there.txt";
    WriteFile(existing, "text");
    const std::string quotedExisting = "\"" + existing.string() + "\"";
    const std::string quotedMissing = "\"" + (dir.Path() / "gone.txt").string() + "\"";
    using Outcome = process::RunResult::Outcome;
    struct Case {
        process::RunResult run;
        std::string quotedText;
        std::string message;
    };
    const Case cases[] = {
        {{Outcome::Exited, 0, 0, 0},
         quotedExisting,
         "Converted File  is Saved to: " + quotedExisting},
        {{Outcome::Exited, 0, 0, 0}, quotedMissing, "\"in.pdf\": This File is Encrypted"},
        {{Outcome::Exited, 1, 0, 0}, quotedExisting, "\"in.pdf\": This File is Encrypted"},
        {{Outcome::Signalled, 0, 9, 0}, quotedExisting, "\"in.pdf\": This File is Encrypted"},
        {{Outcome::NotStarted, 0, 0, 2}, quotedExisting, kNotStarted},
        {{Outcome::Exited, 0, 0, 0}, "\"", "\"in.pdf\": This File is Encrypted"},
        {{Outcome::Exited, 0, 0, 0}, "", "\"in.pdf\": This File is Encrypted"},
    };
    for (const Case& c : cases) {
        alerts->Clear();
        ReportConversionResult("\"in.pdf\"", c.quotedText, c.run);
        EXPECT_EQ(alerts->Texts(), std::vector<std::string>{c.message}) << c.quotedText;
    }
}

}  // namespace
}  // namespace sonoleaf
