// Any bytes: the title scan ends, its passages are exactly the texts between matched
// tags, in order, as a plain byte-by-byte reading of the rule finds them, and every
// passage reaches the synthesizer as the same bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "fuzz_input.h"
#include "platform/text/byte_text.h"
#include "platform/text/title_scan.h"

namespace {

using sonoleaf::fuzz::Require;
using sonoleaf::text::kClosingTitleTag;
using sonoleaf::text::kOpeningTitleTag;

bool TagAt(std::string_view bytes, std::size_t pos, std::string_view tag) {
    if (pos + tag.size() > bytes.size()) return false;
    for (std::size_t i = 0; i < tag.size(); ++i)
        if (bytes[pos + i] != tag[i]) return false;
    return true;
}

std::size_t NextTag(std::string_view bytes, std::size_t from, std::string_view tag) {
    for (std::size_t pos = from; pos < bytes.size(); ++pos)
        if (TagAt(bytes, pos, tag)) return pos;
    return std::string_view::npos;
}

// The rule read plainly: the first opening tag, then the first closing tag after its
// end; go on after that closing tag. An opening tag without a closing one ends it all.
std::vector<std::string_view> ExpectedPassages(std::string_view bytes) {
    std::vector<std::string_view> passages;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t opening = NextTag(bytes, pos, kOpeningTitleTag);
        if (opening == std::string_view::npos) break;
        const std::size_t begin = opening + kOpeningTitleTag.size();
        const std::size_t closing = NextTag(bytes, begin, kClosingTitleTag);
        if (closing == std::string_view::npos) break;
        passages.push_back(bytes.substr(begin, closing - begin));
        pos = closing + kClosingTitleTag.size();
    }
    return passages;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<sonoleaf::text::TitlePair> pairs = sonoleaf::text::ScanTitlePairs(bytes);
    const std::vector<std::string_view> expected = ExpectedPassages(bytes);
    Require(pairs.size() == expected.size());

    std::size_t previousNext = 0;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        const sonoleaf::text::TitlePair& pair = pairs[i];
        Require(pair.passageBegin >= previousNext + kOpeningTitleTag.size());
        Require(pair.passageBegin <= pair.passageEnd);
        Require(pair.passageEnd + kClosingTitleTag.size() <= bytes.size());
        const std::string_view passage =
            bytes.substr(pair.passageBegin, pair.passageEnd - pair.passageBegin);
        // The same bytes at the same place, not merely equal text.
        Require(passage.data() == expected[i].data() && passage.size() == expected[i].size());
        Require(pair.next == pair.passageEnd + 1);
        // Each pair is what a search from the previous one finds.
        Require(sonoleaf::text::FindTitlePair(bytes, previousNext) == pair);
        // The passage's wide text (one character per byte) turns back into its bytes.
        Require(sonoleaf::text::TextToBytes(sonoleaf::text::BytesToText(passage)) == passage);
        previousNext = pair.next;
    }
    Require(!sonoleaf::text::FindTitlePair(bytes, previousNext));
    return 0;
}
