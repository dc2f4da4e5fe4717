// The four jobs that speak or render one text, run through the job runner against
// the recording service, the recording alerts and a window-less host.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "jobs/job_runner.h"
#include "platform/text/text_convert.h"
#include "support/fake_job_host.h"
#include "support/job_table.h"
#include "support/recording_alerts.h"
#include "support/recording_speech_service.h"
#include "support/temp_dir.h"

namespace sonoleaf {
namespace {

namespace ss = speech_service;
using testing::AlertCapture;
using testing::FakeJobHost;
using testing::RecordingSpeechService;
using testing::TempDir;

constexpr auto kWait = std::chrono::seconds(10);
constexpr char kStamp[] = R"(\d{6}_[A-Z][a-z]+day_[A-Z][a-z]+_\d{2}_\d{4})";

// An alert as the test expects it: a pattern for its text and the job's busy flag
// at the moment it appeared.
struct ExpectedAlert {
    std::string pattern;  // regular expression; paths are escaped by the case
    std::int32_t busy;
};

std::string Escaped(const std::string& text) {
    static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
    return std::regex_replace(text, special, R"(\$&)");
}

struct JobCase {
    const char* name;
    Job job;
    std::u16string typedText;
    std::u16string source;  // "$DIR" is replaced by the test folder
    std::u16string folder;
    AudioType audioType;
    std::vector<ExpectedAlert> alerts;  // "$DIR" in patterns likewise
    int speaks;                         // Speak calls made
    std::vector<std::string> files;     // patterns of the files in the folder
};

std::u16string Expand(std::u16string text, const std::u16string& dir) {
    for (auto at = text.find(u"$DIR"); at != std::u16string::npos; at = text.find(u"$DIR"))
        text.replace(at, 4, dir);
    return text;
}

class TextJobs : public ::testing::TestWithParam<JobCase> {
  protected:
    TempDir dir;
    AlertCapture alerts;
    std::shared_ptr<RecordingSpeechService> service = std::make_shared<RecordingSpeechService>();
    FakeJobHost host{service};
    JobRunner runner;
};

TEST_P(TextJobs, ValidateRunAndReport) {
    const JobCase& c = GetParam();
    const std::filesystem::path book = dir.Path() / "chapter1.txt";
    std::ofstream(book) << "Chapter one.";
    host.SetControlText(kTypedTextEdit, c.typedText);
    host.SetControlText(kTextSourceBrowse, Expand(c.source, dir.Wide()));
    host.SetControlText(kAudioFolderBrowse, Expand(c.folder, dir.Wide()));
    host.Profile().audioType = c.audioType;
    alerts->WatchBusyFlag(&host.BusyFlag(c.job));

    ASSERT_TRUE(runner.Launch(host.BusyFlag(c.job), [&] { testing::ProcedureFor(c.job)(host); }));
    runner.JoinAll();

    EXPECT_EQ(host.BusyFlag(c.job), 0);
    const auto shown = alerts->Alerts();
    ASSERT_EQ(shown.size(), c.alerts.size()) << ::testing::PrintToString(alerts->Texts());
    const std::string dirText = Escaped(dir.Path().string());
    for (std::size_t i = 0; i < shown.size(); ++i) {
        std::string pattern = c.alerts[i].pattern;
        for (auto at = pattern.find("$DIR"); at != std::string::npos; at = pattern.find("$DIR"))
            pattern.replace(at, 4, dirText);
        EXPECT_EQ(shown[i].caption, u"Message Box for Alert");
        EXPECT_TRUE(std::regex_match(text::ToNarrow(shown[i].text), std::regex(pattern)))
            << text::ToNarrow(shown[i].text) << " !~ " << pattern;
        EXPECT_EQ(shown[i].busyFlag, c.alerts[i].busy) << i;
    }
    EXPECT_EQ(service->SpeakCount(), c.speaks);
    EXPECT_EQ(service->LiveObjects(), 0);

    std::vector<std::string> written;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        if (entry.path() != book) written.push_back(entry.path().filename().string());
    ASSERT_EQ(written.size(), c.files.size()) << ::testing::PrintToString(written);
    for (std::size_t i = 0; i < written.size(); ++i)
        EXPECT_TRUE(std::regex_match(written[i], std::regex(c.files[i]))) << written[i];
}

const std::string kSaved = "File is saved to: ";
const std::string kNotSaved = "File could not be saved to: ";

INSTANTIATE_TEST_SUITE_P(
    Cases, TextJobs,
    ::testing::Values(
        JobCase{"speak_now",
                Job::SpeakNow,
                u"Hello",
                u"",
                u"",
                Mp3,
                {{"Text to Speech operation Completed", 0}},
                1,
                {}},
        JobCase{"speak_now_empty",
                Job::SpeakNow,
                u"",
                u"",
                u"",
                Mp3,
                {{"Text to Speech operation Completed", 0}},
                1,
                {}},
        JobCase{"make_audio_no_folder",
                Job::MakeAudio,
                u"Hello",
                u"",
                u"",
                Mp3,
                {{"OutputFolder Path is not selected", 1}},
                0,
                {}},
        JobCase{
            "make_audio",
            Job::MakeAudio,
            u"Hello",
            u"",
            u"$DIR",
            Mp3,
            {{kSaved + "$DIR//" + kStamp + "\\.mp3", 1}, {"Raw Text to Audio Operation Ended", 0}},
            1,
            {std::string(kStamp) + "\\.mp3"}},
        JobCase{
            "make_audio_wav",
            Job::MakeAudio,
            u"Hello",
            u"",
            u"$DIR",
            Wav,
            {{kSaved + "$DIR//" + kStamp + "\\.wav", 1}, {"Raw Text to Audio Operation Ended", 0}},
            1,
            {std::string(kStamp) + "\\.wav"}},
        JobCase{"make_audio_empty_text",
                Job::MakeAudio,
                u"",
                u"",
                u"$DIR",
                Mp3,
                {{"Raw Text to Audio Operation Ended", 0}},
                0,
                {}},
        JobCase{
            "make_audio_missing_folder",
            Job::MakeAudio,
            u"Hello",
            u"",
            u"$DIR/none",
            Mp3,
            {{kNotSaved + "$DIR/none//" + kStamp + "\\.mp3\r\nThe folder cannot be written to\\.",
              1},
             {"Raw Text to Audio Operation Ended", 0}},
            0,
            {}},
        JobCase{
            "speak_file_no_path",
            Job::SpeakFile,
            u"",
            u"",
            u"$DIR",
            Mp3,
            {{"Text File Input Path is not set\r\nPlease set Text file input path correctly", 1}},
            0,
            {}},
        JobCase{"speak_file",
                Job::SpeakFile,
                u"",
                u"$DIR/chapter1.txt",
                u"",
                Mp3,
                {{"Text File to Speech Operation Ended", 0}},
                1,
                {}},
        JobCase{"speak_file_missing",
                Job::SpeakFile,
                u"",
                u"$DIR/none.txt",
                u"",
                Mp3,
                {{"Text File to Speech Operation Ended", 0},
                 {"The text could not be spoken:\r\nThe text file could not be found.", 0}},
                1,
                {}},
        JobCase{"file_to_audio_no_folder",
                Job::FileToAudio,
                u"",
                u"$DIR/chapter1.txt",
                u"",
                Wav,
                {{"You Have to select both Text file and Output Folder path", 1}},
                0,
                {}},
        JobCase{"file_to_audio_no_source",
                Job::FileToAudio,
                u"",
                u"",
                u"$DIR",
                Wav,
                {{"You Have to select both Text file and Output Folder path", 1}},
                0,
                {}},
        JobCase{"file_to_audio",
                Job::FileToAudio,
                u"",
                u"$DIR/chapter1.txt",
                u"$DIR",
                Wav,
                {{kSaved + "$DIR//chapter1\\.wav", 1}, {"Text File to Audio Operation Ended", 0}},
                1,
                {"chapter1\\.wav"}},
        JobCase{"file_to_audio_missing_source",
                Job::FileToAudio,
                u"",
                u"$DIR/none.txt",
                u"$DIR",
                Mp3,
                {{kNotSaved + "$DIR//none\\.mp3\r\nThe text file could not be found\\.", 1},
                 {"Text File to Audio Operation Ended", 0}},
                1,
                // The stream was bound before the source turned out to be missing: the
                // failed render leaves nothing under its name.
                {}},
        JobCase{"file_to_audio_trailing_separator",
                Job::FileToAudio,
                u"",
                u"$DIR/chapter1.txt",
                u"$DIR/",
                Mp3,
                {{kSaved + "$DIR///chapter1\\.mp3", 1}, {"Text File to Audio Operation Ended", 0}},
                1,
                {"chapter1\\.mp3"}}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Naming of single output files ----------------------------------------------

struct NameCase {
    std::u16string source;
    std::u16string folder;
    AudioType audioType;
    std::string outputPattern;
};

TEST(SingleFileNames, FolderTwoSeparatorsNameAndExtension) {
    for (const NameCase& c : {
             NameCase{u"/Books/chapter1.txt", u"/Audio", Wav, "/Audio//chapter1\\.wav"},
             NameCase{u"/Books/chapter1.txt", u"/Audio", Mp3, "/Audio//chapter1\\.mp3"},
             NameCase{u"/Books/my.notes.txt", u"/Audio", Mp3, "/Audio//my\\.notes\\.mp3"},
             NameCase{u"/Books/a.txt", u"/Audio", Mp3, std::string("/Audio//") + kStamp + "\\.mp3"},
             NameCase{u"/Books/readme", u"/Audio", Mp3,
                      std::string("/Audio//") + kStamp + "\\.mp3"},
             NameCase{u"/my.books/readme", u"/Audio", Wav,
                      std::string("/Audio//") + kStamp + "\\.wav"},
             NameCase{u"/Books/chapter1.txt", u"/", Wav, "///chapter1\\.wav"},
             NameCase{u"/Books/chapter1.txt", u"/Audio/", Wav, "/Audio///chapter1\\.wav"},
             NameCase{u"/Books/chapter1.txt", u" ", Wav, " //chapter1\\.wav"},
         }) {
        const auto service = std::make_shared<RecordingSpeechService>();
        service->FailCall("CreateVoice");  // only the name matters here
        AlertCapture alerts;
        SpeechEngine engine(service);
        VoiceProfile profile;
        profile.audioType = c.audioType;
        engine.CopyProfile(profile);
        engine.MakeAudioFromTextFile(c.source, c.folder);
        const auto texts = alerts->Texts();
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_TRUE(
            std::regex_match(texts[0], std::regex("File could not be saved to: " + c.outputPattern +
                                                  "\r\nNo speech voice could be made ready\\.")))
            << texts[0];
    }
}

TEST(SingleFileNames, MakeAudioUsesTheTimeStamp) {
    const auto service = std::make_shared<RecordingSpeechService>();
    AlertCapture alerts;
    TempDir dir;
    SpeechEngine engine(service);
    engine.CopyProfile(VoiceProfile{});
    engine.MakeAudioFromText(u"Stamped", dir.Wide() + u"/");
    const auto speaks = service->Speaks();
    ASSERT_EQ(speaks.size(), 1u);
    EXPECT_TRUE(
        std::regex_match(text::ToNarrow(speaks[0].outputPath),
                         std::regex(Escaped(dir.Path().string()) + "///" + kStamp + "\\.mp3")))
        << text::ToNarrow(speaks[0].outputPath);
}

// --- "Speak Now" ---------------------------------------------------------------

class SpeakNow : public ::testing::Test {
  protected:
    AlertCapture alerts;
    std::shared_ptr<RecordingSpeechService> service = std::make_shared<RecordingSpeechService>();
    FakeJobHost host{service};
    JobRunner runner;
};

TEST_F(SpeakNow, SavesDataUsesTheProfileDirectlyAndSpeaksAloud) {
    host.SetControlText(kTypedTextEdit, u"Line one\r\nLine two");
    host.SetSaveDataResult(false);  // a bad number field does not stop the speech
    host.Profile().volume = 40;
    host.Profile().speed = 3;
    host.Profile().voiceGender = Female;
    SpeakNowJob(host);

    EXPECT_EQ(host.SaveDataCalls(), 1);
    const auto speaks = service->Speaks();
    ASSERT_EQ(speaks.size(), 1u);
    EXPECT_EQ(speaks[0].text, u"Line one\r\nLine two");
    EXPECT_EQ(speaks[0].flags, ss::kSpeakDefault);
    EXPECT_FALSE(speaks[0].toFile);
    EXPECT_EQ(speaks[0].volume, 40);
    EXPECT_EQ(speaks[0].rate, 3);
    EXPECT_EQ(speaks[0].tokenName, u"Recorded Female");
    // The engine's own copies are not touched by this job.
    EXPECT_EQ(host.Engine().volume, 0);
    EXPECT_EQ(service->LiveObjects(), 0);
    EXPECT_TRUE(host.Engine().liveVoice.Empty());
}

TEST_F(SpeakNow, StillEndsWhenTheVoiceCannotBeCreatedAndTellsWhy) {
    service->FailCall("CreateVoice");
    host.SetControlText(kTypedTextEdit, u"Hello");
    SpeakNowJob(host);
    EXPECT_EQ(service->Log(), std::vector<std::string>{"CreateVoice"});
    EXPECT_EQ(alerts->Texts(),
              (std::vector<std::string>{"Text to Speech operation Completed",
                                        "The text could not be spoken:\r\nThe speech could "
                                        "not be made."}));
    EXPECT_EQ(host.BusyFlag(Job::SpeakNow), 0);
}

TEST_F(SpeakNow, IgnoresAFailedVoiceLookup) {
    service->FailCall("SetVoice");
    host.SetControlText(kTypedTextEdit, u"Hello");
    SpeakNowJob(host);
    EXPECT_EQ(service->SpeakCount(), 1);
}

TEST_F(SpeakNow, SecondLaunchIsRefusedWhileSpeakingAndStopEndsTheJob) {
    service->SetSpeakBlocks(true);
    host.SetControlText(kTypedTextEdit, u"A long speech");
    auto launch = [&] {
        return runner.Launch(host.BusyFlag(Job::SpeakNow), [&] { SpeakNowJob(host); });
    };
    ASSERT_TRUE(launch());
    ASSERT_TRUE(service->WaitForBlockedSpeaks(1, kWait));
    EXPECT_FALSE(launch());
    EXPECT_EQ(host.BusyFlag(Job::SpeakNow), 1);

    StopTtsProcess(host);
    ASSERT_TRUE(alerts->WaitForAlerts(1, kWait));
    runner.JoinAll();
    EXPECT_EQ(host.BusyFlag(Job::SpeakNow), 0);
    EXPECT_EQ(service->SpeakCount(), 1);
    EXPECT_EQ(alerts->Texts(), std::vector<std::string>{"Text to Speech operation Completed"});
}

// --- Busy timing with boxes left open ------------------------------------------

TEST(JobBusyTiming, ValidationMessageKeepsTheJobBusyCompletionMessageDoesNot) {
    AlertCapture alerts;
    TempDir dir;
    const auto service = std::make_shared<RecordingSpeechService>();
    FakeJobHost host(service);
    JobRunner runner;
    alerts->SetBlocking(true);
    auto launch = [&] {
        return runner.Launch(host.BusyFlag(Job::MakeAudio), [&] { MakeAudioJob(host); });
    };

    // No folder: the box is open and the job still counts as running.
    ASSERT_TRUE(launch());
    ASSERT_TRUE(alerts->WaitForOpen(1, kWait));
    EXPECT_FALSE(launch());
    alerts->ReleaseAlerts();
    runner.JoinAll();
    EXPECT_EQ(host.BusyFlag(Job::MakeAudio), 0);

    // With a folder: while the completion box is open the job may start again.
    alerts->Clear();
    host.SetControlText(kAudioFolderBrowse, dir.Wide());
    host.SetControlText(kTypedTextEdit, u"Hello");
    ASSERT_TRUE(launch());
    ASSERT_TRUE(alerts->WaitForOpen(1, kWait));  // "File is saved to: "
    EXPECT_FALSE(launch());
    alerts->ReleaseAlerts();
    ASSERT_TRUE(alerts->WaitForAlerts(2, kWait));
    ASSERT_TRUE(alerts->WaitForOpen(1, kWait));  // "Raw Text to Audio Operation Ended"
    EXPECT_EQ(host.BusyFlag(Job::MakeAudio), 0);
    EXPECT_TRUE(launch());
    alerts->SetBlocking(false);
    runner.JoinAll();
}

TEST(JobStop, StopEndsEveryRenderOfTheOperationAndEachJobStillReports) {
    AlertCapture alerts;
    TempDir dir;
    const auto service = std::make_shared<RecordingSpeechService>();
    FakeJobHost host(service);
    JobRunner runner;
    service->SetSpeakBlocks(true);
    host.SetControlText(kTypedTextEdit, u"Typed text");
    host.SetControlText(kAudioFolderBrowse, dir.Wide());
    const std::filesystem::path book = dir.Path() / "book.txt";
    std::ofstream(book) << "A book.";
    host.SetControlText(kTextSourceBrowse, book.u16string());

    ASSERT_TRUE(runner.Launch(host.BusyFlag(Job::MakeAudio), [&] { MakeAudioJob(host); }));
    ASSERT_TRUE(runner.Launch(host.BusyFlag(Job::FileToAudio), [&] { FileToAudioJob(host); }));
    ASSERT_TRUE(runner.Launch(host.BusyFlag(Job::SpeakFile), [&] { SpeakFileJob(host); }));
    // A second render of the same operation at the same time, as an audio list does.
    std::thread list(
        [&] { host.Engine().RenderTextToFile(u"List part", dir.Wide() + u"//book_1.wav", false); });
    ASSERT_TRUE(service->WaitForBlockedSpeaks(4, kWait));

    StopTtsProcess(host);
    list.join();
    runner.JoinAll();

    for (Job job : {Job::MakeAudio, Job::FileToAudio, Job::SpeakFile})
        EXPECT_EQ(host.BusyFlag(job), 0);
    auto texts = alerts->Texts();
    std::sort(texts.begin(), texts.end());
    ASSERT_EQ(texts.size(), 5u) << ::testing::PrintToString(texts);
    EXPECT_EQ(texts[0].rfind("File is saved to: ", 0), 0u);
    EXPECT_EQ(texts[1].rfind("File is saved to: ", 0), 0u);
    EXPECT_EQ(texts[2], "Raw Text to Audio Operation Ended");
    EXPECT_EQ(texts[3], "Text File to Audio Operation Ended");
    EXPECT_EQ(texts[4], "Text File to Speech Operation Ended");
    EXPECT_EQ(service->LiveVoices(), 0);
}

}  // namespace
}  // namespace sonoleaf
