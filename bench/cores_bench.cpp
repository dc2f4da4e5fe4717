// Lists on every core: a generated English text rendered as an MP3 list at length
// 20000, one file at a time (one render helper) and on every usable core, in turn,
// for several rounds; with the default voice and once more with eSpeak NG's. The
// speedup is the median of the rounds' serial time over parallel time, and every
// round's files must be the same bytes both ways.
//
// The text is 80 KB (four files, about 90 minutes of speech) so that a round with
// Flite's voice takes a minute or two; SONOLEAF_BENCH_FULL=1 renders about 1 MB.
// One long render ("Convert to Audio from Text file") of its first 20 KB with the
// default voice is measured the same way: its segments on one helper, then on all.
// SONOLEAF_BENCH_SMOKE=1 makes one round of a 1 KB text at length 500, and one render
// of it.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench_mode.h"
#include "bench_prose.h"
#include "child_figures.h"
#include "platform/process/spawn.h"
#include "render/render_pool.h"
#include "speech/speech_engine.h"
#include "support/file_contents.h"
#include "support/recording_alerts.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Timing {
    double seconds = 0;
    double cores = 0;  // processor seconds per second: how many cores were at work
};

// The list's length: 20000, or 500 for a smoke run.
int ListLength() {
    return sonoleaf::bench::Smoke() ? 500 : 20000;
}

// One list run (or one render of the whole source) with `slots` helpers into a fresh
// `out`.
Timing Run(const fs::path& source, const fs::path& out, int slots, bool render) {
    fs::remove_all(out);
    fs::create_directory(out);
    Timing timing;
    double cpuStart = 0;
    {
        sonoleaf::SpeechEngine engine(sonoleaf::speech_service::CreateSystemSpeechService());
        engine.EnableRenderHelpers(slots);
        sonoleaf::VoiceProfile profile;
        engine.CopyProfile(profile);
        engine.RenderHelpers();  // started before the clock, as a window has them by then
        cpuStart = sonoleaf::bench::CpuSeconds();
        const auto start = Clock::now();
        if (render) {
            engine.RenderTextFileToFile(source.u16string(), (out / "book.mp3").u16string());
        } else {
            engine.lengthListRunning = true;
            engine.MakeAudioListByLength(source.u16string(), out.u16string(), ListLength());
        }
        timing.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    }  // the helper ended and waited for: its processor time is counted
    timing.cores = (sonoleaf::bench::CpuSeconds() - cpuStart) / timing.seconds;
    return timing;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Speedup {
    double median = 0;
    double serialCores = 0;  // median cores at work in the serial runs
    bool identical = true;
};

Speedup Measure(const char* label, const fs::path& source, const fs::path& scratch, int cores,
                int rounds, bool render = false) {
    std::vector<double> speedups;
    std::vector<double> serialCores;
    Speedup result;
    for (int round = 1; round <= rounds; ++round) {
        const Timing one = Run(source, scratch / "serial", 1, render);
        const Timing all = Run(source, scratch / "parallel", cores, render);
        const double serial = one.seconds;
        const double parallel = all.seconds;
        serialCores.push_back(one.cores);
        const auto files = sonoleaf::testing::FilesIn(scratch / "serial");
        const bool same =
            files == sonoleaf::testing::FilesIn(scratch / "parallel") && !files.empty();
        result.identical = result.identical && same;
        speedups.push_back(serial / parallel);
        std::printf(
            "%s round %d: %zu files; serial %.1f s on %.2f cores, %d cores %.1f s on %.2f, "
            "speedup %.2f%s\n",
            label, round, files.size(), serial, one.cores, cores, parallel, all.cores,
            serial / parallel, same ? "" : " (files differ)");
    }
    result.median = Median(speedups);
    result.serialCores = Median(serialCores);
    return result;
}

}  // namespace

int main() {
    const bool big = sonoleaf::bench::Flag("SONOLEAF_BENCH_FULL");
    const bool smoke = sonoleaf::bench::Smoke();
    const int cores = sonoleaf::process::UsableCores();
    const int rounds = smoke ? 1 : 3;
    if (sonoleaf::render::FindRenderHelper().empty()) {
        std::fprintf(stderr, "no render helper beside the benchmark\n");
        return 1;
    }
    sonoleaf::testing::AlertCapture alerts;
    sonoleaf::testing::TempDir scratch;
    const fs::path source = scratch.Path() / "book.txt";
    sonoleaf::bench::WriteProse(source, smoke ? 1'000 : big ? 1'000'000 : 80'000);

    ::setenv("LC_ALL", "en_US.UTF-8", 1);
    const Speedup standard = Measure("default voice", source, scratch.Path(), cores, rounds);
    const fs::path chapter = scratch.Path() / "chapter.txt";
    sonoleaf::bench::WriteProse(chapter, smoke ? 1'000 : 20'000);
    const Speedup render =
        Measure("one render, default voice", chapter, scratch.Path(), cores, rounds, true);
    // The helpers inherit the environment: eSpeak NG's English voice alone.
    ::setenv("SONOLEAF_ENGINES", "espeak-ng", 1);
    const Speedup espeak = Measure("eSpeak NG", source, scratch.Path(), cores, rounds);
    ::unsetenv("SONOLEAF_ENGINES");

    // A serial run already keeps more than one core busy (synthesis and encoding run
    // side by side), which bounds the speedup at cores / serial-cores.
    std::printf(
        "core figures: cores=%d speedup-default=%.2f speedup-espeak=%.2f speedup-render=%.2f "
        "serial-cores-default=%.2f serial-cores-espeak=%.2f identical=%s\n",
        cores, standard.median, espeak.median, render.median, standard.serialCores,
        espeak.serialCores,
        standard.identical && espeak.identical && render.identical ? "yes" : "no");
    return 0;
}
