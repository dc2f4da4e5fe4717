// The audio lists' costs.
//
// 1. Per-file overhead: the length list over a 30 KB text at length 1000 (30 files)
//    against one rendering of the same text, both with the real speech service and
//    its default voice into WAV files in a folder held in memory (/dev/shm, where
//    there is one). Pairs run in turn (list, whole, list, whole, ...) so that both
//    sides see the same machine; the median of the pair ratios, and their spread.
//    Goal: at most 1.05.
// 2. Reading and scanning: both lists with the recording service (no log, no audio)
//    over a 100 MB file: the length list at length 1000, the title list over 100,000
//    pairs. Throughput and peak memory, each run in a child process of its own so that
//    its peak resident size is its own. Goals: 200 MB/s or more; the length list's
//    memory flat in the file size; the title list's at most four times the file size.
//    The renders go to a folder that does not exist, so that the service binds no file
//    and the figures are those of the lists' own reading, cutting and scanning.
//
// SONOLEAF_BENCH_QUICK=1 shrinks the inputs tenfold for a trial run;
// SONOLEAF_BENCH_READ_ONLY=1 measures only the reading and scanning (the second measurement).

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench_prose.h"
#include "child_figures.h"
#include "jobs/voice_profile.h"
#include "lists/source_file.h"
#include "lists/title_scan.h"
#include "platform/speech/speech_service.h"
#include "platform/text/byte_text.h"
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
using sonoleaf::bench::InChild;
using sonoleaf::bench::Prose;
using sonoleaf::bench::WriteProse;

constexpr double kMB = 1024.0 * 1024.0;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

bool Flag(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && std::string(value) == "1";
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
        while (const auto pair = sonoleaf::FindTitlePair(bytes, position)) {
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

struct PerFile {
    std::vector<double> ratios;  // list time over whole time, one per pair
};

// Times one rendering of the whole text and one length list of it, in turn, `rounds`
// times; every run's files are removed before the next.
PerFile MeasurePerFile(bool quick) {
    const fs::path memory = "/dev/shm";
    std::error_code error;
    sonoleaf::testing::TempDir scratch = fs::is_directory(memory, error)
                                             ? sonoleaf::testing::TempDir(memory)
                                             : sonoleaf::testing::TempDir();
    const std::size_t textBytes = quick ? 5'000 : 30'000;
    const int rounds = quick ? 3 : 5;
    const fs::path book = scratch.Path() / "book.txt";
    WriteProse(book, textBytes);
    const fs::path audio = scratch.Path() / "audio";
    fs::create_directory(audio);
    sonoleaf::testing::AlertCapture alerts;
    SpeechEngine engine(sonoleaf::speech_service::CreateSystemSpeechService());
    VoiceProfile profile;
    profile.audioType = sonoleaf::Wav;
    engine.CopyProfile(profile);
    std::string bytes(textBytes, '\0');
    std::ifstream(book, std::ios::binary)
        .read(bytes.data(), static_cast<std::streamsize>(textBytes));
    const std::u16string text = sonoleaf::text::BytesToText(bytes);

    PerFile result;
    for (int round = 0; round < rounds; ++round) {
        auto start = Clock::now();
        engine.lengthListRunning = true;
        engine.MakeAudioListByLength(book.u16string(), audio.u16string(), 1000);
        engine.lengthListRunning = false;
        const double list = Seconds(start);
        const std::uintmax_t files = CountFiles(audio);
        for (const auto& entry : fs::directory_iterator(audio)) fs::remove(entry.path());
        start = Clock::now();
        engine.RenderTextToFile(text, (audio / "whole.wav").u16string(), false);
        const double whole = Seconds(start);
        const bool wrote = fs::exists(audio / "whole.wav");
        fs::remove(audio / "whole.wav");
        if (!wrote || files == 0) {
            std::fprintf(stderr, "the real service wrote no audio (%ju list files)\n", files);
            return {};
        }
        result.ratios.push_back(list / whole);
        std::printf(
            "round %d: length list of %zu bytes at 1000, %ju files in %.2f s; "
            "one rendering %.2f s; ratio %.3f\n",
            round + 1, textBytes, files, list, whole, list / whole);
    }
    const auto [low, high] = std::minmax_element(result.ratios.begin(), result.ratios.end());
    std::printf("per-file ratio: median %.3f of %zu pairs, spread %.3f to %.3f (in %s)\n",
                Median(result.ratios), result.ratios.size(), *low, *high,
                scratch.Path().parent_path().c_str());
    return result;
}

}  // namespace

int main() {
    const bool quick = Flag("SONOLEAF_BENCH_QUICK");
    sonoleaf::testing::TempDir scratch;
    const fs::path nowhere = scratch.Path() / "no such folder";

    // --- 2. Reading and scanning (children first, while this process is small) ------
    const std::size_t bigBytes = quick ? 10u << 20 : 100u << 20;
    const int pairs = quick ? 10'000 : 100'000;
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
    const PerFile perFile = MeasurePerFile(quick);
    if (perFile.ratios.empty()) return 1;

    std::printf(
        "list figures: per-file=%.2f read-MB/s=%.0f length-rss-MB=%.0f title-rss-ratio=%.1f\n",
        Median(perFile.ratios), std::min(readRate, scanRate), lengthPeak, titleRatio);
    return 0;
}
