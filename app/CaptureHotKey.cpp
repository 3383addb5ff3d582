#include "CaptureHotKey.h"

#include "platform/Defaults.h"
#include "platform/Log.h"
#include "platform/Platform.h"
#include "ui/PlatformWords.h"

#include <QHash>

namespace ombrel {

namespace {

// Modifier bits of the classic event-manager encoding.
constexpr int commandBit = 0x100, shiftBit = 0x200, optionBit = 0x800, controlBit = 0x1000;

// Key codes of the classic encoding (a US keyboard's letters, digits and the space bar).
const QHash<int, Qt::Key>& classicKeys() {
    static const QHash<int, Qt::Key> keys{
        {0, Qt::Key_A},  {11, Qt::Key_B},    {8, Qt::Key_C},  {2, Qt::Key_D},  {14, Qt::Key_E},
        {3, Qt::Key_F},  {5, Qt::Key_G},     {4, Qt::Key_H},  {34, Qt::Key_I}, {38, Qt::Key_J},
        {40, Qt::Key_K}, {37, Qt::Key_L},    {46, Qt::Key_M}, {45, Qt::Key_N}, {31, Qt::Key_O},
        {35, Qt::Key_P}, {12, Qt::Key_Q},    {15, Qt::Key_R}, {1, Qt::Key_S},  {17, Qt::Key_T},
        {32, Qt::Key_U}, {9, Qt::Key_V},     {13, Qt::Key_W}, {7, Qt::Key_X},  {16, Qt::Key_Y},
        {6, Qt::Key_Z},  {29, Qt::Key_0},    {18, Qt::Key_1}, {19, Qt::Key_2}, {20, Qt::Key_3},
        {21, Qt::Key_4}, {23, Qt::Key_5},    {22, Qt::Key_6}, {26, Qt::Key_7}, {28, Qt::Key_8},
        {25, Qt::Key_9}, {49, Qt::Key_Space}};
    return keys;
}

std::function<void()>& action() {
    static std::function<void()> act;
    return act;
}

QMetaObject::Connection& listening() {
    static QMetaObject::Connection connection;
    return connection;
}

const HotKeyChoice* choiceNamed(const QString& name) {
    for (const HotKeyChoice& c : hotKeyChoices())
        if (name == QLatin1String(c.name)) return &c;
    return nullptr;
}

} // namespace

std::optional<QKeyCombination> CaptureHotKey::combination(const HotKeyChoice& choice) {
    if (choice.keyCode == 0 && choice.modifiers == 0) return std::nullopt; // "Off"
    const auto key = classicKeys().constFind(choice.keyCode);
    if (key == classicKeys().constEnd()) return std::nullopt;
    Qt::KeyboardModifiers modifiers;
    if (choice.modifiers & (commandBit | controlBit)) modifiers |= Qt::ControlModifier;
    if (choice.modifiers & shiftBit) modifiers |= Qt::ShiftModifier;
    if (choice.modifiers & optionBit) modifiers |= Qt::AltModifier;
    return QKeyCombination(modifiers, *key);
}

QString CaptureHotKey::currentName() {
    const QString stored = Defaults::get(Keys::captureShortcut);
    return choiceNamed(stored) ? stored : QString::fromLatin1(hotKeyChoices().first().name);
}

QString CaptureHotKey::title(const QString& name) {
    return keyWords(name);
}

std::pair<QString, QString> CaptureHotKey::takenAlert(const QString& name) {
    const QString key = title(name);
    return {QStringLiteral("%1 is taken").arg(key),
            QStringLiteral("Another program already uses %1, so it can't capture your screen. Choose another "
                           "shortcut in Settings > Capture Shortcut, or free %1 in that program.")
                .arg(key)};
}

Outcome<bool> CaptureHotKey::registerCurrent() {
    HotKeys& keys = Platform::hotKeys();
    keys.unregisterKey();
    const HotKeyChoice* choice = choiceNamed(currentName());
    const std::optional<QKeyCombination> key = choice ? combination(*choice) : std::nullopt;
    if (!key) return Outcome<bool>::ok(false); // "Off": nothing to register
    auto registered = keys.registerKey(*key);
    if (!registered)
        qCWarning(logApp) << "the capture shortcut" << currentName()
                          << "was refused:" << registered.message();
    return registered;
}

Outcome<bool> CaptureHotKey::setCurrentName(const QString& name) {
    Defaults::set(Keys::captureShortcut, name);
    return registerCurrent();
}

Outcome<bool> CaptureHotKey::start(QObject* context, std::function<void()> onPress) {
    action() = std::move(onPress);
    // One listener: a later start (another owner, another service) replaces it. The
    // service reports on the GUI thread, and the action runs there.
    QObject::disconnect(listening());
    listening() = QObject::connect(&Platform::hotKeys(), &HotKeys::pressed, context, [] {
        if (action()) action()();
    });
    return registerCurrent();
}

} // namespace ombrel
