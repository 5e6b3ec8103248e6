// The interactive console menu: shows the settings, changes them, starts the camera view.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>

#include "app/Settings.h"

namespace qcl {

// The one-line lists of enumeration members, built once at start-up.
struct ChoiceLists {
    std::string codeTypes;
    std::string logLevels;
    std::string binaryFormats;
};

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

    // Shows the menu and acts on commands until "x" or the end of the input.
    MenuExit run();

    void writeMenu() const;
    void writeUsage() const;
    void writeHelp() const;

  private:
    // Returns false when the command ends the menu.
    bool act(char command);

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
