#include "DesktopSharing.h"

#include "platform/Log.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#include <memory>

namespace ombrel {

namespace {

struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <class T> using GPtr = std::unique_ptr<T, GObjectUnref>;

QString fromUtf8(const char* text) {
    return text ? QString::fromUtf8(text) : QString();
}

// The desktop-file ids GIO lists for a content type: the default application first, then
// the others that claim the type itself (not those for some wider type such as any file).
QList<ShareApplication> applicationsForType(const QString& mimeType) {
    QList<ShareApplication> out;
    const QByteArray type = mimeType.toUtf8();
    auto add = [&out](GAppInfo* info) {
        if (!info || !g_app_info_should_show(info)) return;
        ShareApplication app{
            fromUtf8(g_app_info_get_id(info)), fromUtf8(g_app_info_get_display_name(info)), {}};
        if (app.id.isEmpty()) return;
        for (const ShareApplication& known : out)
            if (known.id == app.id) return;
        if (GIcon* icon = g_app_info_get_icon(info); icon && G_IS_THEMED_ICON(icon)) {
            const gchar* const* names = g_themed_icon_get_names(G_THEMED_ICON(icon));
            if (names && names[0]) app.iconName = QString::fromUtf8(names[0]);
        }
        out.append(app);
    };
    if (GPtr<GAppInfo> preferred{g_app_info_get_default_for_type(type.constData(), FALSE)})
        add(preferred.get());
    GList* recommended = g_app_info_get_recommended_for_type(type.constData());
    for (GList* l = recommended; l; l = l->next)
        add(G_APP_INFO(l->data));
    g_list_free_full(recommended, g_object_unref);
    return out;
}

} // namespace

DesktopSharing::DesktopSharing(QString ownDesktopId) : m_ownDesktopId(std::move(ownDesktopId)) {
    if (!m_ownDesktopId.isEmpty() && !m_ownDesktopId.endsWith(QLatin1String(".desktop")))
        m_ownDesktopId += QLatin1String(".desktop");
}

bool DesktopSharing::start(const QString& program, const QStringList& arguments) {
    // Detached: a transfer or a message being written outlives this program if it quits.
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty() || !QProcess::startDetached(path, arguments)) {
        qCWarning(logPlatform) << "could not start" << program;
        return false;
    }
    return true;
}

bool DesktopSharing::canMail() {
    // xdg-email hands the message to the desktop's mail program, which is whatever
    // application handles mailto: links; without one it has nothing to open.
    if (QStandardPaths::findExecutable(QStringLiteral("xdg-email")).isEmpty()) return false;
    GPtr<GAppInfo> mailer{g_app_info_get_default_for_uri_scheme("mailto")};
    return mailer != nullptr;
}

QStringList DesktopSharing::mailArguments(const QStringList& files) {
    QStringList args;
    for (const QString& file : files)
        args << QStringLiteral("--attach") << QFileInfo(file).absoluteFilePath();
    return args;
}

bool DesktopSharing::mail(const QStringList& files) {
    return start(QStringLiteral("xdg-email"), mailArguments(files));
}

bool DesktopSharing::canSendByBluetooth() {
    return !QStandardPaths::findExecutable(QStringLiteral("bluetooth-sendto")).isEmpty();
}

bool DesktopSharing::sendByBluetooth(const QStringList& files) {
    QStringList args;
    for (const QString& file : files)
        args << QFileInfo(file).absoluteFilePath();
    return start(QStringLiteral("bluetooth-sendto"), args);
}

QList<ShareApplication> DesktopSharing::applicationsFor(const QStringList& files) {
    if (files.isEmpty()) return {};
    const QMimeDatabase mimes;
    QStringList types;
    for (const QString& file : files) {
        // By the name alone: the menu asks about every file of a set without reading any.
        const QString type = mimes.mimeTypeForFile(file, QMimeDatabase::MatchExtension).name();
        if (!types.contains(type)) types << type;
    }
    // Those of the first type that every other type lists too, in the first type's order.
    QList<ShareApplication> apps = applicationsForType(types.first());
    for (qsizetype i = 1; i < types.size() && !apps.isEmpty(); ++i) {
        const QList<ShareApplication> others = applicationsForType(types[i]);
        apps.removeIf([&others](const ShareApplication& app) {
            return std::none_of(others.begin(), others.end(),
                                [&app](const ShareApplication& o) { return o.id == app.id; });
        });
    }
    apps.removeIf([this](const ShareApplication& app) { return app.id == m_ownDesktopId; });
    return apps;
}

bool DesktopSharing::openWith(const QString& applicationId, const QStringList& files) {
    GPtr<GDesktopAppInfo> app{g_desktop_app_info_new(applicationId.toUtf8().constData())};
    if (!app) {
        qCWarning(logPlatform) << "no application" << applicationId;
        return false;
    }
    GList* list = nullptr;
    for (const QString& file : files)
        list =
            g_list_append(list, g_file_new_for_path(QFile::encodeName(QFileInfo(file).absoluteFilePath())));
    GError* error = nullptr;
    const bool launched = g_app_info_launch(G_APP_INFO(app.get()), list, nullptr, &error);
    g_list_free_full(list, g_object_unref);
    if (!launched) {
        qCWarning(logPlatform) << "could not open the files with" << applicationId << ":"
                               << (error ? error->message : "");
        g_clear_error(&error);
    }
    return launched;
}

void DesktopSharing::chooseFolder(const QString& title, const QString& acceptLabel,
                                  std::function<void(std::optional<QString>)> done) {
    auto* panel = new QFileDialog(nullptr, title, QDir::homePath());
    panel->setFileMode(QFileDialog::Directory);
    panel->setOption(QFileDialog::ShowDirsOnly);
    panel->setLabelText(QFileDialog::Accept, acceptLabel);
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setWindowModality(Qt::ApplicationModal);
    QObject::connect(panel, &QFileDialog::finished, panel, [panel, done = std::move(done)](int result) {
        const QStringList chosen = panel->selectedFiles();
        if (result == QDialog::Accepted && !chosen.isEmpty())
            done(chosen.first());
        else
            done(std::nullopt);
    });
    panel->show();
    panel->raise();
    panel->activateWindow();
}

} // namespace ombrel
