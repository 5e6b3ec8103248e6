// The settings file: defaults, missing keys, misspelt names, round trips and unwritable places.
#include <gtest/gtest.h>

#include "ProgramRunner.h"
#include "app/Settings.h"
#include "support/LogCapture.h"

namespace qcl {
namespace {

using test::LogCapture;
using test::TempDir;

std::string settingsPath(const TempDir& dir) {
    return (dir / kSettingsFileName).string();
}

TEST(SettingsTest, DefaultsInMemoryAreTheDocumentedOnes) {
    const Settings settings;
    EXPECT_EQ(settings.logFileName, "log.txt");
    EXPECT_EQ(settings.launch, "");
    EXPECT_EQ(settings.logLevel, LogLevel::Info);
    EXPECT_EQ(settings.logLevelConsole, LogLevel::Info);
    EXPECT_EQ(settings.codeType, CodeType::BlackAndWhite);
    EXPECT_EQ(settings.device, 0);
    EXPECT_EQ(settings.mode, -1);
    EXPECT_EQ(settings.width, 0);
    EXPECT_EQ(settings.height, 0);
    EXPECT_EQ(settings.backend, 0);
    EXPECT_EQ(settings.binFormat, BinaryFormat::Binary);
}

TEST(SettingsTest, MissingFileWarnsAndKeepsDefaults) {
    TempDir dir;
    LogCapture log;
    Settings settings;
    settings.mode = 7;
    EXPECT_FALSE(readSettings(settings, settingsPath(dir)));
    EXPECT_EQ(log.text(), "Warning\tSettings not found!\n");
    EXPECT_EQ(settings.mode, 7);
}

TEST(SettingsTest, FileWithOnlyCodeTypeGivesMissingKeyValues) {
    TempDir dir;
    dir.write(kSettingsFileName, "{\n    \"codeType\": \"Color\"\n}\n");
    LogCapture log;
    Settings settings;
    settings.launch = "something";
    settings.device = 3;
    EXPECT_TRUE(readSettings(settings, settingsPath(dir)));
    EXPECT_EQ(log.text(), "");  // "Read settings" is a Debug line
    EXPECT_EQ(settings.codeType, CodeType::Color);
    EXPECT_EQ(settings.logLevel, LogLevel::Info);
    EXPECT_EQ(settings.logLevelConsole, LogLevel::Info);
    EXPECT_EQ(settings.logFileName, "");
    EXPECT_EQ(settings.launch, "");
    EXPECT_EQ(settings.device, 0);
    EXPECT_EQ(settings.mode, 0);  // a missing mode is 0, not the in-memory -1
    EXPECT_EQ(settings.width, 0);
    EXPECT_EQ(settings.height, 0);
    EXPECT_EQ(settings.backend, 0);
    EXPECT_EQ(settings.binFormat, BinaryFormat::Binary);
}

TEST(SettingsTest, MisspeltNamesFallBackWithWarnings) {
    TempDir dir;
    dir.write(kSettingsFileName,
              "{ \"codeType\": \"color\", \"binFormat\": \"Hexa\", \"logLevel\": \"Trace\" }");
    LogCapture log;
    Settings settings;
    EXPECT_TRUE(readSettings(settings, settingsPath(dir)));
    EXPECT_EQ(settings.codeType, CodeType::BlackAndWhite);
    EXPECT_EQ(settings.binFormat, BinaryFormat::Binary);
    EXPECT_EQ(settings.logLevel, LogLevel::Info);
    EXPECT_EQ(log.text(),
              "Warning\tWrong CodeType: changed to BlackAndWhite\n"
              "Warning\tWrong BinaryFormat: changed to Binary\n");
}

TEST(SettingsTest, SaveAndReadGiveBackEveryField) {
    TempDir dir;
    Settings saved;
    saved.logFileName = "my log.txt";
    saved.launch = "filesrc location=\"a b.avi\" ! decodebin ! appsink 'x' \\ end";
    saved.logLevel = LogLevel::Off;
    saved.logLevelConsole = LogLevel::Debug;
    saved.codeType = CodeType::Color;
    saved.device = 4;
    saved.mode = -1;
    saved.width = 1280;
    saved.height = 720;
    saved.backend = 200;
    saved.binFormat = BinaryFormat::HexaUpperCase;
    {
        LogCapture log(LogLevel::Info);
        ASSERT_TRUE(saveSettings(saved, settingsPath(dir)));
        EXPECT_EQ(log.text(), "Info\tSettings have been saved.\n");
    }
    Settings read;
    read.mode = 5;
    LogCapture log;
    ASSERT_TRUE(readSettings(read, settingsPath(dir)));
    EXPECT_EQ(read.logFileName, saved.logFileName);
    EXPECT_EQ(read.launch, saved.launch);
    EXPECT_EQ(read.logLevel, saved.logLevel);
    EXPECT_EQ(read.logLevelConsole, saved.logLevelConsole);
    EXPECT_EQ(read.codeType, saved.codeType);
    EXPECT_EQ(read.device, saved.device);
    EXPECT_EQ(read.mode, -1);
    EXPECT_EQ(read.width, saved.width);
    EXPECT_EQ(read.height, saved.height);
    EXPECT_EQ(read.backend, saved.backend);
    EXPECT_EQ(read.binFormat, saved.binFormat);
}

TEST(SettingsTest, StoredFormHasTheMembersInOrderAndByName) {
    TempDir dir;
    Settings settings;
    settings.codeType = CodeType::Color;
    LogCapture log;
    ASSERT_TRUE(saveSettings(settings, settingsPath(dir)));
    const std::string text = dir.read(kSettingsFileName);
    const char* keys[] = {"\"logLevel\": \"Info\"",
                          "\"logLevelConsole\": \"Info\"",
                          "\"logFileName\": \"log.txt\"",
                          "\"codeType\": \"Color\"",
                          "\"device\": 0",
                          "\"mode\": -1",
                          "\"width\": 0",
                          "\"height\": 0",
                          "\"backend\": 0",
                          "\"launch\": \"\"",
                          "\"binFormat\": \"Binary\""};
    std::size_t previous = 0;
    for (const char* key : keys) {
        const std::size_t at = text.find(key);
        ASSERT_NE(at, std::string::npos) << key << " in " << text;
        EXPECT_GE(at, previous) << key;
        previous = at;
    }
}

TEST(SettingsTest, ValueOutsideItsTableIsSavedAsEmptyName) {
    TempDir dir;
    Settings settings;
    settings.codeType = static_cast<CodeType>(5);
    LogCapture log;
    ASSERT_TRUE(saveSettings(settings, settingsPath(dir)));
    EXPECT_NE(dir.read(kSettingsFileName).find("\"codeType\": \"\""), std::string::npos);
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
    EXPECT_NE(log.text().find("Warning\tSettings have not been read.\n"), std::string::npos);
}

TEST(SettingsTest, UnwritablePlaceIsReportedNotThrown) {
    TempDir dir;
    const std::string path = (dir / "missing-directory" / kSettingsFileName).string();
    LogCapture log;
    EXPECT_FALSE(saveSettings(Settings{}, path));
    EXPECT_EQ(log.text(),
              "Error\tSettings file cannot be opened for writing!\n"
              "Warning\tSettings have not been saved.\n");
}

}  // namespace
}  // namespace qcl
