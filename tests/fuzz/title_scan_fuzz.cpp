// Any bytes: the title scan ends, and every pair it finds is a real pair, in order.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "lists/title_scan.h"

namespace {
void Require(bool condition) {
    if (!condition) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    using sonoleaf::kClosingTitleTag;
    using sonoleaf::kOpeningTitleTag;
    std::size_t previousNext = 0;
    for (const sonoleaf::TitlePair& pair : sonoleaf::ScanTitlePairs(bytes)) {
        Require(pair.passageBegin >= previousNext + kOpeningTitleTag.size());
        Require(pair.passageBegin <= pair.passageEnd);
        Require(pair.passageEnd + kClosingTitleTag.size() <= bytes.size());
        Require(bytes.substr(pair.passageBegin - kOpeningTitleTag.size(),
                             kOpeningTitleTag.size()) == kOpeningTitleTag);
        Require(bytes.substr(pair.passageEnd, kClosingTitleTag.size()) == kClosingTitleTag);
        // The closing tag is the first one after the opening tag.
        const std::string_view passage =
            bytes.substr(pair.passageBegin, pair.passageEnd - pair.passageBegin);
        Require(passage.find(kClosingTitleTag) == std::string_view::npos);
        // No opening tag was skipped between the last pair and this one.
        const std::string_view gap =
            bytes.substr(previousNext, pair.passageBegin - kOpeningTitleTag.size() - previousNext);
        Require(gap.find(kOpeningTitleTag) == std::string_view::npos);
        Require(pair.next == pair.passageEnd + 1);
        previousNext = pair.next;
    }
    return 0;
}
