#include "platform/speech/pulse_output.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/mainloop.h>
#include <pulse/simple.h>

#include <chrono>

#include "platform/speech/problem.h"
#include "platform/speech/synthesis_engine.h"

namespace sonoleaf::speech_service {
namespace {

constexpr const char* kClientName = "Sonoleaf";
// A small buffer on the server, so that a pause silences the voice at once.
constexpr std::uint32_t kTargetBufferMs = 250;
// One write: 50 ms of audio.
constexpr std::size_t kSliceSamples = kSampleRate / 20;
constexpr auto kConnectTimeout = std::chrono::milliseconds(1500);

// Whether a server takes a connection in time. The simple API would wait without
// limit and could start a server itself; this asks first, with neither.
bool ServerAnswers() {
    struct MainLoop {
        pa_mainloop* loop = pa_mainloop_new();
        ~MainLoop() {
            if (loop != nullptr) pa_mainloop_free(loop);
        }
    } mainLoop;
    if (mainLoop.loop == nullptr) return false;
    struct Context {
        pa_context* context;
        ~Context() {
            if (context != nullptr) {
                pa_context_disconnect(context);
                pa_context_unref(context);
            }
        }
    } probe{pa_context_new(pa_mainloop_get_api(mainLoop.loop), kClientName)};
    if (probe.context == nullptr) return false;
    const auto refused = [&] {
        NoteProblem(std::string("the sound server: ") +
                    pa_strerror(pa_context_errno(probe.context)));
        return false;
    };
    if (pa_context_connect(probe.context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return refused();
    const auto deadline = std::chrono::steady_clock::now() + kConnectTimeout;
    for (;;) {
        const pa_context_state_t state = pa_context_get_state(probe.context);
        if (state == PA_CONTEXT_READY) return true;
        if (!PA_CONTEXT_IS_GOOD(state)) return refused();
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero()) {
            NoteProblem("the sound server did not answer in time");
            return false;
        }
        const auto wait = std::chrono::duration_cast<std::chrono::microseconds>(left).count();
        if (pa_mainloop_prepare(mainLoop.loop, static_cast<int>(wait)) < 0 ||
            pa_mainloop_poll(mainLoop.loop) < 0 || pa_mainloop_dispatch(mainLoop.loop) < 0)
            return false;
    }
}

}  // namespace

void PulseOutput::Closer::operator()(pa_simple* stream) const {
    pa_simple_free(stream);
}

PulseOutput::PulseOutput(std::unique_ptr<pa_simple, Closer> stream) : stream_(std::move(stream)) {}

PulseOutput::~PulseOutput() = default;

HResult PulseOutput::Open(std::unique_ptr<PulseOutput>& output) {
    if (!ServerAnswers()) return kNoAudioDevice;
    pa_sample_spec sampleFormat{};
    sampleFormat.format = PA_SAMPLE_S16LE;
    sampleFormat.rate = kSampleRate;
    sampleFormat.channels = 1;
    pa_buffer_attr buffer{};
    buffer.maxlength = static_cast<std::uint32_t>(-1);
    buffer.tlength = static_cast<std::uint32_t>(kSampleRate * 2 * kTargetBufferMs / 1000);
    buffer.prebuf = static_cast<std::uint32_t>(-1);
    buffer.minreq = static_cast<std::uint32_t>(-1);
    buffer.fragsize = static_cast<std::uint32_t>(-1);
    int error = 0;
    std::unique_ptr<pa_simple, Closer> stream(
        pa_simple_new(nullptr, kClientName, PA_STREAM_PLAYBACK, nullptr, "Speech", &sampleFormat,
                      nullptr, &buffer, &error));
    if (!stream) {
        NoteProblem(std::string("the sound server: ") + pa_strerror(error));
        return kNoAudioDevice;
    }
    output.reset(new PulseOutput(std::move(stream)));
    return kOk;
}

std::size_t PulseOutput::SliceSamples() const {
    return kSliceSamples;
}

HResult PulseOutput::Write(std::span<const std::int16_t> samples) {
    int error = 0;
    if (pa_simple_write(stream_.get(), samples.data(), samples.size_bytes(), &error) < 0) {
        NoteProblem(std::string("the sound server: ") + pa_strerror(error));
        return kNoAudioDevice;
    }
    return kOk;
}

HResult PulseOutput::Finish() {
    int error = 0;
    return pa_simple_drain(stream_.get(), &error) < 0 ? kNoAudioDevice : kOk;
}

void PulseOutput::Discard() {
    int error = 0;
    pa_simple_flush(stream_.get(), &error);
}

}  // namespace sonoleaf::speech_service
