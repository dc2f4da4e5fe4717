#pragma once
// The render helper process: it starts the speech service once and then, for every
// file's work it is sent, forks a process that renders that one file exactly as the
// program itself would and reports the result. Each file is thus rendered from the
// same freshly started synthesizers, so a file's bytes do not depend on which files
// came before it or on how many are rendered at once; and a synthesizer that crashes
// or hangs on a strange text takes only its own file with it.

namespace sonoleaf::render {

// Serves the work read from `input`, reporting on `output`, until `input` ends;
// then stops the files in flight (each ends shorter, valid) and returns 0.
int RunRenderHelper(int input, int output);

}  // namespace sonoleaf::render
