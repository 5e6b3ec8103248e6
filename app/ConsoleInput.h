// Console input of the menu: prompted integers and lines read from a stream.
#pragma once

#include <functional>
#include <iosfwd>
#include <stdexcept>
#include <string>

namespace qcl {

// Thrown when the input ends (or breaks) while the menu waits for an answer; no answer can come
// any more, so the caller leaves instead of asking again.
class EndOfInput : public std::runtime_error {
  public:
    EndOfInput() : std::runtime_error("end of input") {}
};

class ConsoleInput {
  public:
    ConsoleInput(std::istream& in, std::ostream& out) : in_(in), out_(out) {}

    // Writes `prompt` filled by printf with `minimum`, until an integer >= minimum is entered.
    int readIntAtLeast(const std::string& prompt, int minimum);
    // Writes `prompt` filled by printf with 0 and `maximum`, until an integer in 0..maximum is
    // entered.
    int readIntInRange(const std::string& prompt, int maximum);
    // Writes `prompt` as it is until an integer that `accepts` is entered; every other answer is
    // followed by the one line `allowed` before the prompt comes again.
    int readIntWhere(const std::string& prompt, const std::function<bool(int)>& accepts,
                     const std::string& allowed);
    // Writes `prompt`, drops the line end left by the command, returns the rest of the line.
    std::string readLine(const std::string& prompt);
    // One command character, blanks and line ends included.
    char readCommand();
    // The next character that is not a blank or a line end.
    char readVisibleCommand();

  private:
    // Reads one integer; false when the next word is not one (that line is then discarded).
    bool readInt(int& value);

    std::istream& in_;
    std::ostream& out_;
};

}  // namespace qcl
