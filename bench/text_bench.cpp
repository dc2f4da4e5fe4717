// The cost of turning wide text into what the synthesizer reads: a 100 MB line of
// typed text (plain words), and 100 MB of a text file's bytes that are not UTF-8
// (byte characters between the words, read as Windows-1252). Each in a child process
// of its own, for its peak resident size. Goals: 50 MB/s or more (the synthesizer
// speaks a few kilobytes of text a second, so this must never be what it waits for),
// and a peak of at most 1.7 times the wide text's own size: the wide text and its
// UTF-8 form, nothing per character in between.
//
// SONOLEAF_BENCH_QUICK=1 shrinks the inputs tenfold for a trial run;
// SONOLEAF_BENCH_SMOKE=1 converts a megabyte once.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_mode.h"
#include "child_figures.h"
#include "platform/text/byte_text.h"

namespace {

using sonoleaf::bench::ChildFigures;
using sonoleaf::bench::InChild;

constexpr double kMB = 1024.0 * 1024.0;

std::u16string Words(std::size_t characters) {
    const std::u16string sentence = u"The quick brown fox jumps over the lazy dog. ";
    std::u16string text;
    text.reserve(characters);
    // Appending no further than the size reserved keeps the text's own memory exact.
    while (text.size() < characters)
        text.append(sentence, 0, std::min(sentence.size(), characters - text.size()));
    return text;
}

std::u16string Latin1Bytes(std::size_t characters) {
    // "café " in Windows-1252, one byte character each: invalid as UTF-8.
    std::string bytes;
    bytes.reserve(characters);
    const std::string word = "caf\xe9 ";
    while (bytes.size() < characters)
        bytes.append(word, 0, std::min(word.size(), characters - bytes.size()));
    return sonoleaf::text::BytesToText(bytes);
}

struct Measured {
    ChildFigures figures;
    double textMB = 0;
};

Measured Measure(std::u16string (*make)(std::size_t), std::size_t characters) {
    Measured result;
    result.textMB = static_cast<double>(characters * sizeof(char16_t)) / kMB;
    // The text is made before the child starts: the time is the conversion's alone,
    // while the text's pages, which the child shares, still count in its peak.
    const std::u16string text = make(characters);
    result.figures = InChild([&] {
        const std::string utf8 = sonoleaf::text::TextForSynthesis(text);
        if (utf8.empty()) std::_Exit(1);
    });
    return result;
}

}  // namespace

int main() {
    const std::size_t characters = sonoleaf::bench::Smoke()                        ? (1u << 20)
                                   : sonoleaf::bench::Flag("SONOLEAF_BENCH_QUICK") ? (10u << 20)
                                                                                   : (100u << 20);
    struct Case {
        const char* name;
        std::u16string (*make)(std::size_t);
    };
    double worstRatio = 0;
    double slowest = 1e9;
    for (const Case c : {Case{"words", Words}, Case{"windows-1252 bytes", Latin1Bytes}}) {
        const Measured m = Measure(c.make, characters);
        if (!m.figures.ok) {
            std::fprintf(stderr, "the measuring child failed (%s)\n", c.name);
            return 1;
        }
        const double mbPerSecond = static_cast<double>(characters) / kMB / m.figures.seconds;
        const double ratio = m.figures.peakMB / m.textMB;
        std::printf(
            "%s: %zu characters (%.0f MB wide) in %.2f s, %.0f MB/s, peak %.0f MB (%.2fx)\n",
            c.name, characters, m.textMB, m.figures.seconds, mbPerSecond, m.figures.peakMB, ratio);
        if (ratio > worstRatio) worstRatio = ratio;
        if (mbPerSecond < slowest) slowest = mbPerSecond;
    }
    std::printf("text figures: MB/s=%.0f peak-over-text=%.2f\n", slowest, worstRatio);
    return 0;
}
