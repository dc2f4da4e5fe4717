#pragma once
// Starting the programs this one runs: one spawn for every child, with an exact
// argument vector and no shell, and the helper programs found where an install or a
// build puts them.

#include <sys/types.h>

#include <string>
#include <vector>

namespace sonoleaf::process {

struct SpawnOptions {
    // The child starts with no signal blocked and every signal at its default, so that
    // nothing this thread blocks or ignores leaks into it. Off: the child inherits
    // what is ignored (a helper that must not die of the terminal's Ctrl-C).
    bool resetSignals = true;
    int standardInput = -1;   // a descriptor to become the child's, or -1 to inherit
    int standardOutput = -1;  // likewise
};

// Starts `path` with exactly `arguments` as its argument vector (`arguments[0]` in the
// program name's place). 0, or the errno of the failed start.
int Spawn(const std::string& path, const std::vector<std::string>& arguments,
          const SpawnOptions& options, pid_t& pid);

// A child whose standard input and output are pipes to this process.
struct PipedChild {
    pid_t pid = 0;
    int toChild = -1;    // its standard input (close-on-exec here)
    int fromChild = -1;  // its standard output (close-on-exec here)
};

// Starts `path` (no arguments) on two new pipes, inheriting ignored signals. 0, or the
// errno of what failed; nothing is left open then.
int StartPiped(const std::string& path, PipedChild& child);

// A write to a pipe whose reader has gone (a helper that died) fails with EPIPE
// instead of ending this process. The signal is caught by a handler that does
// nothing rather than ignored, so that the programs this one starts, by whatever
// means, get the default again at their exec.
void SurviveBrokenPipes();

// The cores this process may run on.
int UsableCores();

// A helper program of this one, named `name`: the program named by the environment
// variable `overrideVariable` when set (empty when that is not executable); else
// beside this program, in the folder above it (test and benchmark programs), or in
// the installed libexec/sonoleaf. Empty when there is none.
std::string FindHelperProgram(const std::string& name, const char* overrideVariable);

}  // namespace sonoleaf::process
