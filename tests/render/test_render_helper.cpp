// A render helper for the pool's tests: the real helper with renders that misbehave on
// cue, or a helper that answers wrongly. SONOLEAF_TEST_HELPER_MODE chooses:
//   serve        renders quickly; a file whose text holds "hang" never ends, one that
//                holds "crash" crashes, one that holds "slow" takes a second and a
//                half; the file holds the length of the text it was given
//   other-build  says it is another build
//   silent       never says anything
//   ignore-work  says hello, then starts nothing it is sent
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "platform/text/text_convert.h"
#include "render/render_helper.h"

namespace {

using namespace sonoleaf;
using namespace sonoleaf::render;

RenderResult File(const FileWork& work, const std::atomic<bool>& stop) {
    // An abort, which a sanitizer build passes on as the signal it is.
    if (work.text.find(u"crash") != std::u16string::npos) std::abort();
    if (work.text.find(u"hang") != std::u16string::npos) {
        for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));  // not even a stop
    }
    if (work.text.find(u"slow") != std::u16string::npos) {
        for (int i = 0; i < 150 && !stop.load(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::ofstream(text::ToNarrow(work.outputPath)) << "sound of " << work.text.size();
    return stop.load() ? RenderResult{} : RenderResult::Saved();
}

RenderResult Segment(const FileWork& work, const std::atomic<bool>&) {
    const std::string samples(2000, '\0');
    std::ofstream(text::ToNarrow(work.outputPath), std::ios::binary) << samples;
    return RenderResult::Saved();
}

void DrainInput() {
    char buffer[4096];
    while (::read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
    }
}

}  // namespace

int main() {
    const char* chosen = std::getenv("SONOLEAF_TEST_HELPER_MODE");
    const std::string mode = chosen != nullptr ? chosen : "serve";
    if (mode == "serve") return RunRenderHelper(STDIN_FILENO, STDOUT_FILENO, {File, Segment});
    if (mode == "other-build") {
        WriteAll(STDOUT_FILENO, Writer().Raw("sonoleaf 0.9 frames 1").Frame(kHello));
    } else if (mode == "ignore-work") {
        WriteAll(STDOUT_FILENO, Writer().Raw(BuildIdentity()).Frame(kHello));
    }
    DrainInput();
    return 0;
}
