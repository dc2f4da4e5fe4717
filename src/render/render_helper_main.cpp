// The render helper program, started by Sonoleaf itself to render list files and the
// segments of long renders on every core. Its reports go out on what was standard
// output; anything a library prints goes to standard error instead, so that it
// cannot fall into a report.
#include <fcntl.h>
#include <unistd.h>

#include "render/render_helper.h"

int main() {
    const int reports = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    if (reports < 0 || ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) return 1;
    return sonoleaf::render::RunRenderHelper(STDIN_FILENO, reports,
                                             sonoleaf::render::SystemChildRenders());
}
