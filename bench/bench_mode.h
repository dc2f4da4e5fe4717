#pragma once
// How much a benchmark measures, from the environment: SONOLEAF_BENCH_SMOKE=1 makes it
// run once on a tiny input in seconds and still print its figures line, so that
// `make test` sees every benchmark work; SONOLEAF_BENCH_QUICK=1 shrinks it for a trial.

#include <cstdlib>
#include <string_view>

namespace sonoleaf::bench {

inline bool Flag(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && std::string_view(value) == "1";
}

inline bool Smoke() {
    return Flag("SONOLEAF_BENCH_SMOKE");
}

// The counted rounds: SONOLEAF_BENCH_RUNS (at least 3) or `standard`; one when smoking.
inline int Rounds(int standard) {
    if (Smoke()) return 1;
    const char* value = std::getenv("SONOLEAF_BENCH_RUNS");
    const int asked = value != nullptr ? std::atoi(value) : standard;
    return asked < 3 ? 3 : asked;
}

}  // namespace sonoleaf::bench
