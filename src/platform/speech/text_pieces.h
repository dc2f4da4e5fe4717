#pragma once
// Cuts a text into the pieces the synthesizer takes one at a time: whole sentences,
// several short ones together, and never more than a bounded length, so that no
// piece holds the synthesizer for long and the audio of one piece stays small.

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sonoleaf::speech_service {

struct TextPiece {
    std::string text;
    bool endsSentence = false;  // cut after a sentence, or the end of the text
    std::size_t end = 0;        // byte offset in the whole text where the piece ends
};

class TextPieces {
  public:
    // Pieces end at the first sentence end after `minLength` bytes; a piece longer
    // than `maxLength` is cut at a clause end, else between words, else between
    // characters. `text` is UTF-8 and must outlive this object.
    TextPieces(std::string_view text, bool ssml, std::size_t minLength = 240,
               std::size_t maxLength = 1000);

    // The next piece holding something to say; false at the end of the text.
    bool Next(TextPiece& piece);

    // True when the first character that is not blank is "<".
    static bool LooksLikeMarkup(std::string_view text);

  private:
    struct OpenElement {
        std::string name;
        std::string openingTag;
    };

    bool NextPlain(TextPiece& piece);
    bool NextMarkup(TextPiece& piece);
    // Where to cut `segment` that follows `already` bytes of the piece; npos when
    // the whole segment fits. `sentence` tells whether the cut ends a sentence.
    std::size_t FindCut(std::string_view segment, std::size_t already, bool& sentence) const;
    // Length of the tag at `pos_` ("<...>", quotes respected); 0 when it is no tag.
    std::size_t TagLength() const;
    void TakeTag(std::string_view tag, std::string& out, bool& spoken);

    std::string_view text_;
    bool ssml_;
    std::size_t minLength_;
    std::size_t maxLength_;
    std::size_t pos_ = 0;
    std::vector<OpenElement> open_;
};

}  // namespace sonoleaf::speech_service
