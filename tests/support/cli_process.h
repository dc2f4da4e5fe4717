#pragma once
// Runs the built sonoleaf-cli as a child process, as a user or a batch script would:
// no display and, unless asked for, no sound server; its standard output and error
// collected, its exit status or ending signal told.

#include <sys/types.h>

#include <string>
#include <thread>
#include <vector>

namespace sonoleaf::testing {

struct CliResult {
    int status = -1;  // exit status; -1 when a signal ended it
    int signal = 0;
    std::string out;
    std::string err;
};

class CliProcess {
  public:
    // Starts sonoleaf-cli with `arguments`; `input` is its standard input.
    // `withSound` keeps the test's PulseAudio server reachable.
    explicit CliProcess(const std::vector<std::string>& arguments, const std::string& input = {},
                        bool withSound = false);
    ~CliProcess();  // kills the child if still running
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    pid_t Pid() const { return pid_; }
    // Waits for the end (killing it after `seconds`).
    CliResult Finish(int seconds = 240);

  private:
    pid_t pid_ = -1;
    bool finished_ = false;
    std::string out_;
    std::string err_;
    std::thread outReader_;
    std::thread errReader_;
    std::thread inWriter_;
};

// Starts, waits and returns in one go.
CliResult RunCli(const std::vector<std::string>& arguments, const std::string& input = {},
                 bool withSound = false);

// Where the built programs are: SONOLEAF_BINARY_DIR, else the folder above this test.
std::string BinaryDir();

}  // namespace sonoleaf::testing
