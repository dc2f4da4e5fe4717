// The cost of an audiobook's AAC: how fast one core encodes speech, and what joining
// chapters encoded apart costs the process that writes the book.
//
// The speech is real: the prose text (bench/data/prose.txt) rendered by the speech
// service's default voice, repeated to one minute. Each round, in turn:
//
//   encode  the minute encoded as one chapter from a fresh encoder (FFmpeg's AAC-LC,
//           fast coder, 64 kbit/s), as each chapter's process does; timed by the
//           processor time of the encoding thread;
//   book-1  the encoded minute written as a book of one chapter (no join);
//   book-10 the minute cut into ten chapters, each encoded beforehand, written as a
//           book: nine joins, each encoded anew around the join.
//
// The first round warms the caches and is not counted. aac-x-realtime is seconds of
// speech per second of processor time (median); join-ms the median of
// (book-10 - book-1) / 9, the processor time one join costs the writer.
//
// Then whole lists through sonoleaf-cli (the program's own path: every file or chapter
// in a helper process, on every core), over the prose text repeated and cut every 2000
// bytes into at least ten files or chapters, as many as twice the usable cores go into
// evenly (so that half the list keeps every core as busy as the whole does; three
// chapters in a smoke run), in turn each round:
//
//   mp3     the list in MP3;
//   m4b     the same list as one audiobook;
//   resume  the audiobook list stopped (SIGTERM) once half its chapters are made, then
//           timed as it is resumed (--resume) to its end.
//
// m4b-vs-mp3 is the median of m4b / mp3; resumed-share the median of resume / m4b.
//
// The last line: "audiobook figures: m4b-vs-mp3=W aac-x-realtime=X resumed-share=R
// join-ms=Y". Goals: W at most 1.10, X at least 200, R at most 0.55. SONOLEAF_BENCH_RUNS=N sets the
// number of counted rounds (default 7, at least 3); SONOLEAF_BENCH_SMOKE=1 makes five seconds of
// speech from the text's first sentence and runs one round, with no warm-up.

#include <signal.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench_mode.h"
#include "platform/process/spawn.h"
#include "platform/speech/audiobook_writer.h"
#include "platform/speech/chapter_encoder.h"
#include "platform/speech/speech_service.h"
#include "platform/speech/synthesis_engine.h"
#include "platform/text/text_convert.h"
#include "support/audio_analysis.h"
#include "support/cli_process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
namespace ss = sonoleaf::speech_service;
using Samples = std::vector<std::int16_t>;

constexpr int kChapters = 10;

double ThreadCpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The prose (or its first sentence) spoken by the default voice, repeated to `seconds`.
bool MakeSpeech(const fs::path& folder, int seconds, bool firstSentence, Samples& speech) {
    std::ifstream in(fs::path(SONOLEAF_BENCH_DATA) / "prose.txt");
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (firstSentence) text.resize(std::min(text.size(), text.find('.') + 1));
    const auto service = ss::CreateSystemSpeechService();
    std::shared_ptr<ss::Voice> voice;
    std::shared_ptr<ss::FileStream> stream;
    const ss::WaveFormat format{};
    const fs::path wav = folder / "prose.wav";
    if (text.empty() || ss::Failed(service->CreateVoice(voice)) ||
        ss::Failed(service->CreateFileStream(stream)) ||
        ss::Failed(stream->BindToFile(wav.u16string(), ss::kFileModeCreateAlways,
                                      ss::StreamFormatId::WaveFormatEx, &format, ss::kAllEvents)) ||
        ss::Failed(voice->SetOutput(stream, true)) ||
        ss::Failed(voice->Speak(sonoleaf::text::ToWide(text), ss::kSpeakDefault, nullptr)) ||
        ss::Failed(stream->Close()))
        return false;
    sonoleaf::testing::Audio audio;
    if (!sonoleaf::testing::ReadAudioFile(wav, audio) || audio.samples.empty()) return false;
    const std::size_t wanted = static_cast<std::size_t>(seconds) * ss::kSampleRate;
    for (std::size_t i = 0; speech.size() < wanted; i = (i + 1) % audio.samples.size())
        speech.push_back(static_cast<std::int16_t>(audio.samples[i] * 32768.0f));
    return true;
}

bool Encode(std::span<const std::int16_t> sound, std::int64_t start, ss::EncodedChapter& chapter) {
    std::unique_ptr<ss::ChapterEncoder> encoder;
    return ss::Succeeded(ss::ChapterEncoder::Create(start, encoder)) &&
           ss::Succeeded(encoder->Write(sound)) && ss::Succeeded(encoder->Finish(chapter));
}

// Processor seconds to write `chapters` as a book; negative when it failed.
double WriteBook(const fs::path& path, const std::vector<ss::EncodedChapter>& chapters) {
    const double start = ThreadCpuSeconds();
    std::unique_ptr<ss::AudiobookWriter> writer;
    if (ss::Failed(ss::AudiobookWriter::Open(path.u16string(), {}, writer))) return -1;
    for (const auto& chapter : chapters)
        if (ss::Failed(writer->AddChapter(u"Chapter", chapter))) return -1;
    if (ss::Failed(writer->Finish())) return -1;
    return ThreadCpuSeconds() - start;
}

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::vector<std::string> ListArguments(const fs::path& source, const fs::path& folder,
                                       const std::string& format) {
    return {"list",     "--quiet", "--length",      "2000",
            "--format", format,    source.string(), folder.string()};
}

// Wall seconds of one list; negative when it failed.
double TimeList(const std::vector<std::string>& arguments) {
    const Clock::time_point start = Clock::now();
    const sonoleaf::testing::CliResult result = sonoleaf::testing::RunCli(arguments);
    return result.status == 0 ? Since(start) : -1;
}

std::size_t ChaptersMade(const fs::path& folder) {
    std::size_t made = 0;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        made += name.ends_with(".chapter") && name.find(".part-") == std::string::npos;
    }
    return made;
}

// The audiobook list stopped once `half` chapters are made, then resumed: the wall
// seconds of the resumed run; negative when it failed.
double TimeResume(const fs::path& source, const fs::path& folder, std::size_t half) {
    {
        sonoleaf::testing::CliProcess first(ListArguments(source, folder, "m4b"));
        // (A list that ended before it could be stopped leaves its book: nothing to wait for.)
        while (ChaptersMade(folder) < half && !fs::exists(folder / "prose.m4b"))
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ::kill(first.Pid(), SIGTERM);
        first.Finish();
    }
    std::vector<std::string> arguments = ListArguments(source, folder, "m4b");
    arguments.insert(arguments.begin() + 1, "--resume");
    return TimeList(arguments);
}

}  // namespace

int main() {
    const bool smoke = sonoleaf::bench::Smoke();
    sonoleaf::testing::TempDir dir;
    Samples speech;
    if (!MakeSpeech(dir.Path(), smoke ? 5 : 60, smoke, speech)) {
        std::fprintf(stderr, "the speech service made no speech\n");
        return 1;
    }
    const double seconds = static_cast<double>(speech.size()) / ss::kSampleRate;
    // The chapters of the ten-chapter book, cut at uneven places, encoded once.
    std::vector<ss::EncodedChapter> ten(kChapters);
    std::vector<ss::EncodedChapter> one(1);
    std::int64_t at = 0;
    for (int k = 0; k < kChapters; ++k) {
        const auto end = static_cast<std::int64_t>(speech.size()) * (k + 1) / kChapters + 333 * k;
        const auto length =
            std::min<std::int64_t>(end, static_cast<std::int64_t>(speech.size())) - at;
        if (!Encode(std::span(speech).subspan(static_cast<std::size_t>(at), length), at, ten[k]))
            return 1;
        at += length;
    }
    if (!Encode(speech, 0, one[0])) return 1;

    const int runs = sonoleaf::bench::Rounds(7);
    std::vector<double> realtime;
    std::vector<double> joinMs;
    for (int round = smoke ? 1 : 0; round <= runs; ++round) {
        double encode = 0, bookOne = 0, bookTen = 0;
        for (int turn = 0; turn < 3; ++turn) {
            switch ((turn + round) % 3) {
                case 0: {
                    ss::EncodedChapter chapter;
                    const double start = ThreadCpuSeconds();
                    if (!Encode(speech, 0, chapter)) return 1;
                    encode = ThreadCpuSeconds() - start;
                    break;
                }
                case 1:
                    bookOne = WriteBook(dir.Path() / "one.m4b", one);
                    break;
                default:
                    bookTen = WriteBook(dir.Path() / "ten.m4b", ten);
                    break;
            }
        }
        if (bookOne < 0 || bookTen < 0) {
            std::fprintf(stderr, "writing a book failed\n");
            return 1;
        }
        std::printf("round %d: encode %.3f s, book-1 %.3f s, book-10 %.3f s (cpu)\n", round, encode,
                    bookOne, bookTen);
        if (round == 0) continue;  // warms the caches
        realtime.push_back(seconds / encode);
        joinMs.push_back((bookTen - bookOne) / (kChapters - 1) * 1000);
    }
    std::printf("%.1f s of speech\n", seconds);

    // Whole lists through the program, on every core.
    std::ifstream in(fs::path(SONOLEAF_BENCH_DATA) / "prose.txt");
    std::string prose{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (prose.empty()) return 1;
    const auto cores = static_cast<std::size_t>(sonoleaf::process::UsableCores());
    const std::size_t wanted = smoke ? 4500 : 2000 * (9 / (2 * cores) + 1) * 2 * cores;
    for (const std::string once = prose; prose.size() < wanted;) prose += once;
    prose.resize(wanted);
    const fs::path source = dir.Path() / "prose.txt";
    std::ofstream(source) << prose;
    const std::size_t chapters = (prose.size() + 1999) / 2000;
    std::vector<double> versusMp3;
    std::vector<double> resumedShare;
    for (int round = 1; round <= (smoke ? 1 : std::min(runs, 5)); ++round) {
        double mp3 = 0, m4b = 0, resume = 0;
        for (int turn = 0; turn < 3; ++turn) {
            const fs::path folder =
                dir.Path() / ("list-" + std::to_string(round) + "-" + std::to_string(turn));
            switch ((turn + round) % 3) {
                case 0:
                    mp3 = TimeList(ListArguments(source, folder, "mp3"));
                    break;
                case 1:
                    m4b = TimeList(ListArguments(source, folder, "m4b"));
                    break;
                default:
                    resume = TimeResume(source, folder, (chapters + 1) / 2);
                    break;
            }
        }
        if (mp3 <= 0 || m4b <= 0 || resume <= 0) {
            std::fprintf(stderr, "a list through sonoleaf-cli failed\n");
            return 1;
        }
        std::printf("list round %d: mp3 %.2f s, m4b %.2f s, resumed after half %.2f s (wall)\n",
                    round, mp3, m4b, resume);
        versusMp3.push_back(m4b / mp3);
        resumedShare.push_back(resume / m4b);
    }
    std::printf(
        "audiobook figures: m4b-vs-mp3=%.2f aac-x-realtime=%.0f resumed-share=%.2f "
        "join-ms=%.1f\n",
        Median(versusMp3), Median(realtime), Median(resumedShare), Median(joinMs));
    return 0;
}
