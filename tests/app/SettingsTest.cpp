// The settings file: defaults, missing keys, the stored form, round trips and malformed files.
#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "app/Settings.h"
#include "support/LogCapture.h"
#include "support/ProgramRunner.h"

namespace qcl {
namespace {

using test::LogCapture;
using test::TempDir;

std::string settingsPath(const TempDir& dir) {
    return (dir / kSettingsFileName).string();
}

auto fields(const Settings& s) {
    return std::make_tuple(s.logFileName, s.launch, s.logLevel, s.logLevelConsole, s.codeType,
                           s.device, s.mode, s.width, s.height, s.backend, s.binFormat);
}

TEST(SettingsTest, MissingFileWarnsAndKeepsTheInMemoryDefaults) {
    TempDir dir;
    LogCapture log;
    Settings settings;
    EXPECT_FALSE(readSettings(settings, settingsPath(dir)));
    EXPECT_EQ(log.text(), "Warning\tSettings not found!\n");
    EXPECT_EQ(fields(settings),
              fields({"log.txt", "", LogLevel::Info, LogLevel::Info, CodeType::BlackAndWhite, 0, -1,
                      0, 0, 0, BinaryFormat::Binary}));
}

TEST(SettingsTest, FileWithOnlyCodeTypeGivesMissingKeyValues) {
    TempDir dir;
    dir.write(kSettingsFileName, "{\n    \"codeType\": \"Color\"\n}\n");
    LogCapture log;
    Settings settings({"x.log", "something", LogLevel::Off, LogLevel::Off, CodeType::BlackAndWhite,
                       3, 3, 3, 3, 3, BinaryFormat::HexaLowerCase});
    EXPECT_TRUE(readSettings(settings, settingsPath(dir)));
    EXPECT_EQ(log.text(), "");  // "Read settings" is a Debug line
    // A missing mode is 0, not the in-memory -1; a missing log file name is empty.
    EXPECT_EQ(fields(settings), fields({"", "", LogLevel::Info, LogLevel::Info, CodeType::Color, 0,
                                        0, 0, 0, 0, BinaryFormat::Binary}));
}

TEST(SettingsTest, SaveAndReadGiveBackEveryField) {
    TempDir dir;
    // Texts that begin like a JSON structure stay texts (a fuzz find).
    const Settings saved({"{my log}.txt",
                          "[filesrc location=\"a b.avi\" ! decodebin ! appsink 'x' \\ end",
                          LogLevel::Off, LogLevel::Debug, CodeType::Color, 4, -1, 1280, 720, 200,
                          BinaryFormat::HexaUpperCase});
    {
        LogCapture log(LogLevel::Info);
        ASSERT_TRUE(saveSettings(saved, settingsPath(dir)));
        EXPECT_EQ(log.text(), "Info\tSettings have been saved.\n");
    }
    Settings read;
    read.mode = 5;  // the -1 read must come from the file
    LogCapture log;
    ASSERT_TRUE(readSettings(read, settingsPath(dir)));
    EXPECT_EQ(fields(read), fields(saved));
}

TEST(SettingsTest, StoredFormHasTheMembersInOrderByNameOrEmptyName) {
    TempDir dir;
    Settings settings;
    settings.codeType = static_cast<CodeType>(5);  // outside its table: no name
    LogCapture log;
    ASSERT_TRUE(saveSettings(settings, settingsPath(dir)));
    const std::string text = dir.read(kSettingsFileName);
    std::size_t previous = 0;
    for (const char* key :
         {"\"logLevel\": \"Info\"", "\"logLevelConsole\": \"Info\"", "\"logFileName\": \"log.txt\"",
          "\"codeType\": \"\"", "\"device\": 0", "\"mode\": -1", "\"width\": 0", "\"height\": 0",
          "\"backend\": 0", "\"launch\": \"\"", "\"binFormat\": \"Binary\""}) {
        const std::size_t at = text.find(key);
        ASSERT_NE(at, std::string::npos) << key << " in " << text;
        EXPECT_GE(at, previous) << key;
        previous = at;
    }
}

TEST(SettingsTest, MalformedFileReportsTheErrorAndKeepsValues) {
    TempDir dir;
    dir.write(kSettingsFileName, "{ \"codeType\": ");
    LogCapture log;
    Settings settings;
    settings.device = 9;
    EXPECT_FALSE(readSettings(settings, settingsPath(dir)));
    EXPECT_EQ(settings.device, 9);
    EXPECT_EQ(log.text().rfind("Error\tError: ", 0), 0U) << log.text();
    EXPECT_TRUE(log.contains("Warning\tSettings have not been read.\n"));
}

// A save that cannot complete leaves what was there before, reports why and leaves no
// temporary file behind.
TEST(SettingsTest, FailingSaveLeavesThePreviousFileAndReportsIt) {
    struct Case {
        const char* blockedName;  // made a non-empty directory before the save
        bool targetIsFile;        // the previous settings file exists beside it
        const char* error;
    };
    const Case cases[] = {
        {"decoder_settings.json.tmp", true, "Error\tSettings file cannot be opened for writing!\n"},
        {"decoder_settings.json", false, "Error\tSettings file cannot be replaced: "},
    };
    const std::string previous = "{\n    \"device\": 7\n}\n";
    for (const Case& c : cases) {
        TempDir dir;
        if (c.targetIsFile) {
            dir.write(kSettingsFileName, previous);
        }
        std::filesystem::create_directory(dir / c.blockedName);
        dir.write(std::string(c.blockedName) + "/inside", "x");
        LogCapture log;
        EXPECT_FALSE(saveSettings(Settings(), settingsPath(dir))) << c.blockedName;
        EXPECT_EQ(log.text().rfind(c.error, 0), 0U) << log.text();
        EXPECT_TRUE(log.contains("Warning\tSettings have not been saved.\n")) << log.text();
        if (c.targetIsFile) {
            EXPECT_EQ(dir.read(kSettingsFileName), previous);
        } else {
            EXPECT_TRUE(std::filesystem::is_directory(dir / kSettingsFileName));
            EXPECT_FALSE(std::filesystem::exists(settingsPath(dir) + ".tmp"));
        }
    }
}

}  // namespace
}  // namespace qcl
