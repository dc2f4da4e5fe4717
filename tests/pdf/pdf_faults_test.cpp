// Converters that misbehave: crashing, hanging for a while, writing garbage, ending
// well without writing, and a text file left by an earlier run. Only a converter that
// ends with status 0 having written the text file counts as success.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "pdf/minimal_pdf.h"
#include "pdf/pdf_to_text.h"
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
using testing::RecordingSpeechService;
using testing::TempDir;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A scratch folder made the current one, where a stand-in converter is found first.
class PdfFaults : public ::testing::Test {
  protected:
    PdfFaults() : host(std::make_shared<RecordingSpeechService>()) {
        fs::create_directories(Work());
        fs::create_directories(Out());
        previousCwd = fs::current_path();
        fs::current_path(Work());
        alerts->WatchBusyFlag(&host.BusyFlag(Job::PdfToText));
        WriteFile(Source(), MinimalPdf("real text"));
    }
    ~PdfFaults() override { fs::current_path(previousCwd); }

    fs::path Work() const { return scratch.Path() / "work"; }
    fs::path Out() const { return scratch.Path() / "out"; }
    fs::path Source() const { return scratch.Path() / "report.pdf"; }
    fs::path Output() const { return Out() / "report.txt"; }

    void Converter(const std::string& body) {
        const fs::path script = Work() / "pdftotext";
        std::ofstream(script) << "#!/bin/sh\n" << body << "\n";
        fs::permissions(script, fs::perms::owner_all);
    }
    void RealConverter() { fs::remove(Work() / "pdftotext"); }

    // Runs the job; its one message, which must come while the job is busy.
    std::string Run() {
        alerts->Clear();
        host.SetControlText(kPdfSourceBrowse, Source().u16string());
        host.SetControlText(kTextFolderBrowse, Out().u16string());
        PdfToTextJob(host);
        const auto shown = alerts->Alerts();
        EXPECT_EQ(host.BusyFlag(Job::PdfToText), 0);
        if (shown.size() != 1) {
            ADD_FAILURE() << shown.size() << " messages";
            return {};
        }
        EXPECT_EQ(shown[0].busyFlag, 1);
        return text::ToNarrow(shown[0].text);
    }

    std::string Saved() const {
        return "Converted File  is Saved to: \"" + Output().string() + "\"";
    }
    std::string Encrypted() const {
        return "\"" + Source().string() + "\": This File is Encrypted";
    }

    TempDir scratch;
    AlertCapture alerts;
    FakeJobHost host;
    fs::path previousCwd;
};

TEST_F(PdfFaults, OnlyAConverterThatEndsWellHavingWrittenTheFileSucceeds) {
    struct Case {
        const char* name;
        const char* body;
        bool stale;  // a text file from an earlier run is there
        bool success;
        const char* contents;  // of the text file afterwards; null: no file
    };
    const Case cases[] = {
        {"crashes at once", "kill -SEGV $$", false, false, nullptr},
        {"crashes over a stale file", "kill -SEGV $$", true, false, "earlier run"},
        {"crashes after writing part", "printf half > \"$2\"; kill -SEGV $$", false, false, "half"},
        {"aborts", "kill -ABRT $$", false, false, nullptr},
        {"hangs a while, then writes", "sleep 1; printf late > \"$2\"", false, true, "late"},
        {"hangs a while, then fails", "sleep 1; exit 1", true, false, "earlier run"},
        {"garbage on its streams, then fails",
         "printf 'garbage \\001\\377\\n'; printf '\\376junk\\n' >&2; exit 2", false, false,
         nullptr},
        {"garbage on its streams, writes, ends well",
         "printf 'garbage \\001\\377\\n'; printf '\\376junk\\n' >&2; printf ok > \"$2\"", false,
         true, "ok"},
        {"ends well without writing", "exit 0", false, false, nullptr},
        {"ends well without writing, stale file there", "exit 0", true, false, "earlier run"},
        {"ends well, rewrites the stale file", "printf fresh > \"$2\"", true, true, "fresh"},
        {"writes a folder in the file's place", "mkdir \"$2\"", false, false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::error_code ignored;
        fs::remove_all(Output(), ignored);
        if (c.stale) WriteFile(Output(), "earlier run");
        Converter(c.body);
        EXPECT_EQ(Run(), c.success ? Saved() : Encrypted());
        if (c.contents != nullptr) {
            EXPECT_EQ(ReadAll(Output()), c.contents);
        } else {
            EXPECT_FALSE(fs::is_regular_file(Output()));
        }
    }
}

// Stopped at its time limit (here a short one), a converter's run is a failure that
// says so, and no text it began is left under the text file's name.
TEST_F(PdfFaults, AConverterPastItsTimeLimitIsStoppedAndLeavesNoPartialText) {
    // What it does, whether an earlier run's file is there, and what is there afterwards.
    const std::tuple<const char*, bool, const char*> cases[] = {
        {"exec sleep 600", false, nullptr},
        {"printf half > \"$2\"; exec sleep 600", false, nullptr},
        {"exec sleep 600", true, "earlier run"},
    };
    for (const auto& [body, stale, contents] : cases) {
        SCOPED_TRACE(body);
        std::error_code ignored;
        fs::remove_all(Output(), ignored);
        if (stale) WriteFile(Output(), "earlier run");
        Converter(body);
        alerts->Clear();
        ConvertPdfToText(Source().u16string(), Out().u16string(), std::chrono::milliseconds(500));
        EXPECT_EQ(alerts->Texts(), std::vector<std::string>{"\"" + Source().string() +
                                                            "\": pdftotext did not finish in time "
                                                            "and was stopped; no text was saved"});
        EXPECT_EQ(fs::exists(Output()) ? ReadAll(Output()) : "(none)",
                  contents ? contents : "(none)");
    }
}

TEST_F(PdfFaults, RealConverterOverAStaleFileReplacesIt) {
    RealConverter();
    WriteFile(Output(), "earlier run");
    EXPECT_EQ(Run(), Saved());
    EXPECT_NE(ReadAll(Output()).find("real text"), std::string::npos);
}

TEST_F(PdfFaults, GarbageForAPdfIsBlamedOnTheFile) {
    RealConverter();
    const std::string garbage[] = {
        std::string(),                          // empty
        std::string("%PDF-1.4\n"),              // a header and nothing more
        MinimalPdf("cut short").substr(0, 60),  // truncated
        std::string(4096, '\0'),
        std::string("\xff\xfe\x00garbage\x80\x81", 12),
    };
    for (const std::string& bytes : garbage) {
        WriteFile(Source(), bytes);
        std::error_code ignored;
        fs::remove(Output(), ignored);
        EXPECT_EQ(Run(), Encrypted()) << bytes.size() << " bytes";
        EXPECT_FALSE(fs::exists(Output()));
    }
}

}  // namespace
}  // namespace sonoleaf
