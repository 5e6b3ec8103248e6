#include "app/Settings.h"

#include <opencv2/core/persistence.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>

#include "common/Logger.h"

namespace qcl {

const char* const kSettingsFileName = "decoder_settings.json";

namespace {

// The storage facility picks its format from a name's ending; in memory only the ending counts.
constexpr const char* kStoredFormat = ".json";
// The temporary file written beside the settings file before it replaces it.
constexpr const char* kTemporarySuffix = ".tmp";

bool fileExists(const std::string& fileName) {
    std::ifstream probe(fileName);
    return probe.good();
}

// Reads the keys in their stored order, each straight into its field, so that an error part-way
// leaves the keys before it read.
void readKeys(const cv::FileStorage& fs, Settings& settings) {
    settings.logLevel = readLogLevel(fs["logLevel"]);
    settings.logLevelConsole = readLogLevel(fs["logLevelConsole"]);
    fs["logFileName"] >> settings.logFileName;
    settings.codeType = readCodeType(fs["codeType"]);
    fs["device"] >> settings.device;
    fs["mode"] >> settings.mode;
    fs["width"] >> settings.width;
    fs["height"] >> settings.height;
    fs["backend"] >> settings.backend;
    fs["launch"] >> settings.launch;
    settings.binFormat = readBinaryFormat(fs["binFormat"]);
    // Stored as 0 or 1; a file without the key keeps printing every read.
    int changesOnly = 0;
    fs["outputChangesOnly"] >> changesOnly;
    settings.outputChangesOnly = changesOnly != 0;
}

void writeKeys(cv::FileStorage& fs, const Settings& settings) {
    writeName(fs, "logLevel", settings.logLevel);
    writeName(fs, "logLevelConsole", settings.logLevelConsole);
    // Texts through cv::write: the stream operator would open a structure for a text that
    // begins with "[" or "{" and lose it.
    cv::write(fs, "logFileName", settings.logFileName);
    writeName(fs, "codeType", settings.codeType);
    fs << "device" << settings.device;
    fs << "mode" << settings.mode;
    fs << "width" << settings.width;
    fs << "height" << settings.height;
    fs << "backend" << settings.backend;
    cv::write(fs, "launch", settings.launch);
    writeName(fs, "binFormat", settings.binFormat);
    fs << "outputChangesOnly" << (settings.outputChangesOnly ? 1 : 0);
}

// The stored form, built in memory so that the file is touched only once the text is whole.
std::string settingsText(const Settings& settings) {
    cv::FileStorage fs(kStoredFormat, cv::FileStorage::WRITE | cv::FileStorage::MEMORY);
    writeKeys(fs, settings);
    return fs.releaseAndGetString();
}

// Writes the text to a temporary file beside the target, then renames it over the target: a
// failing or interrupted write leaves the previous file as it was. Reports each failure.
bool replaceFile(const std::string& fileName, const std::string& text) {
    const std::string temporary = fileName + kTemporarySuffix;
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out.is_open()) {
            logError() << "Settings file cannot be opened for writing!";
            return false;
        }
        out << text;
        out.flush();
        out.close();
        if (out.fail()) {
            logError() << "Settings file cannot be written!";
            std::remove(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), fileName.c_str()) != 0) {
        logError() << "Settings file cannot be replaced: " << std::strerror(errno);
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace

bool readSettings(Settings& settings, const std::string& fileName) {
    if (!fileExists(fileName)) {
        logWarning() << "Settings not found!";
        return false;
    }
    bool complete = false;
    try {
        cv::FileStorage fs(fileName, cv::FileStorage::READ);
        if (!fs.isOpened()) {
            logError() << "Settings file cannot be opened for reading!";
        } else {
            readKeys(fs, settings);
            complete = true;
        }
        fs.release();
    } catch (const std::exception& e) {
        logError() << "Error: " << e.what();
        complete = false;
    }
    if (complete) {
        logDebug() << "Read settings";
    } else {
        logWarning() << "Settings have not been read.";
    }
    return complete;
}

bool saveSettings(const Settings& settings, const std::string& fileName) {
    bool saved = false;
    try {
        saved = replaceFile(fileName, settingsText(settings));
    } catch (const std::exception& e) {
        logError() << "Error: " << e.what();
        saved = false;
    }
    if (saved) {
        logInfo() << "Settings have been saved.";
    } else {
        logWarning() << "Settings have not been saved.";
    }
    return saved;
}

}  // namespace qcl
