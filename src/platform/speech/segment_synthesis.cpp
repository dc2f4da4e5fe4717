#include "platform/speech/segment_synthesis.h"

#include <cmath>

#include "platform/speech/synthesis_engine.h"

namespace sonoleaf::speech_service {

double SpeedForRate(std::int32_t rate) {
    return std::pow(3.0, rate / 10.0);
}

HResult SynthesizeSegment(const SegmentWork& work, SynthesisEngine& engine,
                          const std::atomic<bool>& stop,
                          const std::function<bool(const std::vector<std::int16_t>&)>& write,
                          std::vector<std::size_t>* pieceSamples) {
    std::vector<std::int16_t> samples;
    for (const SegmentPiece& piece : work.pieces) {
        if (stop.load()) break;
        SynthesisRequest request;
        request.text = piece.text;
        request.endsSentence = piece.endsSentence;
        request.voiceId = work.voiceId;
        request.speed = SpeedForRate(work.rate);
        samples.clear();
        if (const HResult hr = engine.Synthesize(request, samples, stop); Failed(hr)) return hr;
        if (stop.load()) break;
        if (!samples.empty() && !write(samples)) return kFail;
        if (pieceSamples != nullptr) pieceSamples->push_back(samples.size());
    }
    return kOk;
}

std::string PieceCountsPath(const std::string& segmentPath) {
    return segmentPath + ".pieces";
}

}  // namespace sonoleaf::speech_service
