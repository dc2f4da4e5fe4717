#include "platform/speech/problem.h"
#include "platform/text/text_convert.h"
#include "render/render_result.h"
#include "speech/speech_jobs.h"

namespace sonoleaf {

namespace ss = speech_service;

std::u16string SpeakFailureMessage(ss::HResult result) {
    std::u16string why;
    if (result == ss::kNoAudioDevice) {
        why = u"No sound output could be reached";
    } else if (result == ss::kFileNotFound) {
        why = u"The text file could not be found";
    } else if (result == ss::kAccessDenied) {
        why = u"The text file could not be read";
    } else if (result == ss::kOutOfMemory) {
        why = u"The text is too large";
    } else {
        why = RenderResult::Failure(RenderStep::Speech, result).reason;
        if (!why.empty() && why.back() == u'.') why.pop_back();
    }
    if (const std::string detail = ss::TakeProblem(); !detail.empty())
        why += u" (" + text::ToWide(detail) + u")";
    return u"The text could not be spoken:\r\n" + why + u".";
}

}  // namespace sonoleaf
