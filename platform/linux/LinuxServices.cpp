#include "LinuxServices.h"
#include "AtspiAccessibility.h"
#include "AtspiTree.h"
#include "DesktopSharing.h"
#include "HunspellSpelling.h"
#include "LocalChatModel.h"
#include "OpenCvVision.h"
#include "SphinxSpeech.h"
#include "X11HotKeys.h"
#include "X11Recording.h"
#include "X11Screens.h"
#include "X11Windows.h"
#include "XTestKeys.h"

#include "platform/Defaults.h"
#include "platform/Log.h"
#include "platform/Platform.h"
#include "platform/PrivateFiles.h"

#include <QBuffer>
#include <QClipboard>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <canberra.h>
#include <cmath>
#include <gio/gio.h>

namespace ombrel {

// ---- clipboard ----

void QtPasteboard::putPng(const QByteArray& png) {
    auto* data = new QMimeData;
    data->setData(QStringLiteral("image/png"), png);
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setMimeData(data);
}

bool QtPasteboard::putFiles(const QList<QUrl>& files) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    if (files.isEmpty()) return false;
    auto* data = new QMimeData;
    data->setUrls(files);
    // File managers paste "copy\nfile:///…" from this format.
    QByteArray gnome = "copy";
    for (const QUrl& url : files)
        gnome += '\n' + url.toEncoded();
    data->setData(QStringLiteral("x-special/gnome-copied-files"), gnome);
    clipboard->setMimeData(data);
    return true;
}

QImage QtPasteboard::image() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data) return {};
    if (data->hasImage()) {
        const QImage image = qvariant_cast<QImage>(data->imageData());
        if (!image.isNull()) return image;
    }
    for (const QString& format :
         {QStringLiteral("image/png"), QStringLiteral("image/jpeg"), QStringLiteral("image/bmp")}) {
        if (data->hasFormat(format)) {
            const QImage image = QImage::fromData(data->data(format));
            if (!image.isNull()) return image;
        }
    }
    const QList<QUrl> urls = data->urls();
    if (urls.size() == 1 && urls.first().isLocalFile()) return QImage(urls.first().toLocalFile());
    return {};
}

QByteArray QtPasteboard::png() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data ? data->data(QStringLiteral("image/png")) : QByteArray();
}

QList<QUrl> QtPasteboard::files() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data ? data->urls() : QList<QUrl>();
}

// ---- sounds ----

CanberraSounds::CanberraSounds() {
    if (ca_context_create(&m_context) != CA_SUCCESS) {
        m_context = nullptr;
        return;
    }
    ca_context_change_props(m_context, CA_PROP_APPLICATION_NAME, "Ombrel Capture", CA_PROP_APPLICATION_ID,
                            "com.ombrel.capture", nullptr);
}

CanberraSounds::~CanberraSounds() {
    if (m_context) ca_context_destroy(m_context);
}

void CanberraSounds::playEvent(const QString& eventId) {
    if (!m_context) return;
    ca_context_play(m_context, 0, CA_PROP_EVENT_ID, eventId.toUtf8().constData(), nullptr);
}

void CanberraSounds::playWav(const QByteArray& wav, double volume) {
    if (!m_context || !m_dir.isValid()) return;
    ca_context_cancel(m_context, m_next); // a new chime replaces one still sounding
    ++m_next;
    const QString path = m_dir.filePath(QStringLiteral("sound-%1.wav").arg(m_next));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(wav) != wav.size() || !file.commit()) return;
    const double decibels = volume > 0 ? 20.0 * std::log10(volume) : -96.0;
    ca_context_play(m_context, m_next, CA_PROP_MEDIA_FILENAME, QFile::encodeName(path).constData(),
                    CA_PROP_CANBERRA_VOLUME, QByteArray::number(decibels, 'f', 2).constData(),
                    CA_PROP_CANBERRA_CACHE_CONTROL, "never", nullptr);
}

// ---- trash ----

std::optional<QString> FreedesktopTrash::moveToTrash(const QString& path) {
    QString where;
    if (!QFile::moveToTrash(path, &where)) return std::nullopt;
    return where;
}

bool FreedesktopTrash::putBack(const QString& trashedPath, const QString& originalPath) {
    if (!QFileInfo::exists(trashedPath) || QFileInfo::exists(originalPath)) return false;
    if (!QDir().mkpath(QFileInfo(originalPath).absolutePath())) return false;
    // One rename, or across file systems a whole copy under a passing name first.
    if (const QString error = PrivateFiles::moveFile(trashedPath, originalPath); !error.isEmpty()) {
        qCWarning(logPlatform) << "Couldn't put back" << originalPath << ":" << error;
        return false;
    }
    // The trash keeps "files/NAME" beside "info/NAME.trashinfo"; forget the record too.
    const QFileInfo trashed(trashedPath);
    const QString info = trashed.absoluteDir().absolutePath() + QStringLiteral("/../info/") +
                         trashed.fileName() + QStringLiteral(".trashinfo");
    QFile::remove(QDir::cleanPath(info));
    return true;
}

// ---- login item ----

AutostartLoginItem::AutostartLoginItem(QString desktopId, QString executable)
    : m_desktopId(std::move(desktopId)), m_executable(std::move(executable)) {}

QString AutostartLoginItem::entryPath() const {
    return QStandardPaths::writableLocation(QStandardPaths::ConfigLocation) + QStringLiteral("/autostart/") +
           m_desktopId + QStringLiteral(".desktop");
}

bool AutostartLoginItem::isEnabled() {
    QFile f(entryPath());
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QByteArray text = f.readAll();
    return !text.contains("\nHidden=true") && !text.contains("\nX-GNOME-Autostart-enabled=false");
}

QString AutostartLoginItem::enable() {
    if (!QDir().mkpath(QFileInfo(entryPath()).absolutePath()))
        return QStringLiteral("Couldn't create the autostart folder.");
    QSaveFile f(entryPath());
    QString exec = m_executable;
    exec.replace(QLatin1Char('"'), QStringLiteral("\\\""));
    const QByteArray entry = "[Desktop Entry]\n"
                             "Type=Application\n"
                             "Name=Ombrel Capture\n"
                             "Comment=Pictures and recordings of your screen for your AI chat\n"
                             "Exec=\"" +
                             exec.toUtf8() +
                             "\"\n"
                             "Icon=" +
                             m_desktopId.toUtf8() +
                             "\n"
                             "X-GNOME-Autostart-enabled=true\n";
    if (!f.open(QIODevice::WriteOnly) || f.write(entry) != entry.size() || !f.commit())
        return QStringLiteral("Couldn't write %1.").arg(entryPath());
    return {};
}

QString AutostartLoginItem::disable() {
    if (QFileInfo::exists(entryPath()) && !QFile::remove(entryPath()))
        return QStringLiteral("Couldn't remove %1.").arg(entryPath());
    return {};
}

// ---- workspace ----

bool DesktopWorkspace::open(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

bool DesktopWorkspace::reveal(const QString& path) {
    QDBusInterface fileManager(QStringLiteral("org.freedesktop.FileManager1"),
                               QStringLiteral("/org/freedesktop/FileManager1"),
                               QStringLiteral("org.freedesktop.FileManager1"));
    if (fileManager.isValid()) {
        const QDBusMessage reply = fileManager.call(
            QStringLiteral("ShowItems"), QStringList{QUrl::fromLocalFile(path).toString()}, QString());
        if (reply.type() == QDBusMessage::ReplyMessage) return true;
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
}

bool DesktopWorkspace::openApplication(const QString& desktopId) {
    if (Platform::isInstalled()) {
        for (const WindowInfo& w : Platform::windows().windows())
            if (w.bundleId.compare(desktopId, Qt::CaseInsensitive) == 0 && w.pid > 0)
                return Platform::windows().activate(w.pid);
    }
    const QString entry =
        QStandardPaths::locate(QStandardPaths::ApplicationsLocation, desktopId + QStringLiteral(".desktop"));
    if (entry.isEmpty()) return false;
    QFile file(entry);
    if (!file.open(QIODevice::ReadOnly)) return false;
    // The Exec line of the [Desktop Entry] group, without its field codes (%U, %f …).
    QString exec;
    bool inEntry = false;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(QLatin1Char('[')))
            inEntry = line == QLatin1String("[Desktop Entry]");
        else if (inEntry && line.startsWith(QLatin1String("Exec=")))
            exec = line.mid(5);
    }
    QStringList words = QProcess::splitCommand(exec);
    words.removeIf([](const QString& w) { return w.size() == 2 && w.startsWith(QLatin1Char('%')); });
    if (words.isEmpty()) return false;
    return QProcess::startDetached(words.takeFirst(), words);
}

bool DesktopWorkspace::reducesMotion() {
    // GNOME's setting, read through GSettings when its schema is installed (asking for a
    // schema that is missing would abort the program).
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    if (!source) return false;
    GSettingsSchema* schema = g_settings_schema_source_lookup(source, "org.gnome.desktop.interface", TRUE);
    if (!schema) return false;
    const bool known = g_settings_schema_has_key(schema, "enable-animations");
    g_settings_schema_unref(schema);
    if (!known) return false;
    GSettings* settings = g_settings_new("org.gnome.desktop.interface");
    const bool animates = g_settings_get_boolean(settings, "enable-animations");
    g_object_unref(settings);
    return !animates;
}

bool DesktopWorkspace::composeMail(const QStringList& to, const QString& subject, const QString& attachment) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("xdg-email"));
    if (tool.isEmpty()) return false;
    QStringList args{QStringLiteral("--utf8"), QStringLiteral("--subject"), subject};
    if (!attachment.isEmpty()) args << QStringLiteral("--attach") << attachment;
    return QProcess::startDetached(tool, args + to);
}

// ---- permissions ----

bool LinuxAccess::accessibilityTrusted() {
    // Asked before every reading of the caret (several times a second while a prompt
    // waits): a plain call, no introspection, and a positive answer trusted for a moment.
    {
        const std::lock_guard guard(m_trustMutex);
        if (m_trustedSince.isValid() && m_trustedSince.elapsed() < 2000) return true;
    }
    QDBusMessage ask =
        QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                       QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"));
    const QDBusReply<QString> address = QDBusConnection::sessionBus().call(ask, QDBus::Block, 1000);
    const bool trusted = address.isValid() && !address.value().isEmpty();
    const std::lock_guard guard(m_trustMutex);
    if (trusted)
        m_trustedSince.start();
    else
        m_trustedSince.invalidate();
    return trusted;
}

// ---- the native set ----

PlatformServices makeNativePlatform() {
    PlatformServices s;
    const qint64 pid = QCoreApplication::applicationPid();
    s.screens = std::make_unique<X11Screens>(pid, QCoreApplication::applicationName());
    s.windows = std::make_unique<X11Windows>();
    s.pasteboard = std::make_unique<QtPasteboard>();
    s.sounds = std::make_unique<CanberraSounds>();
    s.trash = std::make_unique<FreedesktopTrash>();
    const QString desktopId = QGuiApplication::desktopFileName().isEmpty()
                                  ? QStringLiteral("com.ombrel.capture")
                                  : QGuiApplication::desktopFileName();
    s.loginItem = std::make_unique<AutostartLoginItem>(desktopId, QCoreApplication::applicationFilePath());
    s.workspace = std::make_unique<DesktopWorkspace>();
    s.access = std::make_unique<LinuxAccess>();
    s.accessibility = std::make_unique<AtspiAccessibility>();
    s.accessibleTree = std::make_unique<AtspiTree>();
    s.keys = std::make_unique<XTestKeys>();
    s.recording = std::make_unique<LinuxRecordingSources>(pid, QCoreApplication::applicationName());
    s.vision = std::make_unique<OpenCvVision>();
    s.sharing = std::make_unique<DesktopSharing>(desktopId);
    s.hotKeys = std::make_unique<X11HotKeys>();
    s.spelling = std::make_unique<HunspellSpelling>();
    s.languageModel = std::make_unique<LocalChatModel>(QUrl(Defaults::get(LocalChatModel::addressKey)),
                                                       Defaults::get(LocalChatModel::modelKey));
    s.speech = makeNativeSpeech();
    return s;
}

std::unique_ptr<Speech> makeNativeSpeech() {
    return std::make_unique<SphinxSpeech>();
}

} // namespace ombrel
