// The cost of a pronunciation list: Apply with 1,000 word rules (names, words of the
// text, phrases) and 20 pattern rules over 1 MB of English-like prose in which the
// names and numbers turn up now and then, against Apply with no rules (a copy of the
// text), the two in turn, round by round; the medians of the rounds. The speech of a
// 20 KB text takes seconds to synthesize, so a few milliseconds per 20 KB are what
// the goal (a render with 1,000 rules at most 3 % slower) leaves room for.
//
// The last line: "pronunciation figures: apply-MB/s=X apply-ms-per-20KB=Y", X over the
// whole megabyte in one call, Y over its 20 KB slices one call each (as a render's
// segments are given).
// SONOLEAF_BENCH_QUICK=1 runs 3 rounds instead of 9; SONOLEAF_BENCH_SMOKE=1 one round
// over 64 KB, with no warm-up.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "bench_mode.h"
#include "bench_prose.h"
#include "platform/text/pronunciations.h"

namespace {

using Clock = std::chrono::steady_clock;
using sonoleaf::text::Pronunciations;

constexpr std::size_t kTextBytes = 1 << 20;
constexpr std::size_t kSmokeTextBytes = 64 << 10;
constexpr std::size_t kSliceBytes = 20 * 1024;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::string InventedName(std::mt19937& random) {
    static const char* const syllables[] = {"zar", "vo",  "ki",  "an",  "mel", "tho", "ru", "ex",
                                            "dra", "quo", "lin", "sev", "or",  "ba",  "nu", "tek"};
    std::string name;
    const int count = 2 + static_cast<int>(random() % 3);
    for (int i = 0; i < count; ++i) name += syllables[random() % std::size(syllables)];
    name[0] = static_cast<char>(name[0] - 'a' + 'A');
    return name;
}

struct Workload {
    std::string rules;
    std::string text;
};

Workload MakeWorkload(std::size_t textBytes) {
    std::mt19937 random(7);
    Workload work;
    std::vector<std::string> names;
    // Words and phrases of the prose itself, so that the common words find rules too.
    const char* const prose[] = {"village",    "harvest",   "stranger", "letter", "river",
                                 "the bridge", "old house", "the inn",  "fog",    "hills"};
    for (const char* word : prose) work.rules += std::string(word) + " = " + word + "h\n";
    while (names.size() < 990) {
        const std::string name = InventedName(random);
        if (std::find(names.begin(), names.end(), name) != names.end()) continue;
        names.push_back(name);
        work.rules += name + " = " + name.substr(0, 3) + " " + name.substr(3) + "\n";
    }
    const char* const patterns[] = {
        "/(\\d+) ?km\\b/ = $1 kilometres",
        "/colou?r/i = culler",
        "/\\bDr\\. / = doctor ",
        "/(\\d+)%/ = $1 percent",
        "/\\$(\\d+)/ = $1 dollars",
        "/\\bSt\\. / = saint ",
        "/\\be\\.g\\./ = for example",
        "/\\bi\\.e\\./ = that is",
        "/(\\d+)(st|nd|rd|th)\\b/ = $1 $2",
        "/\\bOK\\b/ = okay",
        "/&/ = and",
        "/\\bvs\\.? / = versus ",
        "/\\bMt\\. / = mount ",
        "/(\\d+) ?kg\\b/ = $1 kilograms",
        "/\\bNo\\. (\\d)/ = number $1",
        "/\\bca\\. / = circa ",
        "/(\\d+) ?mph\\b/ = $1 miles an hour",
        "/\\bAve\\. / = avenue ",
        "/--/ = , ",
        "/\\.\\.\\./ = ,",
    };
    for (const char* pattern : patterns) work.rules += std::string(pattern) + "\n";

    sonoleaf::bench::Prose sentences;
    while (work.text.size() < textBytes) {
        work.text += sentences.Next();
        if (random() % 3 == 0) work.text += names[random() % names.size()] + "'s ";
        if (random() % 8 == 0) work.text += std::to_string(random() % 500) + " km and 3rd. ";
    }
    work.text.resize(textBytes);
    return work;
}

double MillisecondsOf(const Pronunciations& rules, const std::string& text, std::size_t slice,
                      std::size_t& sink) {
    const auto start = Clock::now();
    for (std::size_t at = 0; at < text.size(); at += slice)
        sink += rules.Apply(std::string_view(text).substr(at, slice)).size();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main() {
    const bool smoke = sonoleaf::bench::Smoke();
    const int rounds = smoke ? 1 : sonoleaf::bench::Flag("SONOLEAF_BENCH_QUICK") ? 3 : 9;
    const Workload work = MakeWorkload(smoke ? kSmokeTextBytes : kTextBytes);
    std::vector<sonoleaf::text::RuleProblem> problems;
    const auto parseStart = Clock::now();
    const Pronunciations rules = Pronunciations::Parse(work.rules, problems);
    const double parseMs =
        std::chrono::duration<double, std::milli>(Clock::now() - parseStart).count();
    if (!problems.empty() || rules.RuleCount() != 1020) {
        std::fprintf(stderr, "the rules did not parse: %s\n",
                     problems.empty() ? "count" : problems.front().message.c_str());
        return 1;
    }
    const Pronunciations none;
    std::size_t sink = 0;
    std::vector<double> wholeWith, wholeNone, slicesWith, slicesNone;
    for (int round = smoke ? 1 : 0; round <= rounds; ++round) {
        const double a = MillisecondsOf(rules, work.text, work.text.size(), sink);
        const double b = MillisecondsOf(none, work.text, work.text.size(), sink);
        const double c = MillisecondsOf(rules, work.text, kSliceBytes, sink);
        const double d = MillisecondsOf(none, work.text, kSliceBytes, sink);
        if (round == 0) continue;  // warming up
        wholeWith.push_back(a);
        wholeNone.push_back(b);
        slicesWith.push_back(c);
        slicesNone.push_back(d);
    }
    const double slices = static_cast<double>((work.text.size() + kSliceBytes - 1) / kSliceBytes);
    const double megabytes = static_cast<double>(work.text.size()) / (1024.0 * 1024.0);
    const std::string changed = rules.Apply(work.text);
    std::printf("1,020 rules parsed in %.1f ms; the text grows from %zu to %zu bytes\n", parseMs,
                work.text.size(), changed.size());
    std::printf("%zu KB in one call: %.1f ms with the rules, %.2f ms without (median of %d)\n",
                work.text.size() / 1024, Median(wholeWith), Median(wholeNone), rounds);
    std::printf("20 KB slices: %.3f ms each with the rules, %.4f ms without\n",
                Median(slicesWith) / slices, Median(slicesNone) / slices);
    std::printf("pronunciation figures: apply-MB/s=%.1f apply-ms-per-20KB=%.3f\n",
                megabytes / (Median(wholeWith) / 1000.0), Median(slicesWith) / slices);
    return sink == 0 ? 1 : 0;
}
