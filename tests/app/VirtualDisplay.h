// A private X display (Xvfb) for the camera view's window, and xdotool to press keys in it.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

namespace qcl::test {

inline bool onPath(const std::string& program) {
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

// Output of a shell command, trailing line end removed.
inline std::string shellOutput(const std::string& command) {
    std::string text;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        std::array<char, 256> buffer{};
        while (std::fgets(buffer.data(), buffer.size(), pipe) != nullptr) {
            text += buffer.data();
        }
        ::pclose(pipe);
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

class VirtualDisplay {
  public:
    // Starts Xvfb on a display number that it picks itself among the free ones (so parallel
    // tests never share a display); name() is empty when it did not start.
    VirtualDisplay() { start(); }
    ~VirtualDisplay() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
    }
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    const std::string& name() const { return name_; }

    // Id of the window with exactly this title, waiting up to 20 s for it; empty if none came.
    std::string findWindow(const std::string& title) const {
        return shellOutput("DISPLAY=" + name_ + " timeout 20 xdotool search --sync --name '^" +
                           title + "$' 2>/dev/null | head -n 1");
    }

    // Focuses the window and presses one key (an xdotool key name such as "c" or "Escape").
    bool pressKey(const std::string& window, const std::string& key) const {
        const std::string prefix = "DISPLAY=" + name_ + " xdotool ";
        return std::system(
                   (prefix + "windowfocus --sync " + window + " >/dev/null 2>&1").c_str()) == 0 &&
               std::system((prefix + "key " + key + " >/dev/null 2>&1").c_str()) == 0;
    }

  private:
    void start() {
        int numberPipe[2];
        if (::pipe2(numberPipe, O_CLOEXEC) != 0) {
            return;
        }
        const std::string fd = std::to_string(numberPipe[1]);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::fcntl(numberPipe[1], F_SETFD, 0);  // keep the write end across exec
            std::freopen("/dev/null", "w", stdout);
            std::freopen("/dev/null", "w", stderr);
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24",
                     "-nolisten", "tcp", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(numberPipe[1]);
        // Xvfb writes its display number and a line end once it accepts clients.
        std::string number;
        pollfd ready{numberPipe[0], POLLIN, 0};
        char c = 0;
        while (::poll(&ready, 1, 10000) == 1 && ::read(numberPipe[0], &c, 1) == 1 && c != '\n') {
            number += c;
        }
        ::close(numberPipe[0]);
        if (pid <= 0) {
            return;
        }
        pid_ = pid;
        if (!number.empty()) {
            name_ = ":" + number;
        }
    }

    pid_t pid_ = -1;
    std::string name_;
};

}  // namespace qcl::test
