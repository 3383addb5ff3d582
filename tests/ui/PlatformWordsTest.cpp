#include "ui/PlatformWords.h"
#include "support/TestEnv.h"

using namespace ombrel;

TEST(PlatformWords, MacNamesBecomeThisDesktopsAndOtherWordsStay) {
    const QList<std::pair<QString, QString>> cases{
        {"Your Mac said: the disk is full.", "Your computer said: the disk is full."},
        {"Show the folder in Finder", "Show the folder in Files"},
        {"Go back one step (Command-Z)", "Go back one step (Ctrl+Z)"},
        {"With several screens, Option-click to send this one.",
         "With several screens, Alt+click to send this one."},
        {"Open System Settings > Privacy & Security.", "Open Settings > Privacy & Security."},
        // A sentence that only holds on the Mac goes, with the space before it.
        {"Choose one or more pictures or videos. iCloud Drive and Photos are in the sidebar.",
         "Choose one or more pictures or videos."},
        // Services this desktop lacks leave a list of services; the sentence stays.
        {"AirDrop, Mail, Messages, Bluetooth, or save to a drive. With several screens, Option-click to "
         "share "
         "just this one.",
         "Mail, Bluetooth, or save to a drive. With several screens, Alt+click to share just this one."},
        // Words that merely contain the names stay as written.
        {"Command the Machine; use Options.", "Command the Machine; use Options."},
    };
    for (const auto& [mac, here] : cases)
        EXPECT_EQ(words(mac), here) << mac.toStdString();
}

TEST(PlatformWords, HotKeyTitlesReadAsThisDesktopWritesKeys) {
    EXPECT_EQ(keyWords("Shift-Command-2"), "Shift+Ctrl+2");
    EXPECT_EQ(keyWords("Option-Shift-S"), "Alt+Shift+S");
    EXPECT_EQ(keyWords("Control-Option-Space"), "Ctrl+Alt+Space");
    EXPECT_EQ(keyWords("Off"), "Off");
}
