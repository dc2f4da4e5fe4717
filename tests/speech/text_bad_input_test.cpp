// The single-file jobs given what users give: awkward file and folder names and
// paths of 4,000 bytes (on the real service, which writes the files), text that is
// no clean text, and a 100 MB line. Each ends with the job's usual messages and
// leaves a whole audio file where one was asked for, or none when there is nothing
// to hear.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/speech/speech_service.h"
#include "platform/text/text_convert.h"
#include "support/audio_file_check.h"
#include "support/awkward_names.h"
#include "support/fake_job_host.h"
#include "support/job_table.h"
#include "support/recording_alerts.h"
#include "support/recording_speech_service.h"
#include "support/temp_dir.h"

namespace sonoleaf {
namespace {

namespace fs = std::filesystem;
using testing::AlertCapture;
using testing::AudioFilesIn;
using testing::CheckAudioFile;
using testing::FakeJobHost;
using testing::TempDir;
using Texts = std::vector<std::string>;

std::shared_ptr<speech_service::SpeechService> RealService() {
    static const auto service = speech_service::CreateSystemSpeechService();
    return service;
}

class TextBadInput : public ::testing::Test {
  protected:
    // Runs `job` on a new host over `service` with these inputs; its messages.
    Texts Run(Job job, std::shared_ptr<speech_service::SpeechService> service,
              const std::u16string& typed, const fs::path& source, const fs::path& folder,
              AudioType type = Wav) {
        alerts->Clear();
        FakeJobHost host(std::move(service));
        host.Profile().audioType = type;
        host.Profile().speed = 10;
        host.SetControlText(kTypedTextEdit, typed);
        host.SetControlText(kTextSourceBrowse, source.u16string());
        host.SetControlText(kAudioFolderBrowse, folder.u16string());
        testing::ProcedureFor(job)(host);
        EXPECT_EQ(host.BusyFlag(job), 0);
        EXPECT_EQ(speech_service::LiveSystemVoices(), 0);
        return alerts->Texts();
    }

    // The one audio file in `folder`, checked whole; its length in seconds (-1: none).
    double OnlyAudioFile(const fs::path& folder) {
        const auto files = AudioFilesIn(folder);
        EXPECT_LE(files.size(), 1u);
        if (files.empty()) return -1;
        const auto report = CheckAudioFile(files[0]);
        EXPECT_TRUE(report.valid) << files[0] << ": " << report.problem;
        return report.seconds;
    }

    TempDir dir;
    AlertCapture alerts;
};

TEST_F(TextBadInput, AwkwardNamesAndLongPathsGetTheirFiles) {
    struct Place {
        std::string label;
        fs::path folder;
        std::string stem;
    };
    std::vector<Place> places;
    for (const auto& [label, stem] : testing::AwkwardNames())
        places.push_back({label, dir.Path() / fs::path(stem), stem});
    // 4,000 bytes up to the name, well past libsndfile's own limit for names.
    places.push_back(
        {"4,000-byte path", testing::FolderOfPathLength(dir.Path() / "deep", 3980), "chapter"});
    for (const Place& place : places) {
        SCOPED_TRACE(place.label);
        fs::create_directories(place.folder);
        const fs::path source = place.folder / fs::path(place.stem + ".txt");
        std::ofstream(source) << "Read from the file.";
        const std::string folder = place.folder.string();

        const Texts made = Run(Job::MakeAudio, RealService(), u"Typed.", {}, place.folder);
        ASSERT_EQ(made.size(), 2u);
        EXPECT_TRUE(made[0].starts_with("File is saved to: " + folder + "//")) << made[0];
        EXPECT_TRUE(made[0].ends_with(".wav"));
        EXPECT_EQ(made[1], "Raw Text to Audio Operation Ended");
        EXPECT_GT(OnlyAudioFile(place.folder), 0.1);
        for (const auto& file : AudioFilesIn(place.folder)) fs::remove(file);

        const Texts converted = Run(Job::FileToAudio, RealService(), {}, source, place.folder, Mp3);
        EXPECT_EQ(converted, (Texts{"File is saved to: " + folder + "//" + place.stem + ".mp3",
                                    "Text File to Audio Operation Ended"}));
        EXPECT_GT(OnlyAudioFile(place.folder), 0.1);
        EXPECT_TRUE(fs::exists(place.folder / fs::path(place.stem + ".mp3")));
    }
}

TEST_F(TextBadInput, TextThatIsNoCleanTextGivesAWholeFile) {
    struct Case {
        const char* name;
        std::string fileBytes;
        std::u16string typed;
        bool audible;  // holds something to say
    };
    const Case cases[] = {
        {"NUL bytes", std::string("one\0two\0\0three", 14), std::u16string(u"one\0two", 7), true},
        {"invalid UTF-8", "caf\xe9 \xff\xfe na\xc3(ve \xed\xa0\x80", u"lone \xd800 surrogate",
         true},
        {"BOM alone", "\xef\xbb\xbf", u"\xfeff", false},
        {"UTF-16 BOM alone", "\xff\xfe", u"\xfffe", false},
        {"nothing but NUL", std::string(64, '\0'), std::u16string(8, u'\0'), false},
    };
    for (const Case& c : cases) {
        for (const AudioType type : {Wav, Mp3}) {
            SCOPED_TRACE(std::string(c.name) + (type == Wav ? " (wav)" : " (mp3)"));
            const fs::path out = dir.Path() / "out";
            fs::remove_all(out);
            fs::create_directory(out);
            const fs::path source = dir.Path() / "odd.txt";
            std::ofstream(source, std::ios::binary) << c.fileBytes;

            for (const Job job : {Job::MakeAudio, Job::FileToAudio}) {
                const Texts shown = Run(job, RealService(), c.typed, source, out, type);
                ASSERT_EQ(shown.size(), 2u) << ::testing::PrintToString(shown);
                // Nothing to say still gives a file: a short one of silence.
                EXPECT_TRUE(shown[0].starts_with("File is saved to: ")) << shown[0];
                const double seconds = OnlyAudioFile(out);
                if (c.audible) {
                    EXPECT_GT(seconds, 0.1);
                } else {
                    EXPECT_LT(seconds, 0.1);
                }
                for (const auto& file : AudioFilesIn(out)) fs::remove(file);
            }
        }
    }
}

// The 100 MB cases go through the recording service: the real one would speak for days.
TEST_F(TextBadInput, HundredMegabyteLineReachesTheServiceWhole) {
    auto service = std::make_shared<testing::RecordingSpeechService>();
    service->SetRecording(false);
    service->SetSamplesPerCharacter(0);
    const fs::path out = dir.Path() / "out";
    fs::create_directory(out);
    const fs::path source = dir.Path() / "line.txt";
    {
        std::ofstream file(source, std::ios::binary);
        const std::string block(1'000'000, 'x');
        for (int i = 0; i < 100; ++i) file << block;
    }
    EXPECT_EQ(Run(Job::FileToAudio, service, {}, source, out).back(),
              "Text File to Audio Operation Ended");
    EXPECT_EQ(Run(Job::MakeAudio, service, std::u16string(100'000'000, u'y'), {}, out).back(),
              "Raw Text to Audio Operation Ended");
    EXPECT_EQ(service->SpeakCount(), 2);
    EXPECT_EQ(service->LiveObjects(), 0);
    EXPECT_EQ(AudioFilesIn(out).size(), 2u);
}

}  // namespace
}  // namespace sonoleaf
