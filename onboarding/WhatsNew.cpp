#include "WhatsNew.h"
#include "OnboardingKeys.h"

#include "platform/Log.h"
#include "ui/Symbols.h"

#include <QFile>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace ombrel {

namespace {

QString& notesFile() {
    static QString path;
    return path;
}

QPointer<WhatsNewWindow>& openWindow() {
    static QPointer<WhatsNewWindow> window;
    return window;
}

// Newest first; versions sort by what `isNewer` says.
void sortNewestFirst(QList<ReleaseNotes>& notes) {
    std::stable_sort(notes.begin(), notes.end(), [](const ReleaseNotes& a, const ReleaseNotes& b) {
        return WhatsNew::isNewer(a.version, b.version);
    });
}

} // namespace

QString WhatsNew::installedVersion() {
    return QStringLiteral(OMBREL_VERSION);
}

bool WhatsNew::isNewer(const QString& version, const QString& than) {
    const QStringList a = version.split(QLatin1Char('.'));
    const QStringList b = than.split(QLatin1Char('.'));
    for (qsizetype i = 0; i < std::max(a.size(), b.size()); ++i) {
        // A piece that is not a number (or is missing) counts as 0.
        const qlonglong x = a.value(i).toLongLong();
        const qlonglong y = b.value(i).toLongLong();
        if (x != y) return x > y;
    }
    return false;
}

QList<ReleaseNotes> WhatsNew::unseen(QList<ReleaseNotes> notes, const QString& installed,
                                     const std::optional<QString>& lastSeen) {
    notes.removeIf([&](const ReleaseNotes& n) { return isNewer(n.version, installed); });
    sortNewestFirst(notes);
    if (lastSeen) {
        notes.removeIf([&](const ReleaseNotes& n) { return !isNewer(n.version, *lastSeen); });
        return notes.mid(0, 3);
    }
    return notes.mid(0, 1);
}

QList<ReleaseNotes> WhatsNew::decode(const QByteArray& json) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (!doc.isArray()) {
        qCWarning(logOnboarding) << "The release notes are not a JSON array:" << error.errorString();
        return {};
    }
    QList<ReleaseNotes> notes;
    for (const QJsonValue& v : doc.array()) {
        const QJsonObject o = v.toObject();
        const QJsonValue version = o.value(QStringLiteral("version"));
        const QJsonValue headline = o.value(QStringLiteral("headline"));
        const QJsonValue changes = o.value(QStringLiteral("changes"));
        // Like any decoding with fixed keys, one broken entry makes the whole file unreadable.
        if (!version.isString() || !headline.isString() || !changes.isArray()) {
            qCWarning(logOnboarding) << "A release notes entry lacks its version, headline or changes";
            return {};
        }
        ReleaseNotes n{version.toString(), headline.toString(), {}};
        for (const QJsonValue& c : changes.toArray()) {
            if (!c.isString()) {
                qCWarning(logOnboarding) << "A change of version" << n.version << "is not a text";
                return {};
            }
            n.changes.append(c.toString());
        }
        notes.append(n);
    }
    return notes;
}

QList<ReleaseNotes> WhatsNew::shipped() {
    QFile file(notesFile().isEmpty() ? resource : notesFile());
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(logOnboarding) << "The release notes cannot be read:" << file.fileName();
        return {};
    }
    return decode(file.readAll());
}

void WhatsNew::useNotesFile(const QString& path) {
    notesFile() = path;
}

void WhatsNew::showIfUpdated(bool isNewInstall) {
    const QString installed = installedVersion();
    const std::optional<QString> stored =
        Defaults::has(OnboardingKeys::whatsNewSeenVersion.name)
            ? std::optional(Defaults::get(OnboardingKeys::whatsNewSeenVersion))
            : std::nullopt;
    // Remembered at once, whatever follows: the notes are offered once.
    Defaults::set(OnboardingKeys::whatsNewSeenVersion, installed);
    if (isNewInstall) return; // a new user sees the welcome window, not release notes
    if (stored == installed) return;
    const QList<ReleaseNotes> entries = unseen(shipped(), installed, stored);
    if (!entries.isEmpty()) present(entries);
}

void WhatsNew::showLatest() {
    QList<ReleaseNotes> notes = shipped();
    notes.removeIf([](const ReleaseNotes& n) { return isNewer(n.version, installedVersion()); });
    sortNewestFirst(notes);
    if (notes.isEmpty()) return;
    present(notes.mid(0, 1));
}

WhatsNewWindow* WhatsNew::window() {
    return openWindow();
}

void WhatsNew::present(const QList<ReleaseNotes>& entries) {
    if (openWindow()) openWindow()->close();
    auto* window = new WhatsNewWindow(entries, installedVersion());
    window->setAttribute(Qt::WA_DeleteOnClose);
    openWindow() = window;
    window->present();
}

WhatsNewWindow::WhatsNewWindow(const QList<ReleaseNotes>& entries, const QString& installedVersion)
    : GlassWindow(480), m_entries(entries) {
    setObjectName(QStringLiteral("whatsNew"));
    setWindowTitle(QStringLiteral("What's New in Ombrel Capture"));
    QVBoxLayout* c = column();
    QLabel* heading = label(QStringLiteral("WHAT'S NEW IN OMBREL CAPTURE"), 10, true, 0.6);
    heading->setObjectName(QStringLiteral("heading"));
    c->addWidget(heading);
    c->addWidget(label(QStringLiteral("You're on version ") + installedVersion +
                           QStringLiteral(". Here's what changed."),
                       14, true));
    c->addSpacing(6);

    // The entries scroll when there are many changes.
    auto* list = new QWidget;
    list->setAttribute(Qt::WA_TranslucentBackground);
    auto* rows = new QVBoxLayout(list);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(6);
    const QPixmap sparkle =
        Symbols::pixmap(QStringLiteral("sparkle"), 14, QColor(190, 175, 255), devicePixelRatioF());
    for (const ReleaseNotes& n : entries) {
        rows->addSpacing(6);
        auto* tag = label(QStringLiteral("IN VERSION ") + n.version, 9, true, 0.55);
        rows->addWidget(tag);
        rows->addWidget(label(n.headline, 12, true));
        for (const QString& change : n.changes) {
            auto* row = new QHBoxLayout;
            row->setSpacing(8);
            auto* mark = new QLabel;
            mark->setPixmap(sparkle);
            mark->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
            mark->setContentsMargins(0, 3, 0, 0);
            row->addWidget(mark, 0, Qt::AlignTop);
            row->addWidget(label(change, 10, false, 0.85), 1);
            rows->addLayout(row);
        }
    }
    auto* scroll = new QScrollArea;
    scroll->setWidget(list);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setStyleSheet(
        QStringLiteral("QScrollArea, QScrollArea > QWidget > QWidget { background: transparent; }"
                       "QScrollBar:vertical { background: transparent; width: 8px; margin: 0; }"
                       "QScrollBar::handle:vertical { background: rgba(255,255,255,0.25); border-radius: "
                       "4px; min-height: 30px; }"
                       "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
                       "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }"));
    // As tall as the notes at the column's width (less the scroll bar's), up to a limit.
    constexpr int columnWidth = 480 - 2 * 30, scrollBarWidth = 12, tallestListPt = 420;
    scroll->setMinimumHeight(std::min(list->heightForWidth(columnWidth - scrollBarWidth), tallestListPt));
    c->addWidget(scroll, 1);

    c->addSpacing(8);
    c->addWidget(label(QStringLiteral("See this again any time: What's New in the Ombrel Capture menu."), 9,
                       false, 0.55));
    m_gotIt = button(QStringLiteral("Got It"), true);
    connect(m_gotIt, &QPushButton::clicked, this, &QWidget::close);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_gotIt);
    c->addLayout(buttons);
}

} // namespace ombrel
