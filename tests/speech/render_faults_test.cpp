// The four jobs that write audio, on the real speech service, when the output cannot
// be written: a folder that does not exist, a file in a folder's place, a read-only
// folder, and a disk that fills during the render (a file size limit). The user is
// told that the file was not saved and why, nothing crashes or hangs, and what is left
// on disk is a whole audio file or nothing.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "platform/speech/speech_service.h"
#include "platform/text/text_convert.h"
#include "support/audio_file_check.h"
#include "support/child_process.h"
#include "support/fake_job_host.h"
#include "support/job_table.h"
#include "support/recording_alerts.h"
#include "support/temp_dir.h"

namespace sonoleaf {
namespace {

namespace fs = std::filesystem;
using testing::AlertCapture;
using testing::AudioFilesIn;
using testing::CheckAudioFile;
using testing::FakeJobHost;
using testing::RunInChild;
using testing::TempDir;

constexpr char kSeparator = '\x1e';
const std::string kSentence = "The quick brown fox jumps over the lazy dog. ";

struct JobMessages {
    const char* name;
    Job job;
    // Patterns; $OUT stands for the output folder, $EXT for the extension.
    std::vector<std::string> messages;
};

// $REASON stands for the line that says why.
const JobMessages kJobs[] = {
    {"Make Audio",
     Job::MakeAudio,
     {R"(File could not be saved to: $OUT//\d{6}_[A-Za-z]+_[A-Za-z]+_\d{2}_\d{4}\.$EXT)"
      "\r\n$REASON",
      "Raw Text to Audio Operation Ended"}},
    {"Convert to Audio from Text file",
     Job::FileToAudio,
     {R"(File could not be saved to: $OUT//book\.$EXT)"
      "\r\n$REASON",
      "Text File to Audio Operation Ended"}},
    {"audio list by length",
     Job::LengthList,
     {"Text file to Audio List operation done\r\n1 of 1 audio files could not be saved to: "
      "$OUT\r\n$REASON",
      "Text File to Audio List Operation Ended"}},
    {"audio list by titles",
     Job::TitleList,
     {R"(Audio list by given <title>\.\.\.</title> tag completed)"
      "\r\n1 of 1 audio files could not be saved to: $OUT\r\n$REASON",
      "Text File to Audio List By given Titles Operation Ended"}},
};

std::string Escaped(const std::string& text) {
    static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
    return std::regex_replace(text, special, R"(\$&)");
}

std::string Expand(std::string pattern, const std::string& out, const std::string& extension,
                   const std::string& reason) {
    for (auto at = pattern.find("$OUT"); at != std::string::npos; at = pattern.find("$OUT"))
        pattern.replace(at, 4, Escaped(out));
    for (auto at = pattern.find("$REASON"); at != std::string::npos; at = pattern.find("$REASON"))
        pattern.replace(at, 7, Escaped(reason));
    for (auto at = pattern.find("$EXT"); at != std::string::npos; at = pattern.find("$EXT"))
        pattern.replace(at, 4, extension);
    return pattern;
}

std::vector<std::string> Split(const std::string& joined) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t at = joined.find(kSeparator); at != std::string::npos;
         at = joined.find(kSeparator, start)) {
        parts.push_back(joined.substr(start, at - start));
        start = at + 1;
    }
    return parts;
}

// The source file of the file and list jobs: `text` as one tagged passage.
void WriteSource(const fs::path& source, const std::string& text) {
    std::ofstream(source, std::ios::binary) << "<title>" << text << "</title>";
}

// Runs one job on the real service with `text` typed and `source` as its text file,
// into `folder`; returns its messages, then its flag and the voices left alive.
std::string RunJob(Job job, const fs::path& source, const fs::path& folder, AudioType type,
                   const std::string& text) {
    AlertCapture alerts;
    FakeJobHost host(speech_service::CreateSystemSpeechService());
    host.Profile().audioType = type;
    host.Profile().speed = 10;
    host.SetControlText(kTypedTextEdit, text::ToWide(text));
    host.SetControlText(kTextSourceBrowse, source.u16string());
    host.SetControlText(kAudioFolderBrowse, folder.u16string());
    host.SetControlText(kCharLengthEdit, u"33554432");
    host.SetControlText(kStartNumberEdit, u"");
    testing::ProcedureFor(job)(host);
    std::string joined;
    for (const std::string& message : alerts->Texts()) joined += message + kSeparator;
    joined += "busy=" + std::to_string(host.BusyFlag(job).load()) + kSeparator;
    joined += "voices=" + std::to_string(speech_service::LiveSystemVoices()) + kSeparator;
    return joined;
}

// The job ends as usual, but its message says that the file was not saved, and why.
void ExpectFailureTold(const JobMessages& job, const std::vector<std::string>& shown,
                       const fs::path& folder, const std::string& extension,
                       const std::string& reason) {
    ASSERT_EQ(shown.size(), job.messages.size() + 2) << ::testing::PrintToString(shown);
    for (std::size_t i = 0; i < job.messages.size(); ++i) {
        const std::string pattern = Expand(job.messages[i], folder.string(), extension, reason);
        EXPECT_TRUE(std::regex_match(shown[i], std::regex(pattern)))
            << shown[i] << " !~ " << pattern;
    }
    EXPECT_EQ(shown[shown.size() - 2], "busy=0");
    EXPECT_EQ(shown.back(), "voices=0");
}

class RenderFaults : public ::testing::Test {
  protected:
    TempDir dir;
    fs::path Source() const { return dir.Path() / "book.txt"; }
};

TEST_F(RenderFaults, UnwritableFolderIsToldAndLeavesNoFile) {
    fs::create_directory(dir.Path() / "read-only");
    fs::permissions(dir.Path() / "read-only", fs::perms::owner_read | fs::perms::owner_exec |
                                                  fs::perms::group_read | fs::perms::group_exec |
                                                  fs::perms::others_read | fs::perms::others_exec);
    std::ofstream(dir.Path() / "plain file") << "not a folder";
    const std::string missing = "The folder does not exist.";
    const std::pair<fs::path, std::string> folders[] = {
        {dir.Path() / "missing", missing},
        {dir.Path() / "plain file", missing},
        {dir.Path() / "read-only", "The folder cannot be written to."},
        {dir.Path() / "missing" / "deeper", missing}};
    WriteSource(Source(), "Nothing gets written.");
    for (const JobMessages& job : kJobs) {
        for (const auto& [folder, reason] : folders) {
            for (const AudioType type : {Mp3, Wav}) {
                SCOPED_TRACE(std::string(job.name) + " into " + folder.string() +
                             (type == Mp3 ? " (mp3)" : " (wav)"));
                const auto outcome = RunInChild([&] {
                    // As any user: root would write into the read-only folder.
                    if (!testing::DropRootRights()) return std::string("cannot drop root");
                    return RunJob(job.job, Source(), folder, type, "Nothing gets written.");
                });
                ASSERT_TRUE(outcome.exited) << "signal " << outcome.signal;
                ExpectFailureTold(job, Split(outcome.output), folder, type == Mp3 ? "mp3" : "wav",
                                  reason);
                if (fs::is_directory(folder)) {
                    EXPECT_TRUE(AudioFilesIn(folder).empty());
                }
            }
        }
    }
    EXPECT_FALSE(fs::exists(dir.Path() / "missing"));
}

// A file size limit stands in for a full disk: the render is cut short, the job says
// so, and no file cut short takes the name.
TEST_F(RenderFaults, DiskFillingDuringRenderLeavesNoFileCutShort) {
    constexpr rlim_t kLimit = 60000;
    std::string longText;
    for (int i = 0; i < 12; ++i) longText += kSentence;
    WriteSource(Source(), longText);
    for (const JobMessages& job : kJobs) {
        for (const AudioType type : {Mp3, Wav}) {
            SCOPED_TRACE(std::string(job.name) + (type == Mp3 ? " (mp3)" : " (wav)"));
            const fs::path out = dir.Path() / "out";
            fs::remove_all(out);
            fs::create_directory(out);
            const auto outcome = RunInChild([&] {
                std::signal(SIGXFSZ, SIG_IGN);
                const rlimit limit{kLimit, kLimit};
                ::setrlimit(RLIMIT_FSIZE, &limit);
                return RunJob(job.job, Source(), out, type, longText);
            });
            ASSERT_TRUE(outcome.exited) << "signal " << outcome.signal;
            ExpectFailureTold(job, Split(outcome.output), out, type == Mp3 ? "mp3" : "wav",
                              "The file could not be written to its end: the disk may be full.");
            EXPECT_TRUE(AudioFilesIn(out).empty());
        }
    }
}

}  // namespace
}  // namespace sonoleaf
