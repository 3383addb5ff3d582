#include "DesktopSettings.h"

#include "platform/Log.h"

#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

namespace ombrel {

namespace {

struct Opener {
    const char* desktop; // a name in XDG_CURRENT_DESKTOP, or "" for any desktop
    const char* program;
    QStringList arguments;
};

QList<Opener> openers(DesktopSettingsPage page) {
    switch (page) {
    case DesktopSettingsPage::Accessibility:
        return {{"GNOME", "gnome-control-center", {"universal-access"}},
                {"KDE", "systemsettings", {"kcm_access"}},
                {"X-Cinnamon", "cinnamon-settings", {"universal-access"}},
                {"XFCE", "xfce4-accessibility-settings", {}},
                {"MATE", "mate-at-properties", {}},
                {"", "gnome-control-center", {"universal-access"}},
                {"", "systemsettings", {"kcm_access"}}};
    case DesktopSettingsPage::Sound:
        return {{"GNOME", "gnome-control-center", {"sound"}},
                {"KDE", "systemsettings", {"kcm_pulseaudio"}},
                {"X-Cinnamon", "cinnamon-settings", {"sound"}},
                {"MATE", "mate-volume-control", {"--page=input"}},
                {"", "pavucontrol", {"--tab=4"}},
                {"", "gnome-control-center", {"sound"}},
                {"", "systemsettings", {"kcm_pulseaudio"}}};
    case DesktopSettingsPage::Privacy:
        return {{"GNOME", "gnome-control-center", {"privacy"}}, {"", "gnome-control-center", {"privacy"}}};
    }
    return {};
}

} // namespace

bool openDesktopSettings(DesktopSettingsPage page) {
    const QStringList desktops = qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'));
    // The running desktop's own program first, then any that is installed.
    for (bool ownDesktop : {true, false}) {
        for (const Opener& o : openers(page)) {
            const QString desktop = QString::fromLatin1(o.desktop);
            if (ownDesktop != !desktop.isEmpty()) continue;
            if (ownDesktop && !desktops.contains(desktop, Qt::CaseInsensitive)) continue;
            const QString program = QStandardPaths::findExecutable(QString::fromLatin1(o.program));
            if (program.isEmpty()) continue;
            if (QProcess::startDetached(program, o.arguments)) return true;
            qCWarning(logPlatform) << "Could not start" << program;
        }
    }
    return false;
}

} // namespace ombrel
