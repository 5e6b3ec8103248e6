// Runs the built Quorview program as a child process in a working directory of its own, feeds its
// standard input and collects its standard output and error while it runs.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace qcl::test {

namespace fs = std::filesystem;

// The program under test: QUORVIEW_BINARY from the environment, else the one the build made.
inline fs::path quorviewBinary() {
    if (const char* path = std::getenv("QUORVIEW_BINARY")) {
        return path;
    }
#ifdef QUORVIEW_BINARY
    return QUORVIEW_BINARY;
#else
    return fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "app" / "Quorview";
#endif
}

// A fresh, empty directory that is removed again with the object.
class TempDir {
  public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "quorview-app-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ignored;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }

    void write(const std::string& name, const std::string& text) const {
        std::ofstream(path_ / name, std::ios::binary) << text;
    }
    std::string read(const std::string& name) const {
        std::ifstream in(path_ / name, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

  private:
    fs::path path_;
};

class RunningProgram {
  public:
    using Clock = std::chrono::steady_clock;

    RunningProgram(const fs::path& workingDirectory, const std::vector<std::string>& arguments,
                   const std::map<std::string, std::string>& environment = {}) {
        int in[2], out[2], err[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 ||
            ::pipe2(err, O_CLOEXEC) != 0) {
            return;
        }
        const std::string binary = quorviewBinary().string();
        std::vector<std::string> argumentTexts{binary};
        argumentTexts.insert(argumentTexts.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& text : argumentTexts) {
            argv.push_back(text.data());
        }
        argv.push_back(nullptr);
        std::vector<std::string> environmentTexts = currentEnvironment(environment);
        std::vector<char*> envp;
        for (std::string& text : environmentTexts) {
            envp.push_back(text.data());
        }
        envp.push_back(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(in[0], 0);
            ::dup2(out[1], 1);
            ::dup2(err[1], 2);
            if (::chdir(workingDirectory.c_str()) != 0) {
                ::_exit(126);
            }
            ::execve(binary.c_str(), argv.data(), envp.data());
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        ::close(err[1]);
        stdin_ = in[1];
        ::signal(SIGPIPE, SIG_IGN);
        readers_.emplace_back([this, fd = out[0]] { collect(fd, stdout_); });
        readers_.emplace_back([this, fd = err[0]] { collect(fd, stderr_); });
    }

    ~RunningProgram() {
        closeInput();
        if (pid_ > 0 && !exitCode_) {
            ::kill(pid_, SIGKILL);
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
        for (std::thread& reader : readers_) {
            reader.join();
        }
    }
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool started() const { return pid_ > 0; }

    void send(const std::string& text) {
        if (stdin_ >= 0) {
            const ssize_t written = ::write(stdin_, text.data(), text.size());
            (void)written;
        }
    }
    void closeInput() {
        if (stdin_ >= 0) {
            ::close(stdin_);
            stdin_ = -1;
        }
    }

    std::string output() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return stdout_;
    }
    std::string errors() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return stderr_;
    }

    // Waits until standard output holds `text` at least `count` times; false after `timeout`.
    bool waitForOutput(const std::string& text, std::chrono::milliseconds timeout, int count = 1) {
        const auto end = Clock::now() + timeout;
        while (Clock::now() < end) {
            if (occurrences(output(), text) >= count) {
                return true;
            }
            if (exitCode_ || finished()) {
                return occurrences(output(), text) >= count;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    // Exit code, or nullopt when the program is still running after `timeout` (it is then
    // killed).
    std::optional<int> wait(std::chrono::milliseconds timeout) {
        const auto end = Clock::now() + timeout;
        while (!finished() && Clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (!exitCode_) {
            ::kill(pid_, SIGKILL);
            int status = 0;
            ::waitpid(pid_, &status, 0);
            exitCode_ = -1;
            timedOut_ = true;
        }
        for (std::thread& reader : readers_) {
            reader.join();
        }
        readers_.clear();
        return timedOut_ ? std::nullopt : exitCode_;
    }

    static int occurrences(const std::string& text, const std::string& part) {
        int count = 0;
        for (std::size_t at = text.find(part); at != std::string::npos;
             at = text.find(part, at + part.size())) {
            ++count;
        }
        return count;
    }

    // This process's environment with `overrides` replacing or adding variables.
    static std::vector<std::string> currentEnvironment(
        const std::map<std::string, std::string>& overrides) {
        std::vector<std::string> result;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string text = *entry;
            const std::string name = text.substr(0, text.find('='));
            if (overrides.count(name) == 0) {
                result.push_back(text);
            }
        }
        for (const auto& [name, value] : overrides) {
            result.push_back(name + "=" + value);
        }
        return result;
    }

  private:
    bool finished() {
        if (exitCode_) {
            return true;
        }
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return true;
        }
        return false;
    }

    void collect(int fd, std::string& into) {
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof(buffer));
            if (n <= 0) {
                break;
            }
            std::lock_guard<std::mutex> lock(mutex_);
            into.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(fd);
    }

    pid_t pid_ = -1;
    int stdin_ = -1;
    std::optional<int> exitCode_;
    bool timedOut_ = false;
    mutable std::mutex mutex_;
    std::string stdout_;
    std::string stderr_;
    std::vector<std::thread> readers_;
};

// Environment for runs that open the capture library: its backends load system libraries
// (GStreamer plugins, libusb, the GUI toolkit) that leave allocations behind at exit, which a
// leak-checking sanitizer build would report as the program's failure. Our own code's leaks are
// still checked by the in-process tests and by the runs that open no camera.
inline std::map<std::string, std::string> captureEnvironment() {
    const char* current = std::getenv("ASAN_OPTIONS");
    std::string options = current != nullptr ? current : "";
    options += options.empty() ? "detect_leaks=0" : ":detect_leaks=0";
    return {{"ASAN_OPTIONS", options}};
}

// Runs the program to its end with `input` as its whole standard input.
struct ProgramResult {
    std::optional<int> exitCode;  // nullopt: did not end in time
    std::string output;
    std::string errors;
};

inline ProgramResult runProgram(const fs::path& workingDirectory,
                                const std::vector<std::string>& arguments,
                                const std::string& input = std::string(),
                                const std::map<std::string, std::string>& environment = {},
                                std::chrono::milliseconds timeout = std::chrono::seconds(60)) {
    RunningProgram program(workingDirectory, arguments, environment);
    program.send(input);
    program.closeInput();
    ProgramResult result;
    result.exitCode = program.wait(timeout);
    result.output = program.output();
    result.errors = program.errors();
    return result;
}

}  // namespace qcl::test
