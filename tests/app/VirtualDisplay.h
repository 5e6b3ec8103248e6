// A private X display (Xvfb) for the camera view's window, and xdotool to press keys in it.
#pragma once

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
    // Starts Xvfb on the first display number that is free; name() is empty when none started.
    VirtualDisplay() {
        for (int number = 90 + ::getpid() % 50; number < 400 && pid_ <= 0; number += 7) {
            if (std::filesystem::exists("/tmp/.X" + std::to_string(number) + "-lock") ||
                std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(number))) {
                continue;
            }
            start(number);
        }
    }
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
    void start(int number) {
        const std::string display = ":" + std::to_string(number);
        const pid_t pid = ::fork();
        if (pid == 0) {
            std::freopen("/dev/null", "w", stdout);
            std::freopen("/dev/null", "w", stderr);
            ::execlp("Xvfb", "Xvfb", display.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
                     "tcp", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
        for (int tries = 0; tries < 100; ++tries) {
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                return;  // lost the display to someone else: try the next number
            }
            if (std::filesystem::exists(socket)) {
                pid_ = pid;
                name_ = display;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
    }

    pid_t pid_ = -1;
    std::string name_;
};

}  // namespace qcl::test
