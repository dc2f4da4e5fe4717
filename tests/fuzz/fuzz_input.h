#pragma once
// What the fuzz targets share: a property check that stops the run, and ways to read
// the fuzzer's bytes as the kinds of input the program takes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace sonoleaf::fuzz {

// A broken property is a finding: abort so that libFuzzer (or the replay driver) keeps
// the input and reports it.
inline void Require(bool condition) {
    if (!condition) std::abort();
}

// Reads the input front to back; past the end every read yields zeros.
class Input {
  public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool Empty() const { return pos_ >= size_; }
    std::size_t Left() const { return size_ - pos_; }

    std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }

    template <typename T>
    T Value() {
        T value{};
        const std::size_t take = Left() < sizeof value ? Left() : sizeof value;
        if (take > 0) std::memcpy(&value, data_ + pos_, take);
        pos_ += take;
        return value;
    }

    std::string_view Bytes(std::size_t count) {
        const std::size_t take = count < Left() ? count : Left();
        const std::string_view bytes(reinterpret_cast<const char*>(data_ + pos_), take);
        pos_ += take;
        return bytes;
    }

    std::string_view Rest() { return Bytes(Left()); }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Wide text from bytes in one of two ways, chosen by the first byte: each byte widened
// to one code unit (easy for the fuzzer to steer towards ASCII digits, separators and
// stops), or little-endian byte pairs (any UTF-16 unit, unpaired surrogates too).
inline std::u16string WideText(Input& input) {
    const bool pairs = (input.Byte() & 1) != 0;
    std::u16string text;
    if (pairs) {
        while (input.Left() >= 2) {
            const std::uint8_t low = input.Byte();
            const std::uint8_t high = input.Byte();
            text.push_back(static_cast<char16_t>(low | (high << 8)));
        }
        input.Rest();
    } else {
        while (!input.Empty()) text.push_back(input.Byte());
    }
    return text;
}

}  // namespace sonoleaf::fuzz
