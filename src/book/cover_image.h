#pragma once
// Whether a book's cover is a picture at all: decoded by FFmpeg's own JPEG or PNG
// decoder (this is the one file of the folder that includes FFmpeg's headers), so that
// bytes that only start like a picture never reach an audiobook, which would fail on them.

#include <cstdint>
#include <string_view>

namespace sonoleaf::book {

// Larger pictures are refused rather than decoded: a cover needs far fewer pixels.
inline constexpr std::int64_t kMaxCoverPixels = 64ll << 20;

enum class CoverKind { Jpeg, Png };

// Whether `bytes` decode whole, without damage, as one picture of that kind.
bool DecodesAsPicture(std::string_view bytes, CoverKind kind);

}  // namespace sonoleaf::book
