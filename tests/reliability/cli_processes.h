#pragma once

// Runs the built vellumark-cli as real processes, to make writers meet: a process started with
// pause places stops itself at them (PauseForTest), the test does what it wants meanwhile and
// lets it go on. Every wait has a deadline, so a writer that never gets where it should fails
// the test instead of hanging it; processes still alive at the end are killed.

#include "tests/common/test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace vellumark::testing {

class CliProcess {
public:
    enum class State { Running, Stopped, Exited };

    // Starts `vellumark-cli --home HOME ARGUMENTS...`, its output going to files in `scratch`.
    CliProcess(const std::string& scratch, const std::string& home, const std::vector<std::string>& arguments,
               const std::string& pausePlaces = {})
        : outPath_(scratch + "/out-" + std::to_string(++Counter())), errPath_(outPath_ + ".err")
    {
        std::vector<std::string> words = {VELLUMARK_CLI, "--home", home};
        words.insert(words.end(), arguments.begin(), arguments.end());
        pid_ = ::fork();
        if (pid_ != 0)
            return;
        if (pausePlaces.empty())
            ::unsetenv("VELLUMARK_TEST_PAUSE");
        else
            ::setenv("VELLUMARK_TEST_PAUSE", pausePlaces.c_str(), 1);
        const int out = ::open(outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(out, 1);
        ::dup2(err, 2);
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }

    ~CliProcess()
    {
        if (state_ != State::Exited && pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    // Waits until the process has stopped at a pause place (true) or has ended (false).
    bool WaitStopped() { return WaitFor(State::Stopped); }
    // Lets a stopped process go on.
    void Continue()
    {
        ::kill(pid_, SIGCONT);
        state_ = State::Running;
    }
    // Waits for the end; the exit code, or -1 when it did not end in time or was killed.
    int WaitExit() { return WaitFor(State::Exited) ? exitCode_ : -1; }
    void Kill()
    {
        ::kill(pid_, SIGKILL);
        WaitFor(State::Exited);
    }
    // Looks without waiting.
    State Poll()
    {
        Check(WNOHANG);
        return state_;
    }

    std::string Out() const { return ReadFile(outPath_); }
    std::string Err() const { return ReadFile(errPath_); }

private:
    static int& Counter()
    {
        static int counter = 0;
        return counter;
    }

    void Check(int flags)
    {
        if (state_ == State::Exited)
            return;
        int status = 0;
        const pid_t got = ::waitpid(pid_, &status, flags | WUNTRACED);
        if (got != pid_)
            return;
        if (WIFSTOPPED(status)) {
            state_ = State::Stopped;
        } else {
            state_ = State::Exited;
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
    }

    bool WaitFor(State wanted)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < deadline) {
            Check(WNOHANG);
            if (state_ == wanted)
                return true;
            if (state_ == State::Exited)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }

    std::string outPath_;
    std::string errPath_;
    pid_t pid_ = -1;
    State state_ = State::Running;
    int exitCode_ = -1;
};

// The inode of the file the path names now.
inline ino_t InodeOf(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

// Whether someone waits for a lock on the file of that inode (a "->" line of /proc/locks).
inline bool SomeoneWaitsForLock(ino_t inode)
{
    std::ifstream locks("/proc/locks");
    const std::string wanted = ":" + std::to_string(inode) + " ";
    for (std::string line; std::getline(locks, line);)
        if (line.find("->") != std::string::npos && line.find(wanted) != std::string::npos)
            return true;
    return false;
}

// Waits until the process waits for the lock on the file of that inode (true), or it stopped or
// ended instead, which means it did not wait (false).
inline bool WaitUntilWaitingForLock(CliProcess& process, ino_t inode)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        if (SomeoneWaitsForLock(inode))
            return true;
        if (process.Poll() != CliProcess::State::Running)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

}  // namespace vellumark::testing
