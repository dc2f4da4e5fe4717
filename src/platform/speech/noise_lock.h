#pragma once
// The lock over the C library's one rand() state. Flite's vocoder draws its noise
// from rand() and seeds it per piece so that a text always sounds the same; libespeak-ng
// calls rand() too (nm -D lists it). Each engine synthesizes while holding
// this lock, so that no draw of one engine falls between the other's seed and draws.

#include <mutex>

namespace sonoleaf::speech_service {

inline std::mutex& RandomNoiseLock() {
    static std::mutex lock;
    return lock;
}

}  // namespace sonoleaf::speech_service
