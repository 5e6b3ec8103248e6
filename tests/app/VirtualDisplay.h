// A private X display (Xvfb) for the camera view's window, and xdotool to press keys in it.
#pragma once

#include <signal.h>

#include <opencv2/core.hpp>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace qcl::test {

class VirtualDisplay {
  public:
    // Xvfb picks a free display number itself (so parallel tests never share a display) and
    // writes it once it accepts clients; the shell before it writes the process id that Xvfb
    // takes over. name() stays empty when it did not start.
    VirtualDisplay()
        : xvfb_(::popen("echo $$; exec Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp "
                        "2>/dev/null",
                        "r")) {
        char line[32];
        if (xvfb_ != nullptr && std::fgets(line, sizeof(line), xvfb_) != nullptr) {
            pid_ = std::atoi(line);
        }
        if (pid_ > 0 && std::fgets(line, sizeof(line), xvfb_) != nullptr) {
            name_ = ":" + std::to_string(std::atoi(line));
        }
    }
    ~VirtualDisplay() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
        }
        if (xvfb_ != nullptr) {
            ::pclose(xvfb_);
        }
    }
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    const std::string& name() const { return name_; }

    // Id of the window with exactly this title, waiting up to 20 s for it; empty if none came.
    std::string findWindow(const std::string& title) const {
        std::string id;
        const std::string command = "DISPLAY=" + name_ + " timeout 20 xdotool search --sync " +
                                    "--name '^" + title + "$' 2>/dev/null | head -n 1";
        if (FILE* pipe = ::popen(command.c_str(), "r")) {
            for (int c = std::fgetc(pipe); c != EOF && c != '\n'; c = std::fgetc(pipe)) {
                id += static_cast<char>(c);
            }
            ::pclose(pipe);
        }
        return id;
    }

    // Width and height of the window (0 x 0 when they cannot be told).
    cv::Size windowSize(const std::string& window) const {
        const std::string command =
            "DISPLAY=" + name_ + " xdotool getwindowgeometry --shell " + window + " 2>/dev/null";
        int width = 0;
        int height = 0;
        if (FILE* pipe = ::popen(command.c_str(), "r")) {
            char line[64];
            while (std::fgets(line, sizeof(line), pipe) != nullptr) {
                std::sscanf(line, "WIDTH=%d", &width);
                std::sscanf(line, "HEIGHT=%d", &height);
            }
            ::pclose(pipe);
        }
        return cv::Size(width, height);
    }

    // Focuses the window and presses one key (an xdotool key name such as "c" or "Escape").
    bool pressKey(const std::string& window, const std::string& key) const {
        const std::string command = "DISPLAY=" + name_ + " xdotool windowfocus --sync " + window +
                                    " key " + key + " >/dev/null 2>&1";
        return std::system(command.c_str()) == 0;
    }

  private:
    FILE* xvfb_;
    int pid_ = 0;
    std::string name_;
};

}  // namespace qcl::test
