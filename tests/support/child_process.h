#pragma once
// Runs a piece of a test in a forked child, for faults that must not touch the test
// process itself: a file size limit, another user, a changed environment. The child
// hands back a text; a child that crashes or overruns its time is reported as such.

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace sonoleaf::testing {

struct ChildOutcome {
    bool exited = false;  // ended by itself with status 0
    bool timedOut = false;
    int signal = 0;      // that ended it, if one did
    std::string output;  // what `body` returned
};

// Forks; the child runs `body` and passes its result back through a pipe, then ends
// with _exit. The parent waits at most `timeout` (then kills the child).
ChildOutcome RunInChild(const std::function<std::string()>& body,
                        std::chrono::seconds timeout = std::chrono::seconds(60));

// For use inside a child: drops root's rights (to the user "nobody"), so that file
// permissions hold as for any user. False when it could not.
bool DropRootRights();

// The processes `parent` has started and not yet seen end, read from /proc.
std::vector<pid_t> ChildrenOf(pid_t parent);

}  // namespace sonoleaf::testing
