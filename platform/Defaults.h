#pragma once
// The user-defaults store: the program's settings, kept with QSettings.
//
// Every key the program keeps is declared once, with its type and the value that a
// missing key means, in the table of the subsystem that owns it. Code reads and writes
// settings only through these declarations.

#include <QSettings>
#include <QString>
#include <QVariant>
#include <memory>

namespace ombrel {

struct BoolKey {
    const char* name;
    bool absent; // what a missing key means
};
struct StringKey {
    const char* name;
    const char* absent;
};
struct NumberKey {
    const char* name;
    double absent;
};

class Defaults {
  public:
    // The store in use: the native one of the running program unless a test installed another.
    static QSettings& store();
    // Points the store at a settings file (tests); an empty path returns to the native store.
    static void useFile(const QString& path);

    static bool get(const BoolKey& key);
    static void set(const BoolKey& key, bool value);
    static QString get(const StringKey& key);
    static void set(const StringKey& key, const QString& value);
    static double get(const NumberKey& key);
    static void set(const NumberKey& key, double value);
    static bool has(const char* name);
    static void remove(const char* name);
};

// The app-wide keys.
namespace Keys {
inline constexpr StringKey captureStyle{"captureStyle", "onScreen"};
inline constexpr BoolKey pasteWithoutEnter{"pasteWithoutEnter", false};
inline constexpr BoolKey noShutterEffect{"noShutterEffect", false};
inline constexpr BoolKey noPageAddress{"noPageAddress", false};
inline constexpr StringKey captureShortcut{"captureShortcut", "Shift-Command-2"};
inline constexpr StringKey noteLookChoiceV2{"noteLookChoiceV2", "list"};
inline constexpr BoolKey floatingButtonsSideBySide{"floatingButtonsSideBySide", false};
inline constexpr BoolKey hideFloatingButtons{"hideFloatingButtons", false};
inline constexpr BoolKey openAtLoginSetUp{"openAtLoginSetUp", false};
inline constexpr BoolKey recordWithoutSound{"recordWithoutSound", false};
inline constexpr BoolKey recordWithoutZoom{"recordWithoutZoom", false};
inline constexpr BoolKey crashReportsOff{"crashReportsOff", false};
inline constexpr NumberKey recentTileSize{"recentTileSize", 0};
inline constexpr StringKey recentPanelPosition{"recentPanelPosition", ""};
} // namespace Keys

} // namespace ombrel
