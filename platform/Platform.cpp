#include "Platform.h"
#include "Notifier.h"

#include <QtGlobal>

namespace ombrel {

namespace {
PlatformServices& installed() {
    static PlatformServices services;
    return services;
}

template <class T> T& need(const std::unique_ptr<T>& p, const char* what) {
    if (!p) qFatal("The platform service %s is used before start-up installed it", what);
    return *p;
}

template <class T> void keepOrReplace(std::unique_ptr<T>& mine, std::unique_ptr<T>& given) {
    if (given) mine = std::move(given);
}
} // namespace

Notifier& Notifier::instance() {
    static Notifier notifier;
    return notifier;
}

void Platform::install(PlatformServices s) {
    auto& p = installed();
    keepOrReplace(p.screens, s.screens);
    keepOrReplace(p.windows, s.windows);
    keepOrReplace(p.pasteboard, s.pasteboard);
    keepOrReplace(p.sounds, s.sounds);
    keepOrReplace(p.trash, s.trash);
    keepOrReplace(p.loginItem, s.loginItem);
    keepOrReplace(p.workspace, s.workspace);
    keepOrReplace(p.access, s.access);
    keepOrReplace(p.accessibility, s.accessibility);
    keepOrReplace(p.accessibleTree, s.accessibleTree);
    keepOrReplace(p.keys, s.keys);
    keepOrReplace(p.recording, s.recording);
    keepOrReplace(p.vision, s.vision);
    keepOrReplace(p.sharing, s.sharing);
    keepOrReplace(p.hotKeys, s.hotKeys);
    keepOrReplace(p.spelling, s.spelling);
    keepOrReplace(p.languageModel, s.languageModel);
    keepOrReplace(p.speech, s.speech);
}

void Platform::uninstall() {
    installed() = PlatformServices{};
}
bool Platform::isInstalled() {
    return installed().screens && installed().windows;
}

ScreenGrabber& Platform::screens() {
    return need(installed().screens, "screens");
}
WindowSystem& Platform::windows() {
    return need(installed().windows, "windows");
}
Pasteboard& Platform::pasteboard() {
    return need(installed().pasteboard, "pasteboard");
}
Sounds& Platform::sounds() {
    return need(installed().sounds, "sounds");
}
Trash& Platform::trash() {
    return need(installed().trash, "trash");
}
LoginItem& Platform::loginItem() {
    return need(installed().loginItem, "loginItem");
}
Workspace& Platform::workspace() {
    return need(installed().workspace, "workspace");
}
Access& Platform::access() {
    return need(installed().access, "access");
}
Accessibility& Platform::accessibility() {
    return need(installed().accessibility, "accessibility");
}
AccessibleTree& Platform::accessibleTree() {
    return need(installed().accessibleTree, "accessibleTree");
}
SyntheticKeys& Platform::keys() {
    return need(installed().keys, "keys");
}
RecordingSources& Platform::recording() {
    return need(installed().recording, "recording");
}
Vision& Platform::vision() {
    return need(installed().vision, "vision");
}
Sharing& Platform::sharing() {
    return need(installed().sharing, "sharing");
}
HotKeys& Platform::hotKeys() {
    return need(installed().hotKeys, "hotKeys");
}

Spelling& Platform::spelling() {
    return need(installed().spelling, "spelling");
}
LanguageModel& Platform::languageModel() {
    return need(installed().languageModel, "languageModel");
}

Speech& Platform::speech() {
    return need(installed().speech, "speech");
}

} // namespace ombrel
