// The audio lists' costs.
//
// 1. Per-file cost: what a list file costs beyond rendering its text. The program
//    renders each list file in a process of its own, forked by its render helper,
//    which starts its synthesizers afresh, builds the service's voices, finds the
//    list's voice, writes the file and reports back. The length list over a 30 KB text
//    at length 1000 (30 files) through one helper (one file at a time, so that nothing
//    hides the cost) against one rendering of the same text in this process, both with
//    the real speech service and its default voice into WAV files in a folder held in
//    memory (/dev/shm, where there is one). Pairs run in turn, the order swapped each
//    round, so that both sides see the same machine; the median of the pair ratios of
//    wall time, and their spread, and the median of the ratios of processor time (this
//    process, the helper and its files' processes). Goal: at most 1.05.
//    Beside it, what makes up the cost: a list of short files (one sentence each) through
//    the helper against the same list in this process, per file; and, each in a freshly
//    forked process, a fork alone and the start of each synthesizer and of the service.
// 2. Reading and scanning: both lists with the recording service (no log, no audio)
//    over a 100 MB file: the length list at length 1000, the title list over 100,000
//    pairs. Throughput and peak memory, each run in a child process of its own so that
//    its peak resident size is its own. Goals: 200 MB/s or more; the length list's
//    memory flat in the file size; the title list's at most four times the file size.
//    The renders go to a folder that does not exist, so that the service binds no file
//    and the figures are those of the lists' own reading, cutting and scanning.
//
// The last line: "list figures: per-file=R per-file-cpu=C file-ms=F read-MB/s=...
// length-rss-MB=... title-rss-ratio=...", F being the fixed cost of one file through
// the helper beyond the same file made in this process, in milliseconds of wall time.
//
// SONOLEAF_BENCH_QUICK=1 shrinks the inputs tenfold for a trial run;
// SONOLEAF_BENCH_READ_ONLY=1 measures only the reading and scanning (the second
// measurement); SONOLEAF_BENCH_SMOKE=1 runs everything once on a few kilobytes.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench_mode.h"
#include "bench_prose.h"
#include "child_figures.h"
#include "jobs/voice_profile.h"
#include "lists/source_file.h"
#include "platform/speech/speech_service.h"
#include "platform/speech/synthesis_engine.h"
#include "platform/text/byte_text.h"
#include "platform/text/title_scan.h"
#include "speech/speech_engine.h"
#include "support/recording_alerts.h"
#include "support/recording_speech_service.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using sonoleaf::SpeechEngine;
using sonoleaf::VoiceProfile;
using sonoleaf::bench::ChildFigures;
using sonoleaf::bench::Flag;
using sonoleaf::bench::InChild;
using sonoleaf::bench::Prose;
using sonoleaf::bench::WriteProse;

constexpr double kMB = 1024.0 * 1024.0;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// `pairs` passages of prose between tags, with untagged prose around them.
void WriteTitled(const fs::path& path, std::size_t bytes, int pairs) {
    std::ofstream out(path, std::ios::binary);
    Prose prose;
    const std::size_t share = bytes / static_cast<std::size_t>(pairs);
    for (int i = 0; i < pairs; ++i) {
        std::string segment = "Chapter " + std::to_string(i + 1) + "\n<title>";
        const std::string closing = "</title>\n";
        while (segment.size() + closing.size() < share) segment += prose.Next();
        segment.resize(share - closing.size());
        segment += closing;
        out << segment;
    }
}

// An engine over the recording service with its log, records and audio turned off.
struct RecordingSetup {
    RecordingSetup() : service(std::make_shared<sonoleaf::testing::RecordingSpeechService>()) {
        service->SetRecording(false);
        service->SetSamplesPerCharacter(0);
        engine = std::make_unique<SpeechEngine>(service);
        VoiceProfile profile;
        profile.audioType = sonoleaf::Wav;
        engine->CopyProfile(profile);
    }
    sonoleaf::testing::AlertCapture alerts;
    std::shared_ptr<sonoleaf::testing::RecordingSpeechService> service;
    std::unique_ptr<SpeechEngine> engine;
};

// `render` false: the running flag is down, as after Stop, so the list reads, cuts and
// names every chunk but hands none to the service.
ChildFigures LengthListRun(const fs::path& source, const fs::path& nowhere, bool render) {
    return InChild([&] {
        RecordingSetup setup;
        setup.engine->lengthListRunning = render;
        setup.engine->MakeAudioListByLength(source.u16string(), nowhere.u16string(), 1000);
    });
}

// The title list's own reading and scanning, as the operation does it but without the
// service: the file read whole, every pair found and its passage made wide text.
ChildFigures TitleScanRun(const fs::path& source, std::size_t expectedPairs) {
    return InChild([&] {
        const std::string bytes = sonoleaf::ReadAllBytes(source.u16string());
        std::size_t pairs = 0;
        std::size_t characters = 0;
        std::size_t position = 0;
        while (const auto pair = sonoleaf::text::FindTitlePair(bytes, position)) {
            characters += sonoleaf::text::BytesToText(
                              std::string_view(bytes).substr(pair->passageBegin,
                                                             pair->passageEnd - pair->passageBegin))
                              .size();
            ++pairs;
            position = pair->next;
        }
        if (pairs != expectedPairs || characters == 0) ::_exit(2);
    });
}

ChildFigures TitleListRun(const fs::path& source, const fs::path& nowhere) {
    return InChild([&] {
        RecordingSetup setup;
        setup.engine->titleListRunning = true;
        setup.engine->MakeAudioListByTitles(source.u16string(), nowhere.u16string(), 1);
    });
}

std::uintmax_t CountFiles(const fs::path& folder) {
    std::uintmax_t count = 0;
    for (const auto& entry : fs::directory_iterator(folder)) count += entry.is_regular_file();
    return count;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Timing {
    double seconds = 0;
    double cpu = 0;
    std::uintmax_t files = 0;
};

// A length list of `source` at `length` into the empty folder `out`, through one render
// helper or in this process; its files are removed afterwards. The helper is started
// before the clock, as a window has it by then, and ended before the processor time is
// read, so that its time and its files' processes' are counted.
Timing ListRun(const fs::path& source, const fs::path& out, int length, bool helper) {
    Timing timing;
    double cpuStart = 0;
    {
        SpeechEngine engine(sonoleaf::speech_service::CreateSystemSpeechService());
        if (helper) engine.EnableRenderHelpers(1);
        VoiceProfile profile;
        profile.audioType = sonoleaf::Wav;
        engine.CopyProfile(profile);
        if (helper && engine.RenderHelpers() == nullptr) return {};
        cpuStart = sonoleaf::bench::CpuSeconds();
        const auto start = Clock::now();
        engine.lengthListRunning = true;
        engine.MakeAudioListByLength(source.u16string(), out.u16string(), length);
        timing.seconds = Seconds(start);
    }
    timing.cpu = sonoleaf::bench::CpuSeconds() - cpuStart;
    timing.files = CountFiles(out);
    for (const auto& entry : fs::directory_iterator(out)) fs::remove(entry.path());
    return timing;
}

// One rendering of `text` into a file of `out`, in this process; the file is removed.
Timing WholeRun(const std::u16string& text, const fs::path& out) {
    SpeechEngine engine(sonoleaf::speech_service::CreateSystemSpeechService());
    VoiceProfile profile;
    profile.audioType = sonoleaf::Wav;
    engine.CopyProfile(profile);
    Timing timing;
    const double cpuStart = sonoleaf::bench::CpuSeconds();
    const auto start = Clock::now();
    engine.RenderTextToFile(text, (out / "whole.wav").u16string(), false);
    timing.seconds = Seconds(start);
    timing.cpu = sonoleaf::bench::CpuSeconds() - cpuStart;
    timing.files = fs::exists(out / "whole.wav") ? 1 : 0;
    fs::remove(out / "whole.wav");
    return timing;
}

std::u16string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return sonoleaf::text::BytesToText(bytes);
}

struct PerFile {
    std::vector<double> ratios;     // list time over whole time, one per pair
    std::vector<double> cpuRatios;  // the same of processor time
    double fileMs = 0;              // a short file through the helper beyond in this process
};

// The parts of a file's process that come before its text is rendered, each timed in
// a freshly forked process as the helper's are. Run before this process starts a
// synthesizer of its own, which its children would inherit.
void ShowStartCosts(int rounds) {
    namespace ss = sonoleaf::speech_service;
    struct Part {
        const char* name;
        std::function<void()> work;
    };
    const Part parts[] = {
        {"nothing (fork, exit, wait)", [] {}},
        {"Flite started", [] { ss::FliteEngine(); }},
        {"eSpeak NG started", [] { ss::EspeakEngine(); }},
        {"system service (both, ranked)", [] { ss::CreateSystemSpeechService(); }},
    };
    std::printf("in a fresh process (median of %d):", rounds);
    for (const Part& part : parts) {
        std::vector<double> ms;
        for (int i = 0; i < rounds; ++i) {
            const auto start = Clock::now();
            const ChildFigures child = InChild(part.work);
            const double total = Seconds(start);
            // A fork alone: the child's whole life as the parent sees it; the others:
            // their work inside the child.
            ms.push_back((&part == parts ? total : child.seconds) * 1000);
        }
        std::printf(" %s %.1f ms;", part.name, Median(ms));
    }
    std::printf("\n");
}

// Times one rendering of the whole text and one length list of it through one helper,
// in turn, `rounds` times; then the short-file lists and the start costs.
PerFile MeasurePerFile(bool quick, bool smoke) {
    const fs::path memory = "/dev/shm";
    std::error_code error;
    sonoleaf::testing::TempDir scratch = fs::is_directory(memory, error)
                                             ? sonoleaf::testing::TempDir(memory)
                                             : sonoleaf::testing::TempDir();
    const std::size_t textBytes = smoke ? 1'000 : quick ? 5'000 : 30'000;
    const int length = smoke ? 500 : 1000;
    const int rounds = smoke ? 1 : quick ? 3 : 5;
    const fs::path book = scratch.Path() / "book.txt";
    WriteProse(book, textBytes);
    const std::u16string text = ReadText(book);
    const fs::path audio = scratch.Path() / "audio";
    fs::create_directory(audio);
    sonoleaf::testing::AlertCapture alerts;

    PerFile result;
    for (int round = 0; round < rounds; ++round) {
        Timing list, whole;
        if (round % 2 == 0) {
            list = ListRun(book, audio, length, true);
            whole = WholeRun(text, audio);
        } else {
            whole = WholeRun(text, audio);
            list = ListRun(book, audio, length, true);
        }
        if (whole.files != 1 || list.files == 0) {
            std::fprintf(stderr, "the real service wrote no audio (%ju list files)\n", list.files);
            return {};
        }
        result.ratios.push_back(list.seconds / whole.seconds);
        result.cpuRatios.push_back(list.cpu / whole.cpu);
        std::printf(
            "round %d: length list of %zu bytes at %d through one helper, %ju files in %.2f s "
            "(cpu %.2f s); one rendering %.2f s (cpu %.2f s); ratio %.3f (cpu %.3f)\n",
            round + 1, textBytes, length, list.files, list.seconds, list.cpu, whole.seconds,
            whole.cpu, result.ratios.back(), result.cpuRatios.back());
        std::fflush(stdout);
    }
    const auto [low, high] = std::minmax_element(result.ratios.begin(), result.ratios.end());
    std::printf(
        "per-file ratio: median %.3f of %zu pairs, spread %.3f to %.3f; processor time %.3f "
        "(in %s)\n",
        Median(result.ratios), result.ratios.size(), *low, *high, Median(result.cpuRatios),
        scratch.Path().parent_path().c_str());

    // Short files: the cost of a file itself stands out over a sentence of speech.
    const fs::path sentences = scratch.Path() / "sentences.txt";
    const int shortLength = 100;
    WriteProse(sentences, smoke ? 300 : 2'000);
    std::vector<double> helperMs, hereMs;
    for (int round = 0; round < rounds; ++round) {
        const Timing here = ListRun(sentences, audio, shortLength, false);
        const Timing helper = ListRun(sentences, audio, shortLength, true);
        if (here.files == 0 || helper.files != here.files) {
            std::fprintf(stderr, "the short-file lists made %ju and %ju files\n", here.files,
                         helper.files);
            return {};
        }
        hereMs.push_back(here.seconds * 1000 / static_cast<double>(here.files));
        helperMs.push_back(helper.seconds * 1000 / static_cast<double>(helper.files));
    }
    result.fileMs = Median(helperMs) - Median(hereMs);
    std::printf(
        "files of %d bytes (median of %d): %.1f ms a file through the helper, %.1f ms in this "
        "process\n",
        shortLength, rounds, Median(helperMs), Median(hereMs));
    return result;
}
}  // namespace

int main() {
    const bool quick = Flag("SONOLEAF_BENCH_QUICK");
    const bool smoke = sonoleaf::bench::Smoke();
    sonoleaf::testing::TempDir scratch;
    const fs::path nowhere = scratch.Path() / "no such folder";
    if (!Flag("SONOLEAF_BENCH_READ_ONLY")) ShowStartCosts(smoke ? 1 : 7);

    // --- 2. Reading and scanning (children first, while this process is small) ------
    const std::size_t bigBytes = smoke ? 1u << 20 : quick ? 10u << 20 : 100u << 20;
    const int pairs = smoke ? 1'000 : quick ? 10'000 : 100'000;
    const fs::path big = scratch.Path() / "big.txt";
    const fs::path small = scratch.Path() / "small.txt";
    const fs::path titled = scratch.Path() / "titled.txt";
    WriteProse(big, bigBytes);
    WriteProse(small, bigBytes / 10);
    WriteTitled(titled, bigBytes, pairs);

    const ChildFigures baseline = InChild([] { RecordingSetup setup; });
    const ChildFigures readSmall = LengthListRun(small, nowhere, false);
    const ChildFigures readBig = LengthListRun(big, nowhere, false);
    const ChildFigures lengthBig = LengthListRun(big, nowhere, true);
    const ChildFigures scan = TitleScanRun(titled, static_cast<std::size_t>(pairs));
    const ChildFigures title = TitleListRun(titled, nowhere);
    for (const ChildFigures* run : {&baseline, &readSmall, &readBig, &lengthBig, &scan, &title}) {
        if (!run->ok) {
            std::fprintf(stderr, "a measuring child failed\n");
            return 1;
        }
    }
    const double bigMB = static_cast<double>(bigBytes) / kMB;
    const double readRate = bigMB / readBig.seconds;
    const double scanRate = bigMB / scan.seconds;
    const double lengthPeak = std::max(readBig.peakMB, lengthBig.peakMB);
    const double titleRatio = title.peakMB / bigMB;
    std::printf("baseline process (recording service, no list): peak %.1f MB\n", baseline.peakMB);
    std::printf(
        "length list, %.0f MB at 1000, stopped (reads, cuts, names %zu chunks): "
        "%.2f s = %.0f MB/s, peak %.1f MB\n",
        bigMB, bigBytes / 1000, readBig.seconds, readRate, readBig.peakMB);
    std::printf(
        "length list, %.0f MB at 1000, stopped: %.2f s, peak %.1f MB "
        "(10x the file: %+.1f MB)\n",
        bigMB / 10, readSmall.seconds, readSmall.peakMB, readBig.peakMB - readSmall.peakMB);
    std::printf(
        "length list, %.0f MB at 1000, each chunk rendered by the recording service: "
        "%.2f s = %.0f MB/s, peak %.1f MB\n",
        bigMB, lengthBig.seconds, bigMB / lengthBig.seconds, lengthBig.peakMB);
    std::printf(
        "title list reading and scanning, %.0f MB, %d pairs: %.2f s = %.0f MB/s, "
        "peak %.1f MB\n",
        bigMB, pairs, scan.seconds, scanRate, scan.peakMB);
    std::printf(
        "title list, each pair rendered by the recording service: %.2f s = %.0f MB/s, "
        "peak %.1f MB = %.2f x the file\n",
        title.seconds, bigMB / title.seconds, title.peakMB, titleRatio);
    fs::remove(big);
    fs::remove(small);
    fs::remove(titled);
    if (Flag("SONOLEAF_BENCH_READ_ONLY")) return 0;

    // --- 1. Per-file overhead with the real service ----------------------------------
    const PerFile perFile = MeasurePerFile(quick, smoke);
    if (perFile.ratios.empty()) return 1;

    std::printf(
        "list figures: per-file=%.2f per-file-cpu=%.2f file-ms=%.1f read-MB/s=%.0f "
        "length-rss-MB=%.0f title-rss-ratio=%.1f\n",
        Median(perFile.ratios), Median(perFile.cpuRatios), perFile.fileMs,
        std::min(readRate, scanRate), lengthPeak, titleRatio);
    return 0;
}
