#pragma once
// The render helper process: for every file's (or segment's) work it is sent, it forks
// a process that starts the synthesizers afresh, renders that one piece of work as the
// program itself would and reports the result. A file's bytes thus do not depend on
// which files came before it or on how many are rendered at once (eSpeak NG carries
// state from one text to the next); and a synthesizer that crashes or hangs on a
// strange text takes only its own file with it. The helper itself starts no
// synthesizer: eSpeak NG starts a thread of its own, and a process with threads is
// no safe one to fork.

#include "render/child_render.h"

namespace sonoleaf::render {

// Says which build it is, then serves the work read from `input`, reporting on
// `output`, until `input` ends; then stops the work in flight (each ends shorter,
// valid) and returns 0. Every piece of work gets a report, also one whose frame
// cannot be read.
int RunRenderHelper(int input, int output, const ChildRenders& renders);

}  // namespace sonoleaf::render
