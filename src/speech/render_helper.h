#pragma once
// The render helper process: for every file's (or segment's) work it is sent, it forks
// a process that starts the synthesizers afresh, renders that one file exactly as the
// program itself would and reports the result. A file's bytes thus do not depend on
// which files came before it or on how many are rendered at once (eSpeak NG carries
// state from one text to the next); and a synthesizer that crashes or hangs on a
// strange text takes only its own file with it. The helper itself starts no
// synthesizer: eSpeak NG starts a thread of its own, and a process with threads is
// no safe one to fork.

namespace sonoleaf::render {

// Serves the work read from `input`, reporting on `output`, until `input` ends;
// then stops the files in flight (each ends shorter, valid) and returns 0.
int RunRenderHelper(int input, int output);

}  // namespace sonoleaf::render
