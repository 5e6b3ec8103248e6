// Runs a built program (Quorview unless told otherwise) as a child process in a working
// directory of its own.
#pragma once

#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace qcl::test {

namespace fs = std::filesystem;

// The program a run starts unless it names another: Quorview, where the test program knows it.
#ifdef QUORVIEW_BINARY
inline const std::string kProgram = QUORVIEW_BINARY;
#else
inline const std::string kProgram;
#endif

// How long a program may run before it is taken for hung: a minute, ten under a sanitizer, whose
// builds run many times slower (a failed search of a whole image takes most of a minute there).
#ifdef QUORVIEW_SANITIZED_TESTS
constexpr int kProgramLimitSeconds = 600;
#else
constexpr int kProgramLimitSeconds = 60;
#endif

inline int occurrences(const std::string& text, const std::string& part) {
    int count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

inline bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
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
        std::ostringstream text;
        text << std::ifstream(path_ / name, std::ios::binary).rdbuf();
        return text.str();
    }

  private:
    fs::path path_;
};

// `word` as one word of a shell command.
inline std::string quoted(const std::string& word) {
    std::string text = "'";
    for (const char c : word) {
        text += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return text + "'";
}

// The program, started through the shell: standard input is a pipe that the test writes to,
// output and error streams go to files that the test reads while it runs. `environment` holds
// NAME=value settings for the program only. A program still running after kProgramLimitSeconds
// is taken for hung and killed.
class RunningProgram {
  public:
    RunningProgram(const fs::path& workingDirectory, const std::vector<std::string>& arguments,
                   const std::vector<std::string>& environment = {},
                   const std::string& program = kProgram) {
        std::string command = "cd " + quoted(workingDirectory) + " && exec timeout -s KILL " +
                              std::to_string(kProgramLimitSeconds) + " env";
        for (const std::string& word : environment) {
            command += " " + quoted(word);
        }
        command += " " + quoted(program);
        for (const std::string& word : arguments) {
            command += " " + quoted(word);
        }
        command += " >" + quoted(streams_ / "out") + " 2>" + quoted(streams_ / "err");
        ::signal(SIGPIPE, SIG_IGN);
        input_ = ::popen(command.c_str(), "w");
    }
    ~RunningProgram() { wait(); }
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    void send(const std::string& text) {
        if (input_ != nullptr) {
            std::fwrite(text.data(), 1, text.size(), input_);  // image bytes hold NULs
            std::fflush(input_);
        }
    }
    std::string output() const { return streams_.read("out"); }
    std::string errors() const { return streams_.read("err"); }

    // Waits until standard output holds `text` at least `count` times.
    bool waitForOutput(const std::string& text, std::chrono::seconds timeout, int count = 1) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (occurrences(output(), text) < count) {
            if (std::chrono::steady_clock::now() > end) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }

    // Ends the input and waits for the program's end; its exit code (137 when it was killed).
    int wait() {
        const int status = input_ != nullptr ? ::pclose(input_) : -1;
        input_ = nullptr;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

  private:
    TempDir streams_;
    FILE* input_ = nullptr;
};

// Environment for runs that open the capture library: its backends load system libraries
// (GStreamer plugins, the GUI toolkit) that leave allocations behind at exit, which a
// leak-checking sanitizer build would report as the program's failure.
inline std::vector<std::string> captureEnvironment() {
    const char* current = std::getenv("ASAN_OPTIONS");
    return {"ASAN_OPTIONS=" + std::string(current != nullptr ? current : "") + ":detect_leaks=0"};
}

struct ProgramResult {
    int exitCode;
    std::string output;
    std::string errors;
};

// Runs the program to its end with `input` as its whole standard input.
inline ProgramResult runProgram(const fs::path& workingDirectory,
                                const std::vector<std::string>& arguments,
                                const std::string& input = std::string(),
                                const std::vector<std::string>& environment = {},
                                const std::string& programFile = kProgram) {
    RunningProgram program(workingDirectory, arguments, environment, programFile);
    program.send(input);
    const int exitCode = program.wait();
    return {exitCode, program.output(), program.errors()};
}

}  // namespace qcl::test
