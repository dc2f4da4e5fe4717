#pragma once
// Runs an external program with an exact argument vector and waits for its end.
// No shell takes part: every argument reaches the program whole, as given.

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sonoleaf::process {

struct RunResult {
    enum class Outcome {
        NotStarted,  // not found, not executable, or the start itself failed
        Exited,      // ended normally; `exitStatus` holds its status
        Signalled,   // killed by a signal; `signal` holds its number (0 when the
                     // child's end could not be observed)
        Abandoned,   // no longer waited for (StopWaitingForPrograms); it runs on
    };
    Outcome outcome = Outcome::NotStarted;
    int exitStatus = 0;
    int signal = 0;
    int startError = 0;  // errno of a failed start (ENOENT when the program was not found)

    bool ExitedWith(int status) const { return outcome == Outcome::Exited && exitStatus == status; }
};

// Where `program` would be run from: a name holding "/" is taken as it is; any other
// name is looked up in the current working directory first, then on PATH.
// Empty when no executable regular file of that name is found.
std::optional<std::string> FindProgram(std::string_view program);

// Starts `program` (looked up as FindProgram does) with exactly `arguments` as its
// argument vector, `arguments[0]` standing in the program name's place, and blocks
// until it has ended. The child inherits the environment and the standard streams.
RunResult RunAndWait(std::string_view program, const std::vector<std::string>& arguments);
// A run with a time limit.
struct TimedRun {
    RunResult run;
    bool timedOut = false;  // it ran past the time given: killed
};

// The same, the program killed (and reaped) once it has run past `timeLimit`.
TimedRun RunAndWait(std::string_view program, const std::vector<std::string>& arguments,
                    std::chrono::milliseconds timeLimit);

// A run whose standard output was captured.
struct CapturedRun {
    RunResult run;
    std::string output;           // at most the bound given
    bool outputTooLarge = false;  // it wrote more: killed, the output cut at the bound
    bool timedOut = false;        // it ran past the time given: killed
};

// Like RunAndWait, with the child's standard output captured (its input is /dev/null,
// its errors are inherited). A child that writes more than `maxOutputBytes` or runs
// past `timeLimit` is killed; so is one no longer waited for (StopWaitingForPrograms),
// since nobody would read what it tells. For small helper programs whose listing the
// caller parses.
CapturedRun RunAndCapture(std::string_view program, const std::vector<std::string>& arguments,
                          std::size_t maxOutputBytes, std::chrono::milliseconds timeLimit);

// Every RunAndWait and RunAndCapture waiting now returns with Outcome::Abandoned; the
// programs RunAndWait started go on and finish their work on their own. Later runs
// wait as usual. For a program that is closing and must not be held up by a child
// that takes long.
void StopWaitingForPrograms();

}  // namespace sonoleaf::process
