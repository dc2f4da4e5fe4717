#pragma once
// The voice profile: what the settings dialog edits and every speech job copies.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>

namespace sonoleaf {

enum VoiceGender : std::int32_t { Male = 1, Female = 2 };
enum AudioType : std::int32_t { Mp3 = 1, Wav = 2, M4b = 3 };

// A text the dialog writes while job threads read it.
class SharedText {
  public:
    std::u16string Load() const {
        std::lock_guard lock(mutex_);
        return text_;
    }
    void Store(std::u16string text) {
        std::lock_guard lock(mutex_);
        text_ = std::move(text);
    }

  private:
    mutable std::mutex mutex_;
    std::u16string text_;
};

// Written by the settings dialog, read by job threads: each field is atomic.
struct VoiceProfile {
    std::atomic<std::int32_t> volume{80};
    std::atomic<std::int32_t> speed{-2};
    std::atomic<std::int32_t> voiceGender{Male};
    std::atomic<std::int32_t> audioType{Mp3};
    // Subtitles beside every audio file written: 0 none, 1 SubRip, 2 WebVTT.
    std::atomic<std::int32_t> subtitles{0};
    // The Name of an installed voice chosen by name; empty: by gender.
    SharedText voiceName;
};

}  // namespace sonoleaf
