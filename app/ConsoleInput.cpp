#include "app/ConsoleInput.h"

#include <cstdio>
#include <istream>
#include <limits>
#include <ostream>
#include <vector>

namespace qcl {
namespace {

// printf-style filling of a prompt that holds integer conversions.
template <typename... Args>
std::string format(const std::string& pattern, Args... args) {
    const int length = std::snprintf(nullptr, 0, pattern.c_str(), args...);
    if (length <= 0) {
        return std::string();
    }
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
    std::snprintf(buffer.data(), buffer.size(), pattern.c_str(), args...);
    return std::string(buffer.data(), static_cast<std::size_t>(length));
}

}  // namespace

bool ConsoleInput::readInt(int& value) {
    if (in_ >> value) {
        return true;
    }
    if (in_.eof() || in_.bad()) {
        throw EndOfInput();
    }
    // Not a number: drop the rest of the line, so the same text is not read again and again.
    in_.clear();
    in_.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    if (in_.eof()) {
        throw EndOfInput();
    }
    return false;
}

int ConsoleInput::readIntWhere(const std::string& prompt, const std::function<bool(int)>& accepts,
                               const std::string& allowed) {
    for (;;) {
        out_ << prompt << std::flush;
        int value = 0;
        if (readInt(value) && accepts(value)) {
            return value;
        }
        out_ << allowed << std::endl;
    }
}

int ConsoleInput::readIntAtLeast(const std::string& prompt, int minimum) {
    return readIntWhere(
        format(prompt, minimum), [minimum](int value) { return value >= minimum; },
        format("Allowed: a whole number of at least %d", minimum));
}

int ConsoleInput::readIntInRange(const std::string& prompt, int maximum) {
    return readIntWhere(
        format(prompt, 0, maximum), [maximum](int value) { return value >= 0 && value <= maximum; },
        format("Allowed: a whole number from %d to %d", 0, maximum));
}

std::string ConsoleInput::readLine(const std::string& prompt) {
    out_ << prompt << std::flush;
    in_.get();  // the line end that followed the command
    std::string line;
    if (!std::getline(in_, line)) {
        throw EndOfInput();
    }
    return line;
}

char ConsoleInput::readCommand() {
    const int c = in_.get();
    if (c == std::char_traits<char>::eof()) {
        throw EndOfInput();
    }
    return static_cast<char>(c);
}

}  // namespace qcl

namespace qcl {

char ConsoleInput::readVisibleCommand() {
    for (;;) {
        const char c = readCommand();
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r') {
            return c;
        }
    }
}

}  // namespace qcl
