#include "app/Settings.h"

#include <opencv2/core/persistence.hpp>

#include <exception>
#include <fstream>

#include "common/Logger.h"

namespace qcl {

const char* const kSettingsFileName = "decoder_settings.json";

namespace {

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
    fs << "logFileName" << settings.logFileName;
    writeName(fs, "codeType", settings.codeType);
    fs << "device" << settings.device;
    fs << "mode" << settings.mode;
    fs << "width" << settings.width;
    fs << "height" << settings.height;
    fs << "backend" << settings.backend;
    fs << "launch" << settings.launch;
    writeName(fs, "binFormat", settings.binFormat);
    fs << "outputChangesOnly" << (settings.outputChangesOnly ? 1 : 0);
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
        cv::FileStorage fs(fileName, cv::FileStorage::WRITE);
        if (!fs.isOpened()) {
            logError() << "Settings file cannot be opened for writing!";
        } else {
            writeKeys(fs, settings);
            fs.release();
            saved = true;
        }
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
