#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quorvane::testing {

// A program started by a test, with its output in files. The destructor kills
// it if the test did not stop it, so no test leaves a process behind.
class ChildProcess {
  public:
    ChildProcess(const std::vector<std::string>& argv, const std::filesystem::path& workFolder);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    pid_t Pid() const { return pid_; }
    void Signal(int signal) const;
    // The exit status once the process ended, or nothing after the timeout.
    std::optional<int> Wait(std::chrono::milliseconds timeout);
    std::string Output() const;  // standard output so far
    std::string Errors() const;  // standard error so far
    // Waits until the output holds the text; false after the timeout.
    bool WaitForOutput(const std::string& text, std::chrono::milliseconds timeout) const;

  private:
    pid_t pid_ = -1;
    std::filesystem::path stdout_;
    std::filesystem::path stderr_;
};

// Runs a command line through the shell, bounded by `timeout` seconds, and
// returns its exit status and standard output.
struct CommandResult {
    int status = -1;
    std::string output;
};
CommandResult RunCommand(const std::string& command, int timeoutSeconds = 60);

// Waits (bounded) until the process has ended: gone, or, unless it must be
// reaped too, a zombie that only waits for the session's reaper. A survivor is
// killed, so no test leaves one behind.
bool ProcessEnded(pid_t pid, bool reaped);

// A port nobody listens on right now, found by binding 127.0.0.1:0.
uint16_t FreePort();

}  // namespace quorvane::testing
