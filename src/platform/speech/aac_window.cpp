#include "platform/speech/aac_window.h"

#include <cstddef>
#include <cstdint>

namespace sonoleaf::speech_service {
namespace {

constexpr unsigned kSingleChannelElement = 0;
constexpr unsigned kFillElement = 6;

class BitReader {
  public:
    explicit BitReader(std::string_view bytes) : bytes_(bytes) {}
    // Nothing once past the end.
    std::optional<unsigned> Read(int count) {
        unsigned value = 0;
        for (int i = 0; i < count; ++i) {
            if (at_ >= bytes_.size() * 8) return std::nullopt;
            const auto byte = static_cast<std::uint8_t>(bytes_[at_ / 8]);
            value = value << 1 | ((byte >> (7 - at_ % 8)) & 1u);
            ++at_;
        }
        return value;
    }
    bool Skip(std::size_t bits) {
        if (bits > bytes_.size() * 8 - at_) return false;
        at_ += bits;
        return true;
    }

  private:
    std::string_view bytes_;
    std::size_t at_ = 0;
};

}  // namespace

std::optional<AacWindow> ReadAacWindow(std::string_view frame) {
    BitReader bits(frame);
    for (;;) {
        const auto element = bits.Read(3);
        if (!element) return std::nullopt;
        if (*element == kFillElement) {
            auto count = bits.Read(4);
            if (!count) return std::nullopt;
            if (*count == 15) {
                const auto more = bits.Read(8);
                if (!more) return std::nullopt;
                *count += *more - 1;
            }
            if (!bits.Skip(std::size_t{*count} * 8)) return std::nullopt;
            continue;
        }
        if (*element != kSingleChannelElement) return std::nullopt;
        // Element tag, global gain, then ics_info: a reserved bit, the window sequence
        // and its shape.
        if (!bits.Skip(4 + 8 + 1)) return std::nullopt;
        const auto sequence = bits.Read(2);
        const auto shape = bits.Read(1);
        if (!sequence || !shape) return std::nullopt;
        return AacWindow{static_cast<int>(*sequence), static_cast<int>(*shape)};
    }
}

}  // namespace sonoleaf::speech_service
