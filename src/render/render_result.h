#pragma once
// What became of one rendering into a file, and how the user is told.

#include <string>

#include "platform/speech/file_render.h"
#include "platform/speech/speech_service.h"

namespace sonoleaf {

using RenderStep = speech_service::FileRenderStep;

struct RenderResult {
    enum class Kind { NothingToSay, Saved, Failed };
    Kind kind = Kind::NothingToSay;
    std::u16string reason;  // one sentence, when Failed
    // The process that rendered it died before it could tell: the same work may
    // well succeed in a fresh one.
    bool lost = false;

    bool IsFailed() const { return kind == Kind::Failed; }

    static RenderResult Saved() { return {Kind::Saved, {}}; }
    static RenderResult Failure(std::u16string reason) { return {Kind::Failed, std::move(reason)}; }
    static RenderResult Failure(RenderStep step, speech_service::HResult hr);
    // The steps succeeded, yet no file is there: an MP3 without a single frame is
    // not kept (nothing was spoken, or the render was stopped before any sound).
    static RenderResult NothingKept();
};

// The message of a single rendering: "File is saved to: " and the path once the file
// is there, otherwise that it could not be saved, and why, on a second line.
std::u16string RenderMessage(const RenderResult& result, const std::u16string& outputPath);

// The line a list adds to its closing message when some of its files failed:
// how many of how many, the folder, and the reason of the first failure.
std::u16string ListFailureLines(int failed, int attempted, const std::u16string& folder,
                                const std::u16string& firstReason);

}  // namespace sonoleaf
