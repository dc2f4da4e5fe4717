#pragma once
// What one forked process of the render helper does with its work: a file rendered
// exactly as the program would render it itself, or a segment's samples synthesized
// into a scratch file. Each starts its synthesizers afresh. The helper reaches this
// through ChildRenders, so that a test can stand in for it.

#include <atomic>
#include <functional>

#include "render/render_protocol.h"
#include "render/render_result.h"

namespace sonoleaf::render {

struct ChildRenders {
    // Both run in the forked process; `stop` is set when the work is to end now,
    // shorter and valid.
    std::function<RenderResult(const FileWork&, const std::atomic<bool>& stop)> file;
    std::function<RenderResult(const FileWork&, const std::atomic<bool>& stop)> segment;
};

// The real work: the system speech service's voices and files.
ChildRenders SystemChildRenders();

}  // namespace sonoleaf::render
