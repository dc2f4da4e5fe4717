// Any bytes read as a chapter from a scratch file: refused with a reason and left
// empty, or taken as a chapter whose parts agree and which serialises back to the
// very same bytes. Never a crash, and no allocation beyond what the bytes hold.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "platform/speech/encoded_chapter.h"

namespace {

namespace fz = sonoleaf::fuzz;
namespace ss = sonoleaf::speech_service;
using fz::Require;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    ss::EncodedChapter chapter;
    std::string reason;
    const ss::HResult hr = ss::ParseChapter(bytes, chapter, &reason);
    if (ss::Failed(hr)) {
        Require(hr == ss::kInvalidArg && !reason.empty());
        Require(chapter.samples == 0 && chapter.frames.Count() == 0 && chapter.head.empty() &&
                chapter.tail.empty());
    } else {
        Require(ss::Succeeded(ss::CheckChapter(chapter)));
        Require(ss::SerializeChapter(chapter) == bytes);
    }
    return 0;
}
