// The cost of rendering a text to a WAV file through the speech service, for each of
// its synthesizers against that synthesizer on its own.
//
// A fixed English text, made here from a seeded generator, is rendered three ways per
// synthesizer, the voice pinned on all three: the service's voice chosen by its Name,
// the same voice and speed everywhere else.
//
//   eSpeak NG (50 KB; the service's first eSpeak NG voice at eSpeak NG's normal rate)
//     raw      eSpeak NG's own API, the whole text in one espeak_Synth call, with a
//              callback that counts the samples and drops them: no file is written;
//     service  the speech service's voice bound to a WAV file stream, as the program
//              renders (pieces, synthesis thread, libsndfile, header kept valid);
//     cli      `espeak-ng -v VOICE -s WPM -w FILE.wav -f TEXT`, spawned and waited for.
//   Flite (the first 10 KB; the service's first Flite voice at its normal speed)
//     raw      Flite's C API, flite_file_to_speech on the text, its audio streamed to
//              a callback that counts the samples and drops them;
//     service  as above, with the Flite voice (resampled to 22,050 Hz as it comes);
//     cli      `flite -voice NAME -f TEXT -o FILE.wav`, spawned and waited for.
//
// Each synthesizer keeps its voices and callbacks in process-wide state, which the
// service sets up on its own terms. The raw figures therefore come from second
// processes, this program started again with "--raw-espeak" or "--raw-flite", which
// set the synthesizer up as the service does and synthesize on request. The three
// ways of a synthesizer take turns, round by round, with the order rotating, so that
// a change in the machine's load falls on all of them alike; a first round warms the
// caches and is not counted. Each way's figure is the median of its rounds: wall time
// (what the goals are about), and processor time beside it.
//
// The last two lines: "render ratios: service/raw=R1 service/cli=R2" for eSpeak NG and
// "flite ratios: service/raw=R3 service/cli=R4" for Flite. Goals: service/raw at most
// 1.02, service/cli at most 1.00.
//
// SONOLEAF_BENCH_RUNS=N sets the number of counted rounds (default 7, at least 3);
// SONOLEAF_BENCH_QUICK=1 shrinks the texts tenfold for a trial run;
// SONOLEAF_BENCH_SMOKE=1 renders a sentence or two once, with no warm-up.

#include <espeak-ng/speak_lib.h>
#include <fcntl.h>
#include <flite/flite.h>
#include <sndfile.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bench_mode.h"
#include "platform/speech/file_render.h"
#include "platform/speech/speech_service.h"
#include "platform/speech/synthesis_engine.h"
#include "platform/text/text_convert.h"
#include "support/temp_dir.h"

extern char** environ;

extern "C" {
cst_voice* register_cmu_us_rms(const char* voxdir);
cst_voice* register_cmu_us_slt(const char* voxdir);
cst_voice* register_cmu_us_kal16(const char* voxdir);
cst_voice* register_cmu_us_awb(const char* voxdir);
}

namespace {

namespace fs = std::filesystem;
namespace ss = sonoleaf::speech_service;
using Clock = std::chrono::steady_clock;

// The service's set-up of each synthesizer (src/platform/speech/espeak_engine.cpp and
// flite_engine.cpp).
constexpr int kCallbackBufferMs = 100;
constexpr int kFliteStreamChunk = 256;

struct Figures {
    double seconds = 0;     // wall time
    double cpuSeconds = 0;  // user + system time of the process(es) doing the work
    double audioSeconds = 0;
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

// --- Raw synthesis, in processes of their own -----------------------------------------

std::int64_t g_rawSamples = 0;
int g_rawRate = 0;

int DiscardEspeakSamples(short* /*wave*/, int count, espeak_EVENT* /*events*/) {
    if (count > 0) g_rawSamples += count;
    return 0;
}

int DiscardFliteSamples(const cst_wave* wave, int /*start*/, int size, int /*last*/,
                        cst_audio_streaming_info* /*info*/) {
    if (size > 0) g_rawSamples += size;
    g_rawRate = wave->sample_rate;
    return CST_AUDIO_STREAM_CONT;
}

// For each byte read on standard input, runs `synthesize` once and answers with its
// Figures on standard output.
template <typename Synthesize>
int ServeRequests(Synthesize&& synthesize) {
    char request = 0;
    while (::read(STDIN_FILENO, &request, 1) == 1) {
        Figures figures;
        g_rawSamples = 0;
        const double cpu = OwnCpuSeconds();
        const auto start = Clock::now();
        const bool ok = synthesize();
        figures.seconds = Seconds(start);
        figures.cpuSeconds = OwnCpuSeconds() - cpu;
        figures.audioSeconds = g_rawRate > 0 ? static_cast<double>(g_rawSamples) / g_rawRate : 0;
        figures.ok = ok && g_rawSamples > 0;
        if (::write(STDOUT_FILENO, &figures, sizeof figures) != sizeof figures) return 1;
    }
    return 0;
}

// "--raw-espeak VOICE WPM TEXTFILE": eSpeak NG set up as the service sets it up
// (synchronous output, 100 ms buffers, the same data folder).
int RawEspeakWorker(const char* voice, int wordsPerMinute, const char* textPath) {
    std::ifstream in(textPath, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string path = DataPath();
    g_rawRate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, kCallbackBufferMs,
                                  path.empty() ? nullptr : path.c_str(), 0);
    if (g_rawRate != ss::kSampleRate) {
        std::fprintf(stderr, "raw: eSpeak NG did not start at %d Hz\n", ss::kSampleRate);
        return 1;
    }
    espeak_SetSynthCallback(DiscardEspeakSamples);
    if (espeak_SetVoiceByName(voice) != EE_OK ||
        espeak_SetParameter(espeakRATE, wordsPerMinute, 0) != EE_OK) {
        std::fprintf(stderr, "raw: voice %s at %d wpm refused\n", voice, wordsPerMinute);
        return 1;
    }
    const int status = ServeRequests([&] {
        return espeak_Synth(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0,
                            espeakCHARS_UTF8 | espeakENDPAUSE, nullptr, nullptr) == EE_OK;
    });
    espeak_Terminate();
    return status;
}

struct FliteVoice {
    const char* id;  // the service's id; the `flite` command's name is what follows cmu_us_
    cst_voice* (*load)(const char*);
};

constexpr FliteVoice kFliteVoices[] = {{"cmu_us_rms", register_cmu_us_rms},
                                       {"cmu_us_slt", register_cmu_us_slt},
                                       {"cmu_us_kal16", register_cmu_us_kal16},
                                       {"cmu_us_awb", register_cmu_us_awb}};

// "--raw-flite VOICE TEXTFILE": Flite with the voice's audio streamed in chunks of the
// service's size.
int RawFliteWorker(const std::string& voiceId, const char* textPath) {
    const auto known = std::find_if(std::begin(kFliteVoices), std::end(kFliteVoices),
                                    [&](const FliteVoice& v) { return voiceId == v.id; });
    if (known == std::end(kFliteVoices)) {
        std::fprintf(stderr, "raw: no Flite voice %s here\n", voiceId.c_str());
        return 1;
    }
    flite_init();
    cst_voice* voice = known->load(nullptr);
    if (voice == nullptr) {
        std::fprintf(stderr, "raw: the Flite voice %s did not load\n", voiceId.c_str());
        return 1;
    }
    cst_audio_streaming_info* streaming = new_audio_streaming_info();
    streaming->asc = DiscardFliteSamples;
    streaming->min_buffsize = kFliteStreamChunk;
    flite_feat_set(voice->features, "streaming_info", audio_streaming_info_val(streaming));
    return ServeRequests([&] { return flite_file_to_speech(textPath, voice, "none") > 0; });
}

// The parent's end of a raw worker.
class RawProcess {
  public:
    bool Start(std::vector<std::string> args) {
        int toChild[2], fromChild[2];
        if (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0) return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
        std::error_code error;
        const std::string self = fs::read_symlink("/proc/self/exe", error).string();
        args.insert(args.begin(), self);
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        const int spawned =
            error ? ENOENT
                  : ::posix_spawn(&pid_, self.c_str(), &actions, nullptr, argv.data(), environ);
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

// --- The service and the commands -----------------------------------------------------

double AudioSecondsOf(const fs::path& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) return 0;
    sf_close(file);
    return info.samplerate > 0 ? static_cast<double>(info.frames) / info.samplerate : 0;
}

Figures ServiceRun(ss::SpeechService& service, const std::shared_ptr<ss::VoiceToken>& token,
                   const std::u16string& text, const fs::path& wav) {
    Figures figures;
    std::shared_ptr<ss::Voice> voice;
    std::shared_ptr<ss::FileStream> stream;
    const ss::WaveFormat format{};
    if (ss::Failed(service.CreateVoice(voice)) || ss::Failed(voice->SetVoice(token)) ||
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
    figures.audioSeconds = AudioSecondsOf(wav);
    figures.ok = hr == ss::kOk && figures.audioSeconds > 0;
    fs::remove(wav);
    return figures;
}

// Runs a command that writes `wav`, and waits for it.
Figures CliRun(std::vector<std::string> args, const fs::path& wav) {
    Figures figures;
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const auto start = Clock::now();
    pid_t pid = -1;
    if (::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cli: %s could not be started\n", argv[0]);
        return figures;
    }
    int status = 0;
    struct rusage usage {};
    if (::wait4(pid, &status, 0, &usage) != pid) return figures;
    figures.seconds = Seconds(start);
    figures.cpuSeconds = CpuSeconds(usage);
    figures.audioSeconds = AudioSecondsOf(wav);
    figures.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && figures.audioSeconds > 0;
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
    double AudioSeconds() const { return runs.empty() ? 0 : runs.back().audioSeconds; }
};

// One synthesizer's three ways: raw, service, cli, in that order.
struct Comparison {
    Comparison(const char* synthesizer, const char* label, double audioTolerance,
               std::function<Figures(int)> run)
        : synthesizer(synthesizer),
          label(label),
          audioTolerance(audioTolerance),
          run(std::move(run)) {}
    const char* synthesizer;
    const char* label;  // of its figures line
    // How far the ways' audio may differ in length, as a share of the raw way's.
    double audioTolerance;
    std::function<Figures(int which)> run;
    std::array<Way, 3> ways{Way{"raw", {}}, Way{"service", {}}, Way{"cli", {}}};
};

// Runs one round of `comparison`, its ways in the order rotated by `round`; false when
// one failed.
bool RunRound(Comparison& comparison, int round, bool counted) {
    for (int turn = 0; turn < 3; ++turn) {
        const int which = (round + turn) % 3;
        const Figures figures = comparison.run(which);
        if (!figures.ok) {
            std::fprintf(stderr, "the %s %s rendering failed\n", comparison.synthesizer,
                         comparison.ways[which].name);
            return false;
        }
        if (counted) comparison.ways[which].runs.push_back(figures);
    }
    if (counted) {
        std::printf("round %d %s:", round, comparison.synthesizer);
        for (const Way& way : comparison.ways)
            std::printf(" %s %.2f s (cpu %.2f s)", way.name, way.runs.back().seconds,
                        way.runs.back().cpuSeconds);
        std::printf("\n");
        std::fflush(stdout);
    }
    return true;
}

// The medians and the ratios; false when the three did not say the same thing (audio
// of about the same length: a voice or speed that differs shows as audio of another
// length).
bool Report(const Comparison& comparison) {
    const auto& ways = comparison.ways;
    for (const Way& way : ways)
        std::printf("%s %-8s median %.3f s wall, %.3f s cpu, %.1f s of audio\n",
                    comparison.synthesizer, way.name, way.MedianSeconds(), way.MedianCpu(),
                    way.AudioSeconds());
    const double rawAudio = ways[0].AudioSeconds();
    for (const Way& way : ways) {
        if (std::abs(way.AudioSeconds() - rawAudio) > comparison.audioTolerance * rawAudio) {
            std::fprintf(stderr, "%s: %s made %.1f s of audio, raw synthesis %.1f s\n",
                         comparison.synthesizer, way.name, way.AudioSeconds(), rawAudio);
            return false;
        }
    }
    // Within one round the three ran seconds apart, so the round's own ratios are less
    // swayed by a change in the machine's load; shown beside the ratios of the medians.
    std::vector<double> pairedRaw, pairedCli;
    for (std::size_t i = 0; i < ways[1].runs.size(); ++i) {
        pairedRaw.push_back(ways[1].runs[i].seconds / ways[0].runs[i].seconds);
        pairedCli.push_back(ways[1].runs[i].seconds / ways[2].runs[i].seconds);
    }
    std::printf("%s per-round ratios (median): service/raw=%.2f service/cli=%.2f\n",
                comparison.synthesizer, Median(pairedRaw), Median(pairedCli));
    return true;
}

void PrintRatios(const Comparison& comparison) {
    const auto& ways = comparison.ways;
    const double service = ways[1].MedianSeconds();
    std::printf("%s ratios: service/raw=%.2f service/cli=%.2f\n", comparison.label,
                service / ways[0].MedianSeconds(), service / ways[2].MedianSeconds());
}

// The first voice of `engine` as the service names it; false when it offers none.
bool FirstVoice(const std::shared_ptr<ss::SynthesisEngine>& engine, ss::SpeechService& service,
                ss::EngineVoice& voice, std::shared_ptr<ss::VoiceToken>& token) {
    if (!engine || ss::Failed(engine->Status()) || engine->Voices().empty()) return false;
    voice = engine->Voices().front();
    return ss::FindVoiceNamed(service, voice.name, token) == ss::kOk;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--raw-espeak") == 0)
        return RawEspeakWorker(argv[2], std::atoi(argv[3]), argv[4]);
    if (argc == 4 && std::strcmp(argv[1], "--raw-flite") == 0)
        return RawFliteWorker(argv[2], argv[3]);

    const bool smoke = sonoleaf::bench::Smoke();
    const bool quick = sonoleaf::bench::Flag("SONOLEAF_BENCH_QUICK");
    const int runs = sonoleaf::bench::Rounds(7);

    sonoleaf::testing::TempDir scratch;
    const std::size_t espeakBytes = smoke ? 300 : quick ? 5'000 : 50'000;
    const std::size_t fliteBytes = smoke ? 300 : quick ? 1'000 : 10'000;
    Prose prose;
    const std::string espeakText = prose.Text(espeakBytes);
    // A shorter text of the same kind: Flite takes far longer over the same words.
    const std::string fliteText = Prose().Text(fliteBytes);
    const fs::path espeakPath = scratch.Path() / "espeak.txt";
    const fs::path flitePath = scratch.Path() / "flite.txt";
    std::ofstream(espeakPath, std::ios::binary) << espeakText;
    std::ofstream(flitePath, std::ios::binary) << fliteText;
    const std::u16string espeakWide = sonoleaf::text::ToWide(espeakText);
    const std::u16string fliteWide = sonoleaf::text::ToWide(fliteText);

    // Each synthesizer's first voice, chosen in the service by its Name; the service's
    // rate 0 is the speed factor 3^0 = 1: eSpeak NG's normal rate, Flite's own speed.
    const auto service = ss::CreateSystemSpeechService();
    ss::EngineVoice espeakVoice, fliteVoice;
    std::shared_ptr<ss::VoiceToken> espeakToken, fliteToken;
    if (!FirstVoice(ss::EspeakEngine(), *service, espeakVoice, espeakToken) ||
        !FirstVoice(ss::FliteEngine(), *service, fliteVoice, fliteToken)) {
        std::fprintf(stderr, "eSpeak NG or Flite offers no voice through the service\n");
        return 1;
    }
    const int wordsPerMinute = espeakRATE_NORMAL;
    const std::string fliteCliName = fliteVoice.id.substr(fliteVoice.id.rfind('_') + 1);

    RawProcess rawEspeak, rawFlite;
    if (!rawEspeak.Start({"--raw-espeak", espeakVoice.id, std::to_string(wordsPerMinute),
                          espeakPath.string()}) ||
        !rawFlite.Start({"--raw-flite", fliteVoice.id, flitePath.string()})) {
        std::fprintf(stderr, "the raw synthesis processes could not be started\n");
        return 1;
    }
    std::printf(
        "eSpeak NG: %zu bytes of English prose, voice %s (%s) at %d words a minute\n"
        "Flite: %zu bytes of it, voice %s (%s, `flite -voice %s`) at its normal speed\n"
        "%d round%s%s\n",
        espeakText.size(), sonoleaf::text::ToNarrow(espeakVoice.name).c_str(),
        espeakVoice.id.c_str(), wordsPerMinute, fliteText.size(),
        sonoleaf::text::ToNarrow(fliteVoice.name).c_str(), fliteVoice.id.c_str(),
        fliteCliName.c_str(), runs, runs == 1 ? "" : "s", smoke ? "" : " after a warm-up");
    std::fflush(stdout);

    const fs::path serviceWav = scratch.Path() / "service.wav";
    const fs::path cliWav = scratch.Path() / "cli.wav";
    const std::string data = DataPath();
    std::vector<std::string> espeakCli = {
        "espeak-ng",     "-v", espeakVoice.id,     "-s", std::to_string(wordsPerMinute), "-w",
        cliWav.string(), "-f", espeakPath.string()};
    if (!data.empty()) espeakCli.insert(espeakCli.begin() + 1, "--path=" + data);
    const std::vector<std::string> fliteCli = {
        "flite", "-voice", fliteCliName, "-f", flitePath.string(), "-o", cliWav.string()};

    std::array<Comparison, 2> comparisons = {
        // One espeak_Synth call and the service's pieces make the same pauses.
        Comparison{"eSpeak NG", "render", 0.02,
                   [&](int which) {
                       return which == 0 ? rawEspeak.Run()
                              : which == 1
                                  ? ServiceRun(*service, espeakToken, espeakWide, serviceWav)
                                  : CliRun(espeakCli, cliWav);
                   }},
        // Flite's own reader makes an utterance of every sentence, with a pause at each
        // end, where the service's pieces hold several: about 5 % more audio. A voice or
        // speed of its own would differ by far more.
        Comparison{"Flite", "flite", 0.08,
                   [&](int which) {
                       return which == 0   ? rawFlite.Run()
                              : which == 1 ? ServiceRun(*service, fliteToken, fliteWide, serviceWav)
                                           : CliRun(fliteCli, cliWav);
                   }},
    };
    for (int round = smoke ? 1 : 0; round <= runs; ++round)
        for (Comparison& comparison : comparisons)
            if (!RunRound(comparison, round, round > 0)) return 1;

    bool agree = true;
    for (const Comparison& comparison : comparisons) agree = Report(comparison) && agree;
    if (!agree) return 1;
    for (const Comparison& comparison : comparisons) PrintRatios(comparison);
    return 0;
}
