#include "support/cli_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>

extern char** environ;

namespace sonoleaf::testing {
namespace {

void Drain(int descriptor, std::string& into) {
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(descriptor, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        into.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(descriptor);
}

// The test's environment without a display (and without the sound server).
std::vector<std::string> ChildEnvironment(bool withSound) {
    std::vector<std::string> result;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string variable = *entry;
        const std::string name = variable.substr(0, variable.find('='));
        if (name == "DISPLAY" || name == "WAYLAND_DISPLAY" || name == "QT_QPA_PLATFORM") continue;
        if (!withSound && name == "PULSE_SERVER") continue;
        result.push_back(variable);
    }
    if (!withSound) result.push_back("PULSE_SERVER=unix:/nonexistent/sonoleaf-no-sound");
    return result;
}

}  // namespace

std::string BinaryDir() {
    const char* dir = std::getenv("SONOLEAF_BINARY_DIR");
    if (dir != nullptr && *dir != '\0') return dir;
    // GoogleTest cases may run without the tests' environment: the test programs are
    // built one folder below the program.
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string(".") : self.parent_path().parent_path().string();
}

CliProcess::CliProcess(const std::vector<std::string>& arguments, const std::string& input,
                       bool withSound) {
    int in[2];
    int out[2];
    int err[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
        return;
    const std::string program = BinaryDir() + "/sonoleaf-cli";
    std::vector<std::string> argv = {program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> argp;
    for (std::string& a : argv) argp.push_back(a.data());
    argp.push_back(nullptr);
    std::vector<std::string> env = ChildEnvironment(withSound);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    if (::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argp.data(), envp.data()) != 0)
        pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    outReader_ = std::thread(Drain, out[0], std::ref(out_));
    errReader_ = std::thread(Drain, err[0], std::ref(err_));
    inWriter_ = std::thread([fd = in[1], input] {
        ::signal(SIGPIPE, SIG_IGN);
        (void)!::write(fd, input.data(), input.size());
        ::close(fd);
    });
}

CliProcess::~CliProcess() {
    if (!finished_) Finish(0);
}

CliResult CliProcess::Finish(int seconds) {
    CliResult result;
    finished_ = true;
    int raw = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (pid_ > 0 && ::waitpid(pid_, &raw, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &raw, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    for (std::thread* t : {&inWriter_, &outReader_, &errReader_})
        if (t->joinable()) t->join();
    if (WIFEXITED(raw)) result.status = WEXITSTATUS(raw);
    if (WIFSIGNALED(raw)) result.signal = WTERMSIG(raw);
    result.out = out_;
    result.err = err_;
    return result;
}

CliResult RunCli(const std::vector<std::string>& arguments, const std::string& input,
                 bool withSound) {
    CliProcess process(arguments, input, withSound);
    return process.Finish();
}

}  // namespace sonoleaf::testing
