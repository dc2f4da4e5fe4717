#include "platform/speech/audiobook_tags.h"

#include "platform/speech/stream_checks.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string_view>

namespace sonoleaf::speech_service {
namespace {

int Big16(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint8_t>(bytes[at]) << 8 | static_cast<std::uint8_t>(bytes[at + 1]);
}

// PNG: the image header chunk comes first, its width and height as 32-bit numbers.
bool PngSize(std::string_view bytes, int& width, int& height) {
    if (bytes.size() < 24 || bytes.substr(12, 4) != "IHDR" || Big16(bytes, 16) != 0 ||
        Big16(bytes, 20) != 0)
        return false;
    width = Big16(bytes, 18);
    height = Big16(bytes, 22);
    return true;
}

// JPEG: the size is in the start-of-frame segment (any of SOF0..SOF15 but the three
// markers in that range that are no frame), found by walking the segments.
bool JpegSize(std::string_view bytes, int& width, int& height) {
    std::size_t at = 2;
    while (at + 4 <= bytes.size()) {
        if (static_cast<std::uint8_t>(bytes[at]) != 0xFF) return false;
        const auto marker = static_cast<std::uint8_t>(bytes[at + 1]);
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {  // markers without a length
            at += 2;
            continue;
        }
        const std::size_t length = static_cast<std::size_t>(Big16(bytes, at + 2));
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (length < 7 || at + 9 > bytes.size()) return false;
            height = Big16(bytes, at + 5);
            width = Big16(bytes, at + 7);
            return true;
        }
        if (marker == 0xD9 || marker == 0xDA || length < 2)
            return false;  // no frame before the data
        at += 2 + length;
    }
    return false;
}

}  // namespace

HResult ReadCoverImage(const std::string& path, CoverImage& cover) {
    std::string bytes;
    if (const HResult hr = ReadWholeFile(path, kMaxCoverBytes, bytes); Failed(hr)) return hr;
    static constexpr std::string_view kPng = "\x89PNG\r\n\x1a\n";
    static constexpr std::string_view kJpeg = "\xFF\xD8\xFF";
    int width = 0;
    int height = 0;
    if (bytes.starts_with(kPng) && PngSize(bytes, width, height)) {
        cover.kind = CoverKind::Png;
    } else if (bytes.starts_with(kJpeg) && JpegSize(bytes, width, height)) {
        cover.kind = CoverKind::Jpeg;
    } else {
        return kInvalidArg;
    }
    if (width <= 0 || height <= 0) return kInvalidArg;
    cover.width = width;
    cover.height = height;
    cover.bytes = std::move(bytes);
    return kOk;
}

}  // namespace sonoleaf::speech_service
