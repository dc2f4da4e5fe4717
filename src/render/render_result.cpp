#include "render/render_result.h"

#include "platform/speech/synthesis_engine.h"
#include "platform/text/text_convert.h"

namespace sonoleaf {

namespace ss = speech_service;

namespace {

constexpr char16_t kLineBreak[] = u"\r\n";
constexpr char16_t kCutShort[] = u"The file could not be written to its end: the disk may be full.";

std::u16string Reason(RenderStep step, ss::HResult hr) {
    if (hr == ss::kEngineMissing || hr == ss::kNotInitialised) {
        const std::string problem = ss::InstalledEnginesProblem();
        return u"No speech synthesizer could start" +
               (problem.empty() ? std::u16string(u".") : u": " + text::ToWide(problem) + u".");
    }
    switch (step) {
        case RenderStep::Voice:
            return u"No speech voice could be made ready.";
        case RenderStep::File:
            if (hr == ss::kFileNotFound) return u"The folder does not exist.";
            if (hr == ss::kAccessDenied) return u"The folder cannot be written to.";
            if (hr == ss::kWriteFault) return u"The disk is full.";
            return u"The file could not be created.";
        case RenderStep::Speech:
            // The text file's faults come from reading it; the output's from writing.
            if (hr == ss::kFileNotFound) return u"The text file could not be found.";
            if (hr == ss::kAccessDenied) return u"The text file could not be read.";
            if (hr == ss::kOutOfMemory) return u"The text is too large.";
            if (hr == ss::kWriteFault) return kCutShort;
            return u"The speech could not be made.";
        case RenderStep::Closing:
            return kCutShort;
    }
    return {};
}

}  // namespace

RenderResult RenderResult::Failure(RenderStep step, ss::HResult hr) {
    return {Kind::Failed, Reason(step, hr)};
}

RenderResult RenderResult::NothingKept() {
    return {Kind::Failed, u"Nothing was spoken into it, so no file was kept."};
}

std::u16string RenderMessage(const RenderResult& result, const std::u16string& outputPath) {
    if (!result.IsFailed()) return u"File is saved to: " + outputPath;
    return u"File could not be saved to: " + outputPath + kLineBreak + result.reason;
}

std::u16string ListFailureLines(int failed, int attempted, const std::u16string& folder,
                                const std::u16string& firstReason) {
    auto number = [](int value) {
        const std::string digits = std::to_string(value);
        return std::u16string(digits.begin(), digits.end());
    };
    return kLineBreak + number(failed) + u" of " + number(attempted) +
           u" audio files could not be saved to: " + folder + kLineBreak + firstReason;
}

}  // namespace sonoleaf
