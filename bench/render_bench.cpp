// The cost of rendering a text to a WAV file through the speech service.
//
// A fixed 50 KB English text, made here from a seeded generator, is rendered three
// ways on the same voice and speed, the service's default voice at its rate 0:
//
//   raw      eSpeak NG's own API, the whole text in one espeak_Synth call, with a
//            callback that counts the samples and drops them: no file is written;
//   service  the speech service's voice bound to a WAV file stream, as the program
//            renders (pieces, synthesis thread, libsndfile, header kept valid);
//   cli      `espeak-ng -v VOICE -s WPM -w FILE.wav -f TEXT`, spawned and waited for.
//
// eSpeak NG has one synthesizer per process, set up once in one output mode, and the
// service sets it up on its own terms. The raw figures therefore come from a second
// process, this program started again with "--raw", which sets eSpeak NG up as the
// service does (synchronous output, 100 ms buffers, the same data folder) and
// synthesizes on request. The three ways take turns, round by round, with the order
// rotating, so that a change in the machine's load falls on all of them alike; a
// first round warms the caches and is not counted. Each way's figure is the median
// of its rounds: wall time (what the goal is about), and processor time beside it.
//
// The last line: "render ratios: service/raw=R1 service/cli=R2". Goals: service/raw
// at most 1.05, service/cli below 1.00.
//
// SONOLEAF_BENCH_RUNS=N sets the number of counted rounds (default 7, at least 3);
// SONOLEAF_BENCH_QUICK=1 shrinks the text tenfold for a trial run.

#include <espeak-ng/speak_lib.h>
#include <fcntl.h>
#include <sndfile.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/speech/speech_service.h"
#include "platform/speech/synthesis_engine.h"
#include "platform/text/text_convert.h"
#include "support/temp_dir.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
namespace ss = sonoleaf::speech_service;
using Clock = std::chrono::steady_clock;

// The service's eSpeak NG set-up (src/platform/speech/espeak_engine.cpp).
constexpr int kCallbackBufferMs = 100;

struct Figures {
    double seconds = 0;     // wall time
    double cpuSeconds = 0;  // user + system time of the process(es) doing the work
    std::int64_t samples = 0;
    bool ok = false;
};

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

double CpuSeconds(const struct rusage& usage) {
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double OwnCpuSeconds() {
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return CpuSeconds(usage);
}

// The data folder the service's engine uses; empty for eSpeak NG's default.
std::string DataPath() {
    for (const char* name : {"SONOLEAF_ESPEAK_DATA", "ESPEAK_DATA_PATH"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return value;
    }
    return {};
}

// --- The text -----------------------------------------------------------------------

// English prose from a seeded generator: sentences of varied length and shape,
// clauses, questions, quoted speech, numbers and paragraphs, the same every run.
class Prose {
  public:
    std::string Sentence() {
        // clang-format off
        static const char* const subjects[] = {
            "the old man", "a young woman", "the doctor", "my brother", "the children",
            "our neighbour", "the captain", "a stranger", "the teacher", "his mother",
            "the farmer", "the girl from the mill", "nobody", "everyone in the room"};
        static const char* const verbs[] = {
            "walked slowly towards", "looked for a long time at", "remembered",
            "spoke quietly about", "found", "could not forget", "wrote a letter about",
            "was thinking of", "carried", "pointed at", "laughed at", "waited beside"};
        static const char* const objects[] = {
            "the bridge over the river", "the house at the end of the lane",
            "a small wooden box", "the lights of the town", "the harvest",
            "the station", "an open window", "the last train", "the garden wall",
            "the stranger at the inn", "a map of the coast", "the church tower"};
        static const char* const tails[] = {
            "before the sun went down", "in the cold morning air", "without a word",
            "as the rain began to fall", "for the first time in years",
            "while the dog slept by the fire", "and then turned away", "after the war",
            "on a Sunday in October", "because there was nothing else to do"};
        static const char* const openers[] = {
            "At last", "In the evening", "Later that year", "Of course", "Still",
            "For a while", "Even so", "That night", "Once again", "Suddenly"};
        // clang-format on
        auto pick = [this](const auto& list) { return std::string(list[Below(std::size(list))]); };

        std::string s;
        const unsigned shape = Below(10);
        if (shape < 3) s = pick(openers) + ", ";
        s += pick(subjects) + " " + pick(verbs) + " " + pick(objects);
        if (Below(2) == 0) s += " " + pick(tails);
        if (Below(4) == 0) s += ", and " + pick(subjects) + " " + pick(verbs) + " " + pick(objects);
        if (Below(6) == 0) s += "; it was " + std::to_string(2 + Below(97)) + " miles away";
        if (shape == 9) {
            s = "\"Did " + pick(subjects) + " see " + pick(objects) + "?\" " +
                (Below(2) ? "she asked." : "he asked.");
        } else {
            s += Below(12) == 0 ? "!" : ".";
        }
        if (s[0] == '"') {
            if (s[1] >= 'a' && s[1] <= 'z') s[1] = static_cast<char>(s[1] - 'a' + 'A');
        } else if (s[0] >= 'a' && s[0] <= 'z') {
            s[0] = static_cast<char>(s[0] - 'a' + 'A');
        }
        return s;
    }

    std::string Text(std::size_t bytes) {
        std::string text;
        std::string paragraph;
        while (text.size() < bytes) {
            paragraph += Sentence();
            if (Below(6) == 0) {
                text += paragraph + "\n\n";
                paragraph.clear();
            } else {
                paragraph += ' ';
            }
        }
        text.resize(bytes);
        // End on a whole word.
        const std::size_t space = text.find_last_of(" \n");
        if (space != std::string::npos && space > bytes / 2) text.resize(space);
        text += ".\n";
        return text;
    }

  private:
    unsigned Below(std::size_t n) { return static_cast<unsigned>(random_() % n); }
    std::mt19937 random_{2025};
};

// --- Raw synthesis, in a process of its own -------------------------------------------

std::int64_t g_rawSamples = 0;

int DiscardSamples(short* /*wave*/, int count, espeak_EVENT* /*events*/) {
    if (count > 0) g_rawSamples += count;
    return 0;
}

// "--raw VOICE WPM TEXTFILE": sets eSpeak NG up, then for each byte read on standard
// input synthesizes the text once and answers with its Figures on standard output.
int RawWorker(const char* voice, int wordsPerMinute, const char* textPath) {
    std::ifstream in(textPath, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string path = DataPath();
    if (espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, kCallbackBufferMs,
                          path.empty() ? nullptr : path.c_str(), 0) != ss::kSampleRate) {
        std::fprintf(stderr, "raw: eSpeak NG did not start at %d Hz\n", ss::kSampleRate);
        return 1;
    }
    espeak_SetSynthCallback(DiscardSamples);
    if (espeak_SetVoiceByName(voice) != EE_OK ||
        espeak_SetParameter(espeakRATE, wordsPerMinute, 0) != EE_OK) {
        std::fprintf(stderr, "raw: voice %s at %d wpm refused\n", voice, wordsPerMinute);
        return 1;
    }
    char request = 0;
    while (::read(STDIN_FILENO, &request, 1) == 1) {
        Figures figures;
        g_rawSamples = 0;
        const double cpu = OwnCpuSeconds();
        const auto start = Clock::now();
        const espeak_ERROR status =
            espeak_Synth(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0,
                         espeakCHARS_UTF8 | espeakENDPAUSE, nullptr, nullptr);
        figures.seconds = Seconds(start);
        figures.cpuSeconds = OwnCpuSeconds() - cpu;
        figures.samples = g_rawSamples;
        figures.ok = status == EE_OK && g_rawSamples > 0;
        if (::write(STDOUT_FILENO, &figures, sizeof figures) != sizeof figures) return 1;
    }
    espeak_Terminate();
    return 0;
}

// The parent's end of the raw worker.
class RawProcess {
  public:
    bool Start(const std::string& voice, int wordsPerMinute, const fs::path& text) {
        int toChild[2], fromChild[2];
        if (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0) return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
        const std::string rate = std::to_string(wordsPerMinute);
        const std::string textPath = text.string();
        std::error_code error;
        const std::string self = fs::read_symlink("/proc/self/exe", error).string();
        if (error) return false;
        std::vector<char*> argv = {
            const_cast<char*>(self.c_str()),     const_cast<char*>("--raw"),
            const_cast<char*>(voice.c_str()),    const_cast<char*>(rate.c_str()),
            const_cast<char*>(textPath.c_str()), nullptr};
        const int spawned =
            ::posix_spawn(&pid_, self.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(toChild[0]);
        ::close(fromChild[1]);
        requests_ = toChild[1];
        answers_ = fromChild[0];
        if (spawned != 0) pid_ = -1;
        return spawned == 0;
    }

    Figures Run() {
        Figures figures;
        const char request = 'r';
        if (::write(requests_, &request, 1) != 1) return {};
        if (::read(answers_, &figures, sizeof figures) != sizeof figures) return {};
        return figures;
    }

    ~RawProcess() {
        if (requests_ >= 0) ::close(requests_);  // end of input: the worker ends
        if (answers_ >= 0) ::close(answers_);
        if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
    }

  private:
    pid_t pid_ = -1;
    int requests_ = -1;
    int answers_ = -1;
};

// --- The service ----------------------------------------------------------------------

std::int64_t FramesOf(const fs::path& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) return 0;
    sf_close(file);
    return info.frames;
}

Figures ServiceRun(ss::SpeechService& service, const std::u16string& text, const fs::path& wav) {
    Figures figures;
    std::shared_ptr<ss::Voice> voice;
    std::shared_ptr<ss::FileStream> stream;
    const ss::WaveFormat format{};
    if (ss::Failed(service.CreateVoice(voice)) || ss::Failed(voice->SetVoice(nullptr)) ||
        ss::Failed(voice->SetRate(0)) || ss::Failed(service.CreateFileStream(stream)))
        return figures;
    const double cpu = OwnCpuSeconds();
    const auto start = Clock::now();
    ss::HResult hr = stream->BindToFile(wav.u16string(), ss::kFileModeCreateAlways,
                                        ss::StreamFormatId::WaveFormatEx, &format, ss::kAllEvents);
    if (ss::Succeeded(hr)) hr = voice->SetOutput(stream, false);
    if (ss::Succeeded(hr)) hr = voice->Speak(text, ss::kSpeakDefault, nullptr);
    if (ss::Succeeded(hr)) hr = stream->Close();
    figures.seconds = Seconds(start);
    figures.cpuSeconds = OwnCpuSeconds() - cpu;
    figures.samples = FramesOf(wav);
    figures.ok = hr == ss::kOk && figures.samples > 0;
    fs::remove(wav);
    return figures;
}

// --- The command line -----------------------------------------------------------------

Figures CliRun(const std::string& voice, int wordsPerMinute, const fs::path& text,
               const fs::path& wav) {
    Figures figures;
    const std::string rate = std::to_string(wordsPerMinute);
    const std::string data = DataPath();
    const std::string dataOption = "--path=" + data;
    std::vector<std::string> args = {"espeak-ng", "-v",         voice, "-s",         rate,
                                     "-w",        wav.string(), "-f",  text.string()};
    if (!data.empty()) args.insert(args.begin() + 1, dataOption);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const auto start = Clock::now();
    pid_t pid = -1;
    if (::posix_spawnp(&pid, "espeak-ng", nullptr, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cli: espeak-ng could not be started\n");
        return figures;
    }
    int status = 0;
    struct rusage usage {};
    if (::wait4(pid, &status, 0, &usage) != pid) return figures;
    figures.seconds = Seconds(start);
    figures.cpuSeconds = CpuSeconds(usage);
    figures.samples = FramesOf(wav);
    figures.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && figures.samples > 0;
    fs::remove(wav);
    return figures;
}

// --- Figures --------------------------------------------------------------------------

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Way {
    const char* name;
    std::vector<Figures> runs;
    double MedianSeconds() const {
        std::vector<double> v;
        for (const Figures& f : runs) v.push_back(f.seconds);
        return Median(v);
    }
    double MedianCpu() const {
        std::vector<double> v;
        for (const Figures& f : runs) v.push_back(f.cpuSeconds);
        return Median(v);
    }
    double AudioSeconds() const {
        return runs.empty() ? 0 : static_cast<double>(runs.back().samples) / ss::kSampleRate;
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--raw") == 0)
        return RawWorker(argv[2], std::atoi(argv[3]), argv[4]);

    const char* quickFlag = std::getenv("SONOLEAF_BENCH_QUICK");
    const bool quick = quickFlag != nullptr && std::string(quickFlag) == "1";
    const char* runsValue = std::getenv("SONOLEAF_BENCH_RUNS");
    const int runs = std::max(3, runsValue != nullptr ? std::atoi(runsValue) : 7);

    sonoleaf::testing::TempDir scratch;
    const std::size_t textBytes = quick ? 5'000 : 50'000;
    const std::string text = Prose().Text(textBytes);
    const fs::path textPath = scratch.Path() / "text.txt";
    std::ofstream(textPath, std::ios::binary) << text;
    const std::u16string wide = sonoleaf::text::ToWide(text);

    // The service's default voice is the first voice of its first engine, and its
    // rate 0 is the speed factor 3^0 = 1: eSpeak NG's normal rate.
    const auto engine = ss::EspeakEngine();
    if (ss::Failed(engine->Status()) || engine->Voices().empty()) {
        std::fprintf(stderr, "eSpeak NG is not available\n");
        return 1;
    }
    const std::string voice = engine->Voices().front().id;
    const int wordsPerMinute = espeakRATE_NORMAL;
    const auto service = ss::CreateSystemSpeechService();

    RawProcess raw;
    if (!raw.Start(voice, wordsPerMinute, textPath)) {
        std::fprintf(stderr, "the raw synthesis process could not be started\n");
        return 1;
    }
    std::printf(
        "text: %zu bytes of English prose; voice %s at %d words a minute; "
        "%d rounds after a warm-up\n",
        text.size(), voice.c_str(), wordsPerMinute, runs);
    std::fflush(stdout);

    std::array<Way, 3> ways = {Way{"raw", {}}, Way{"service", {}}, Way{"cli", {}}};
    const fs::path serviceWav = scratch.Path() / "service.wav";
    const fs::path cliWav = scratch.Path() / "cli.wav";
    for (int round = 0; round <= runs; ++round) {
        for (int turn = 0; turn < 3; ++turn) {
            const int which = (round + turn) % 3;
            Figures figures;
            switch (which) {
                case 0:
                    figures = raw.Run();
                    break;
                case 1:
                    figures = ServiceRun(*service, wide, serviceWav);
                    break;
                default:
                    figures = CliRun(voice, wordsPerMinute, textPath, cliWav);
                    break;
            }
            if (!figures.ok) {
                std::fprintf(stderr, "the %s rendering failed\n", ways[which].name);
                return 1;
            }
            if (round > 0) ways[which].runs.push_back(figures);
        }
        if (round > 0) {
            std::printf("round %d:", round);
            for (const Way& way : ways)
                std::printf(" %s %.2f s (cpu %.2f s)", way.name, way.runs.back().seconds,
                            way.runs.back().cpuSeconds);
            std::printf("\n");
            std::fflush(stdout);
        }
    }

    for (const Way& way : ways)
        std::printf("%-8s median %.3f s wall, %.3f s cpu, %.1f s of audio\n", way.name,
                    way.MedianSeconds(), way.MedianCpu(), way.AudioSeconds());
    // The three must have said the same thing: audio of about the same length.
    const double rawAudio = ways[0].AudioSeconds();
    for (const Way& way : ways) {
        if (std::abs(way.AudioSeconds() - rawAudio) > 0.05 * rawAudio) {
            std::fprintf(stderr, "%s made %.1f s of audio, raw synthesis %.1f s\n", way.name,
                         way.AudioSeconds(), rawAudio);
            return 1;
        }
    }
    // Within one round the three ran seconds apart, so the round's own ratios are less
    // swayed by a change in the machine's load; shown beside the ratios of the medians.
    std::vector<double> pairedRaw, pairedCli;
    for (std::size_t i = 0; i < ways[1].runs.size(); ++i) {
        pairedRaw.push_back(ways[1].runs[i].seconds / ways[0].runs[i].seconds);
        pairedCli.push_back(ways[1].runs[i].seconds / ways[2].runs[i].seconds);
    }
    std::printf("per-round ratios (median): service/raw=%.2f service/cli=%.2f\n", Median(pairedRaw),
                Median(pairedCli));
    const double serviceSeconds = ways[1].MedianSeconds();
    std::printf("render ratios: service/raw=%.2f service/cli=%.2f\n",
                serviceSeconds / ways[0].MedianSeconds(), serviceSeconds / ways[2].MedianSeconds());
    return 0;
}
