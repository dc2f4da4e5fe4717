// How well and how fast the Flite voices speak through the speech service.
//
// A fixed English prose text (bench/data/prose.txt, twelve sentences) is rendered to
// WAV with the service's default Male and Female voices. Each rendering is resampled
// to 16 kHz with sox and recognised with pocketsphinx; the word error rate is the
// word-level edit distance between the text and what was recognised, over lower-case
// words without punctuation, divided by the number of words of the text.
//
// Speed: the service renders the text with Flite's rms voice, and the `flite` command
// renders the same text with the same voice, taking turns round by round (the order
// rotating, a first round not counted). Each figure is the median of its rounds of
// wall time. realtime is seconds of speech per second of processor time of the
// service's rendering.
//
// Rules: the same text rendered by the service with rms, with a pronunciation list of
// 1,000 rules (990 names and 10 patterns, none of which the prose holds, so that the
// sound stays the same) and with none, in turn; the list is parsed from its bytes
// within the timing, as a job reads it. rules-cost is the ratio of the medians.
//
// The last line: "voice figures: wer-male=W1 wer-female=W2 flite-service/cli=R
// realtime=T rules-cost=C". Goals: each WER at most 0.10, the service within 2 % of
// the command, the rules at most 3 % (C <= 1.03).
// SONOLEAF_BENCH_RUNS=N sets the number of counted rounds (default 5, at least 3; the
// rules take at least 15, their difference being a few milliseconds a render);
// SONOLEAF_BENCH_SMOKE=1 speaks the text's first two sentences, one round with no
// warm-up.

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bench_mode.h"
#include "platform/speech/speech_service.h"
#include "platform/text/pronunciations.h"
#include "platform/text/text_convert.h"
#include "support/audio_analysis.h"
#include "support/temp_dir.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
namespace ss = sonoleaf::speech_service;
using Clock = std::chrono::steady_clock;

struct Figures {
    double seconds = 0;  // wall
    double cpu = 0;
    double audio = 0;  // seconds of speech made
    bool ok = false;
};

double CpuSeconds(const rusage& usage) {
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    for (const char c : text + " ") {
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '\'') {
            word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        } else if (!word.empty()) {
            words.push_back(word);
            word.clear();
        }
    }
    return words;
}

double WordErrorRate(const std::vector<std::string>& truth, const std::vector<std::string>& heard) {
    std::vector<std::size_t> row(heard.size() + 1);
    for (std::size_t j = 0; j < row.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= truth.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= heard.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min(
                {row[j] + 1, row[j - 1] + 1, diagonal + (truth[i - 1] == heard[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return truth.empty() ? 0 : static_cast<double>(row.back()) / static_cast<double>(truth.size());
}

std::shared_ptr<ss::VoiceToken> FirstToken(ss::SpeechService& service, const char16_t* optional) {
    std::unique_ptr<ss::TokenCategory> category;
    std::unique_ptr<ss::TokenEnumeration> tokens;
    std::shared_ptr<ss::VoiceToken> token;
    if (ss::Failed(service.CreateTokenCategory(category)) ||
        ss::Failed(category->SetId(ss::kVoicesCategory, false)) ||
        ss::Failed(category->EnumTokens(nullptr, optional, tokens)))
        return nullptr;
    tokens->Next(1, token, nullptr);
    return token;
}

// `rules`, when given, are the bytes of a pronunciation list the voice reads with.
Figures ServiceRender(ss::SpeechService& service, const std::shared_ptr<ss::VoiceToken>& token,
                      const std::u16string& text, const fs::path& wav,
                      const std::string* rules = nullptr) {
    Figures figures;
    std::shared_ptr<ss::Voice> voice;
    std::shared_ptr<ss::FileStream> stream;
    const ss::WaveFormat format{};
    if (ss::Failed(service.CreateVoice(voice)) || ss::Failed(service.CreateFileStream(stream)) ||
        ss::Failed(voice->SetVoice(token)))
        return figures;
    rusage before{};
    rusage after{};
    ::getrusage(RUSAGE_SELF, &before);
    const auto start = Clock::now();
    if (rules != nullptr) voice->UsePronunciations(*rules);
    figures.ok = ss::Succeeded(stream->BindToFile(wav.u16string(), ss::kFileModeCreateAlways,
                                                  ss::StreamFormatId::WaveFormatEx, &format,
                                                  ss::kAllEvents)) &&
                 ss::Succeeded(voice->SetOutput(stream, true)) &&
                 ss::Succeeded(voice->Speak(text, ss::kSpeakDefault, nullptr)) &&
                 ss::Succeeded(stream->Close());
    figures.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    ::getrusage(RUSAGE_SELF, &after);
    figures.cpu = CpuSeconds(after) - CpuSeconds(before);
    sonoleaf::testing::Audio audio;
    figures.ok = figures.ok && sonoleaf::testing::ReadAudioFile(wav, audio);
    figures.audio = audio.Seconds();
    return figures;
}

// Runs a command and waits for it; its wall and processor time.
Figures Spawn(std::vector<std::string> args) {
    Figures figures;
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const auto start = Clock::now();
    pid_t child = 0;
    if (::posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return figures;
    int status = 0;
    rusage usage{};
    if (::wait4(child, &status, 0, &usage) != child) return figures;
    figures.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    figures.cpu = CpuSeconds(usage);
    figures.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return figures;
}

bool HasCommand(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// What pocketsphinx hears in `wav`; false when it could not be run.
bool Recognise(const fs::path& wav, const fs::path& dir, std::string& heard) {
    const fs::path narrow = dir / "16k.wav";
    if (!Spawn({"sox", wav.string(), "-r", "16000", narrow.string()}).ok) return false;
    const std::string command =
        "pocketsphinx_continuous -infile '" + narrow.string() + "' -logfn /dev/null 2>/dev/null";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    if (!pipe) return false;
    std::array<char, 4096> buffer{};
    heard.clear();
    while (std::fgets(buffer.data(), buffer.size(), pipe.get()) != nullptr)
        heard += std::string(buffer.data()) + " ";
    return !heard.empty();
}

// 990 invented names and 10 patterns, none found in the prose.
std::string ThousandRules() {
    std::string rules;
    for (int i = 0; i < 990; ++i) {
        std::string name = "Zor";
        for (int n = i + 1; n > 0; n /= 26) name += static_cast<char>('a' + n % 26);
        rules += name + " = zor " + name.substr(3) + "\n";
    }
    for (const char* pattern :
         {"/(\\d+) ?km\\b/ = $1 kilometres", "/(\\d+)%/ = $1 percent", "/\\$(\\d+)/ = $1 dollars",
          "/\\bDr\\. / = doctor ", "/\\bSt\\. / = saint ", "/\\be\\.g\\./ = for example",
          "/\\bi\\.e\\./ = that is", "/\\bOK\\b/ = okay", "/(\\d+) ?mph\\b/ = $1 miles an hour",
          "/(\\d+) ?kg\\b/ = $1 kilograms"})
        rules += std::string(pattern) + "\n";
    return rules;
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

int main() {
    const bool smoke = sonoleaf::bench::Smoke();
    const fs::path prosePath = fs::path(SONOLEAF_BENCH_DATA) / "prose.txt";
    std::string text = ReadText(prosePath);
    if (Words(text).size() < 100) {
        std::fprintf(stderr, "the prose text %s is missing\n", prosePath.c_str());
        return 1;
    }
    sonoleaf::testing::TempDir dir;
    fs::path textPath = prosePath;
    if (smoke) {
        text.resize(text.find('.', text.find('.') + 1) + 1);
        textPath = dir.Path() / "short.txt";
        std::ofstream(textPath) << text << "\n";
    }
    const std::u16string wide = sonoleaf::text::ToWide(text);
    const auto service = ss::CreateSystemSpeechService();

    // Word error rates of the default voices.
    const bool canRecognise = HasCommand("pocketsphinx_continuous") && HasCommand("sox");
    if (!canRecognise)
        std::printf("pocketsphinx_continuous or sox is missing: no word error rates\n");
    std::array<std::string, 2> wer = {"n/a", "n/a"};
    const std::array<const char16_t*, 2> genders = {u"Gender=Male", u"Gender=Female"};
    for (std::size_t g = 0; g < genders.size(); ++g) {
        const auto token = FirstToken(*service, genders[g]);
        const fs::path wav = dir.Path() / "voice.wav";
        const Figures made = token ? ServiceRender(*service, token, wide, wav) : Figures{};
        const std::string name = token ? sonoleaf::text::ToNarrow(token->Attribute(u"Name")) : "";
        if (!made.ok) {
            std::fprintf(stderr, "rendering with %s failed\n", name.c_str());
            return 1;
        }
        std::string heard;
        if (!canRecognise || !Recognise(wav, dir.Path(), heard)) continue;
        const double rate = WordErrorRate(Words(text), Words(heard));
        std::printf("%s: %.1f s of speech, word error rate %.3f\nheard: %s\n", name.c_str(),
                    made.audio, rate, heard.c_str());
        char figure[16];
        std::snprintf(figure, sizeof figure, "%.2f", rate);
        wer[g] = figure;
    }

    // The service against the flite command, voice rms.
    const auto rms = FirstToken(*service, u"Name=Flite rms (US English) Male");
    const bool hasCli = HasCommand("flite");
    if (!hasCli) std::printf("the flite command is missing: no speed comparison\n");
    const int runs = sonoleaf::bench::Rounds(5);
    std::vector<double> serviceWall;
    std::vector<double> cliWall;
    std::vector<double> realtime;
    for (int round = smoke ? 1 : 0; round <= runs && rms && hasCli; ++round) {
        for (int turn = 0; turn < 2; ++turn) {
            const bool cliTurn = (turn + round) % 2 == 1;
            const Figures f = cliTurn
                                  ? Spawn({"flite", "-voice", "rms", "-f", textPath.string(), "-o",
                                           (dir.Path() / "cli.wav").string()})
                                  : ServiceRender(*service, rms, wide, dir.Path() / "service.wav");
            if (!f.ok) {
                std::fprintf(stderr, "the %s rendering failed\n", cliTurn ? "flite" : "service");
                return 1;
            }
            if (round == 0) continue;  // warms the caches
            (cliTurn ? cliWall : serviceWall).push_back(f.seconds);
            if (!cliTurn) realtime.push_back(f.audio / f.cpu);
            std::printf("round %d %s: %.3f s wall, %.3f s cpu\n", round,
                        cliTurn ? "cli" : "service", f.seconds, f.cpu);
        }
    }
    const double ratio = cliWall.empty() ? 0 : Median(serviceWall) / Median(cliWall);

    // The same render with 1,000 rules and without, in turn.
    const std::string rules = ThousandRules();
    std::vector<sonoleaf::text::RuleProblem> problems;
    if (sonoleaf::text::Pronunciations::Parse(rules, problems).RuleCount() != 1000 ||
        !problems.empty()) {
        std::fprintf(stderr, "the 1,000 rules did not parse: %s\n",
                     problems.empty() ? "count" : problems.front().message.c_str());
        return 1;
    }
    std::vector<double> withRules;
    std::vector<double> withoutRules;
    // The difference is a few milliseconds a render: more rounds than above.
    for (int round = 0; round <= std::max(runs, 15) && rms; ++round) {
        for (int turn = 0; turn < 2; ++turn) {
            const bool rulesTurn = (turn + round) % 2 == 1;
            const fs::path wav = dir.Path() / (rulesTurn ? "rules.wav" : "plain.wav");
            const Figures f = ServiceRender(*service, rms, wide, wav, rulesTurn ? &rules : nullptr);
            if (!f.ok) {
                std::fprintf(stderr, "the render %s rules failed\n",
                             rulesTurn ? "with" : "without");
                return 1;
            }
            if (round > 0) (rulesTurn ? withRules : withoutRules).push_back(f.seconds);
        }
        if (ReadText(dir.Path() / "rules.wav") != ReadText(dir.Path() / "plain.wav")) {
            std::fprintf(stderr, "rules that the prose does not hold changed its sound\n");
            return 1;
        }
    }
    const double rulesCost = withoutRules.empty() ? 0 : Median(withRules) / Median(withoutRules);
    std::printf("render with 1,000 rules: %.3f s, without: %.3f s (median of %zu)\n",
                Median(withRules), Median(withoutRules), withRules.size());
    std::printf(
        "voice figures: wer-male=%s wer-female=%s flite-service/cli=%.2f realtime=%.0f "
        "rules-cost=%.3f\n",
        wer[0].c_str(), wer[1].c_str(), ratio, Median(realtime), rulesCost);
    return 0;
}
