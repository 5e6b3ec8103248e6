// The scripting mode's command line, run as the program runs it, with paths of every kind.
//
// The input is the argument list, one argument per line, up to the first NUL byte; the bytes
// after it are the content of the "@bytes" file, of every FIFO and of standard input. A line
// naming a path kind stands for a fresh path of that kind:
//   @missing  a path where nothing is      @empty      an empty file
//   @dir      a directory                  @image      a small symbol picture (PNG)
//   @fifo     a FIFO fed the content       @truncated  the first half of that picture
//   @huge     that picture followed by a hole to 4 GiB and more (a sparse file)
//   @bytes    a file of the content
// Every other line is used as it is, with each '/' made '_': the run happens in a folder of its
// own (the working directory), and nothing can be named outside it. The fixtures are made anew
// for every input, so an input that overwrites one does not change the next.
//
// Checks besides the sanitizers: the exit code is one of the four; a usage error exits 2; an
// input that is missing, a directory or empty exits 3; with --format json every input has one
// line, a JSON object naming its file. Nothing may escape the scripting mode.
//
// QUORVIEW_FUZZ_SKIP (comma-separated "directory", "huge") skips the inputs whose image files or
// settings file include such a path, for known faults that are still open. Inputs that give a FIFO
// as a file to write (log, overlay) are skipped: a FIFO nobody reads blocks its writer, as it
// should.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <streambuf>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>
#include <opencv2/imgcodecs.hpp>

#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/ScriptingOptions.h"
#include "common/Logger.h"
#include "writer/SymbolEncoder.h"
#include "writer/SymbolRenderer.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// Argument lists longer than this add nothing but time.
constexpr std::size_t kMostArguments = 16;
// Side of the symbol picture: small, so a read of it is quick.
constexpr int kImageSide = 96;
// The huge file's size: beyond what 32 bits count.
constexpr off_t kHugeBytes = (off_t{1} << 32) + 4096;

// Swallows what is written to it, from any thread.
class NullBuffer : public std::streambuf {
  protected:
    int overflow(int c) override { return c; }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

struct Sandbox {
    fs::path root;   // the run's own folder, the working directory
    fs::path paths;  // the fixtures, out of reach of any argument used as it is
    Bytes image;     // the symbol picture's PNG bytes
    bool skipDirectories = false;
    bool skipHuge = false;
};

Sandbox& sandbox() {
    static Sandbox box;
    return box;
}

void writeFile(const fs::path& path, const std::uint8_t* data, std::size_t size) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

// Feeds a FIFO from a thread of its own: the open waits for the program's reader.
class FifoFeeder {
  public:
    FifoFeeder(const fs::path& path, const Bytes& content)
        : path_(path), thread_([this, content] { feed(content); }) {}
    ~FifoFeeder() {
        // A reader of our own lets a feeder go whose FIFO the program never opened (or did not
        // read to its end): it takes what is left until the feeder is done.
        const int reader = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK);
        char sink[1 << 12];
        while (!done_) {
            if (reader < 0 || ::read(reader, sink, sizeof sink) <= 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        thread_.join();
        if (reader >= 0) {
            ::close(reader);
        }
    }

  private:
    void feed(const Bytes& content) {
        const int fd = ::open(path_.c_str(), O_WRONLY);
        for (std::size_t sent = 0; fd >= 0 && sent < content.size();) {
            const ssize_t wrote = ::write(fd, content.data() + sent, content.size() - sent);
            if (wrote <= 0) {
                break;  // the reader went away
            }
            sent += static_cast<std::size_t>(wrote);
        }
        if (fd >= 0) {
            ::close(fd);
        }
        done_ = true;
    }

    fs::path path_;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

struct Run {
    std::vector<std::string> arguments;
    std::vector<std::string> kinds;  // per argument: the path kind, or "" for a literal
    std::vector<std::unique_ptr<FifoFeeder>> feeders;
};

// The fixtures afresh, the working folder empty, standard input the content.
void prepare(const Bytes& content) {
    Sandbox& box = sandbox();
    std::error_code ignored;
    fs::remove_all(box.root, ignored);
    fs::remove_all(box.paths, ignored);
    fs::create_directories(box.root);
    fs::current_path(box.root);
    fs::create_directories(box.paths / "dir");
    writeFile(box.paths / "empty.png", nullptr, 0);
    writeFile(box.paths / "image.png", box.image.data(), box.image.size());
    writeFile(box.paths / "truncated.png", box.image.data(), box.image.size() / 2);
    writeFile(box.paths / "bytes", content.data(), content.size());
    writeFile(box.paths / "huge.png", box.image.data(), box.image.size());
    if (::truncate((box.paths / "huge.png").c_str(), kHugeBytes) != 0) {
        std::perror("huge.png");
    }
    const int input = ::open((box.paths / "bytes").c_str(), O_RDONLY);
    ::dup2(input, STDIN_FILENO);
    ::close(input);
    std::clearerr(stdin);
    std::cin.clear();
}

std::string pathOf(const std::string& kind, Run& run, const Bytes& content) {
    const fs::path& paths = sandbox().paths;
    if (kind == "@fifo") {
        const fs::path fifo = paths / ("fifo" + std::to_string(run.feeders.size()));
        if (::mkfifo(fifo.c_str(), 0600) == 0) {
            run.feeders.push_back(std::make_unique<FifoFeeder>(fifo, content));
        }
        return fifo.string();
    }
    const char* const names[][2] = {{"@missing", "missing.png"},
                                    {"@dir", "dir"},
                                    {"@empty", "empty.png"},
                                    {"@image", "image.png"},
                                    {"@truncated", "truncated.png"},
                                    {"@huge", "huge.png"},
                                    {"@bytes", "bytes"}};
    for (const auto& [token, name] : names) {
        if (kind == token) {
            return (paths / name).string();
        }
    }
    return std::string();
}

// The argument lines; the path kinds are made into paths (FIFOs start their feeders).
void buildArguments(const std::string& lines, const Bytes& content, Run& run) {
    std::istringstream stream(lines);
    for (std::string line; run.arguments.size() < kMostArguments && std::getline(stream, line);) {
        const std::string path = pathOf(line, run, content);
        run.kinds.push_back(path.empty() ? std::string() : line);
        if (path.empty()) {
            std::replace(line.begin(), line.end(), '/', '_');
        }
        run.arguments.push_back(path.empty() ? line : path);
    }
}

std::string kindOf(const Run& run, const std::string& path) {
    for (std::size_t i = 0; i < run.arguments.size(); ++i) {
        if (run.arguments[i] == path) {
            return run.kinds[i];
        }
    }
    return std::string();
}

// Whether this input is one the target leaves alone (see the top of the file).
bool skipped(const Run& run, const qcl::ScriptingOptions& options) {
    const Sandbox& box = sandbox();
    std::vector<std::string> read = options.inputs;
    read.push_back(options.settingsFile);
    for (const std::string& input : read) {
        std::error_code ignored;
        if ((box.skipDirectories && fs::is_directory(input, ignored)) ||
            (box.skipHuge && kindOf(run, input) == "@huge")) {
            return true;
        }
    }
    for (const std::string* output :
         {&options.logFile, &options.overlayFile, &options.overlayDir}) {
        if (kindOf(run, *output) == "@fifo") {
            return true;
        }
    }
    return false;
}

void check(const Run& run, const qcl::ScriptingOptions& options, int exitCode,
           const std::string& output) {
    bool unreadable = false;
    for (const std::string& input : options.inputs) {
        const std::string kind = kindOf(run, input);
        unreadable = unreadable || kind == "@missing" || kind == "@dir" || kind == "@empty";
    }
    if (exitCode < 0 || exitCode > 3 || (unreadable && exitCode != 3)) {
        __builtin_trap();
    }
    if (options.format != qcl::OutputFormat::Json) {
        return;
    }
    std::istringstream lines(output);
    std::size_t count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
        const nlohmann::json entry = nlohmann::json::parse(line, nullptr, false);
        if (!entry.is_object() || !entry.contains("file") || !entry["file"].is_string()) {
            __builtin_trap();
        }
    }
    if (count != options.inputs.size()) {
        __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::uint8_t* end = data + size;
    const std::uint8_t* nul = std::find(data, end, std::uint8_t{0});
    const std::string lines(data, nul);
    const Bytes content(nul == end ? end : nul + 1, end);
    prepare(content);
    Run run;
    buildArguments(lines, content, run);
    if (!qcl::wantsScriptingMode(run.arguments)) {
        return 0;  // the menu and the one-file decode are not this target's
    }
    qcl::ScriptingOptions options;
    bool usageError = false;
    try {
        options = qcl::parseScriptingOptions(run.arguments);
    } catch (const qcl::BadOption&) {
        usageError = true;
    }
    if (!usageError && skipped(run, options)) {
        return 0;
    }
    std::ostringstream output;
    std::streambuf* const out = std::cout.rdbuf(output.rdbuf());
    const int exitCode = qcl::runApplication(run.arguments);
    std::cout.rdbuf(out);
    run.feeders.clear();
    if (usageError) {
        if (exitCode != qcl::kExitUsage) {
            __builtin_trap();
        }
    } else if (!options.help && !options.version) {
        check(run, options, exitCode, output.str());
    }
    return 0;
}

// Makes the run's folder and the symbol picture, and quiets the program's error stream.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qcl::logger().setConsoleThreshold(qcl::LogLevel::Off);
    qcl::logger().setFileThreshold(qcl::LogLevel::Off);
    std::signal(SIGPIPE, SIG_IGN);  // a feeder whose reader left gets an error, not a signal
    static NullBuffer discard;
    std::cerr.rdbuf(&discard);
    Sandbox& box = sandbox();
    char folder[] = "/tmp/quorview-scripting-fuzz-XXXXXX";
    if (::mkdtemp(folder) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    box.root = fs::path(folder) / "run";
    box.paths = fs::path(folder) / "paths";
    fs::create_directories(box.root);
    const qcl::writer::SymbolContent content = qcl::writer::encodeSymbol("Quorel");
    qcl::RenderOptions render;
    render.imageSize = {kImageSide, kImageSide};
    const cv::Mat picture =
        qcl::SymbolRenderer(content.modulesPerRing, content.ringCount, content.codeType, render)
            .render(content.modules);
    cv::imencode(".png", picture, box.image);
    const char* skip = std::getenv("QUORVIEW_FUZZ_SKIP");
    const std::string skips = skip != nullptr ? skip : "";
    box.skipDirectories = skips.find("directory") != std::string::npos;
    box.skipHuge = skips.find("huge") != std::string::npos;
    static const std::string top = folder;
    std::atexit([] {
        std::error_code ignored;
        fs::remove_all(top, ignored);
    });
    return 0;
}
