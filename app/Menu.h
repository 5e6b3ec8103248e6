// The interactive console menu: shows the settings, changes them, starts the camera view.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "app/ConsoleInput.h"
#include "app/Settings.h"

namespace qcl {

// The one-line lists of enumeration members, built once at start-up.
struct ChoiceLists {
    std::string codeTypes;
    std::string logLevels;
    std::string binaryFormats;
    // Frame sizes the menu accepts besides 0 (the camera's own), packed as width << 32 | height:
    // those the cameras list, or the common sizes when none lists any.
    std::vector<std::uint64_t> frameSizes;
};

// The lists of the enumerations and the common frame sizes.
ChoiceLists makeChoiceLists();

// How the menu was left.
enum class MenuExit {
    Saved,       // "x": the settings were written (or the attempt was reported)
    EndOfInput,  // the input ended: nothing saved, like closing the console
};

class Menu {
  public:
    using CameraView = std::function<void(Settings&)>;

    Menu(Settings& settings, const ChoiceLists& choices, std::istream& in, std::ostream& out,
         CameraView cameraView, std::string settingsFile = kSettingsFileName);

    // Shows the menu and acts on commands until "x" or the end of the input. Blanks and line
    // ends between commands are skipped; an unknown command is answered with the list of
    // commands, and the menu is shown again after every command that did something.
    MenuExit run();

    void writeMenu() const;
    void writeUsage() const;
    void writeHelp() const;

  private:
    enum class Outcome { Done, Unknown, Leave };
    Outcome act(char command);
    // Writes the current value of a setting before its prompt.
    void writeCurrent(const std::string& value) const;
    int readFrameSide(ConsoleInput& input, const std::string& prompt, bool width,
                      int current) const;

    Settings& settings_;
    const ChoiceLists& choices_;
    std::istream& in_;
    std::ostream& out_;
    CameraView cameraView_;
    std::string settingsFile_;
};

// Usage text of the command-line options.
void writeUsage(std::ostream& out, const ChoiceLists& choices);

// The launch string as the menu line shows it: whole up to 50 characters, else cut with "...".
std::string shortLaunchString(const std::string& launch);

}  // namespace qcl
