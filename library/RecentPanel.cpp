#include "RecentPanel.h"
#include "platform/ScreenSpace.h"
#include "ui/PlatformWords.h"

#include "CaptureStore.h"
#include "Clipboard.h"
#include "ThumbnailCache.h"
#include "platform/Defaults.h"
#include "platform/Notifier.h"
#include "platform/Platform.h"
#include "sending/ChatSender.h"
#include "sending/ShareMenu.h"
#include "ui/Glass.h"
#include "ui/Permissions.h"
#include "ui/Symbols.h"
#include "ui/Toast.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDir>
#include <QDrag>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>

namespace ombrel {

namespace {

const QColor iconColour(236, 236, 242);
const QColor secondaryText(255, 255, 255, 150);
constexpr int panelRadius = 14;
constexpr int panelMargin = 12;

QString panelStyle() {
    return QStringLiteral(R"(
        QLabel { color: white; }
        QLabel#secondary { color: rgba(255,255,255,150); }
        QToolButton { color: white; background: transparent; border: none; border-radius: 6px; padding: 3px; }
        QToolButton:hover { background: rgba(255,255,255,34); }
        QToolButton:pressed, QToolButton:checked { background: rgba(255,255,255,52); }
        QToolButton:disabled { color: rgba(255,255,255,70); }
        QToolButton#pill { background: rgba(20,20,24,200); border: 1px solid rgba(255,255,255,60);
                           border-radius: 11px; padding: 2px 9px; }
        QToolButton#pill:hover { background: rgba(98,84,236,230); }
        QLineEdit { color: white; background: rgba(255,255,255,24); border: 1px solid rgba(255,255,255,46);
                    border-radius: 8px; padding: 4px 8px; selection-background-color: rgb(98,84,236); }
        QScrollArea, QWidget#list, QWidget#days { background: transparent; }
        QScrollBar:vertical { background: transparent; width: 8px; margin: 2px; }
        QScrollBar::handle:vertical { background: rgba(255,255,255,70); border-radius: 3px; min-height: 24px; }
        QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }
        QFrame#cell { background: rgba(255,255,255,14); border-radius: 10px; }
        QFrame#cell:hover { background: rgba(255,255,255,26); }
    )");
}

QToolButton* iconButton(const QString& symbol, const QString& tip, QWidget* parent = nullptr) {
    auto* b = new QToolButton(parent);
    b->setIcon(Symbols::icon(symbol, iconColour));
    b->setIconSize(QSize(16, 16));
    b->setToolTip(words(tip));
    b->setAccessibleName(words(tip));
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setCursor(Qt::PointingHandCursor);
    return b;
}

QString viewerTip() {
    return QStringLiteral("View in your Mac's own viewer");
}

} // namespace

// ——— ThumbnailView ———

ThumbnailView::ThumbnailView(const QString& path, int height, RecentPanel* panel, QWidget* parent)
    : QWidget(parent), m_path(path), m_panel(panel), m_edit(nullptr), m_view(nullptr) {
    setFixedHeight(height);
    setMinimumWidth(60);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setToolTip(QStringLiteral("Point for Edit and View, click to edit, or drag into another app"));
    setCursor(Qt::PointingHandCursor);
}

QSize ThumbnailView::thumbnailBox() const {
    // Twice as wide as high, whatever the tile's width at the moment: screenshots are
    // seldom wider, and a box that does not follow the layout is made once, not again
    // when a scroll bar appears or the panel is resized.
    const int h = qRound(height() * devicePixelRatioF());
    return QSize(2 * h, h);
}

bool ThumbnailView::hasThumbnail() const {
    return !ThumbnailCache::instance().request(m_path, thumbnailBox()).isNull();
}

bool ThumbnailView::thumbnailFailed() const {
    return ThumbnailCache::instance().failed(m_path, thumbnailBox());
}

void ThumbnailView::setHovered(bool hovered) {
    if (hovered && !m_edit) {
        // Made on first hover: a long list builds faster without them.
        m_edit = new QToolButton(this);
        m_edit->setObjectName(QStringLiteral("pill"));
        m_edit->setText(QStringLiteral("Edit"));
        m_edit->setIcon(Symbols::icon(QStringLiteral("pencil"), iconColour));
        m_edit->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        m_edit->setToolTip(QStringLiteral("Edit in Ombrel Capture"));
        m_edit->setFocusPolicy(Qt::NoFocus);
        connect(m_edit, &QToolButton::clicked, this, [this] { m_panel->open(m_path); });
        m_view = new QToolButton(this);
        m_view->setObjectName(QStringLiteral("pill"));
        m_view->setText(QStringLiteral("View"));
        m_view->setIcon(Symbols::icon(QStringLiteral("eye"), iconColour));
        m_view->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        m_view->setToolTip(viewerTip());
        m_view->setFocusPolicy(Qt::NoFocus);
        connect(m_view, &QToolButton::clicked, this, [this] { m_panel->view(m_path); });
        resizeEvent(nullptr);
    }
    if (m_edit) {
        m_edit->setVisible(hovered);
        m_view->setVisible(hovered);
    }
}

void ThumbnailView::resizeEvent(QResizeEvent*) {
    if (!m_edit) return;
    const QSize e = m_edit->sizeHint();
    const QSize v = m_view->sizeHint();
    const int gap = 8;
    const int total = e.width() + gap + v.width();
    const int x = (width() - total) / 2;
    const int y = (height() - e.height()) / 2;
    m_edit->setGeometry(x, y, e.width(), e.height());
    m_view->setGeometry(x + e.width() + gap, y, v.width(), v.height());
}

void ThumbnailView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath clip;
    clip.addRoundedRect(area, 8, 8);
    p.fillPath(clip, QColor(0, 0, 0, 70));
    const bool video = CaptureStore::isVideo(m_path);
    const QImage image = ThumbnailCache::instance().request(m_path, thumbnailBox());
    if (!image.isNull()) {
        const qreal dpr = devicePixelRatioF();
        QSizeF shown = QSizeF(image.size()) / dpr;
        shown = shown.scaled(area.size(), Qt::KeepAspectRatio);
        const QRectF target(area.center().x() - shown.width() / 2, area.center().y() - shown.height() / 2,
                            shown.width(), shown.height());
        p.save();
        p.setClipPath(clip);
        p.drawImage(target, image);
        p.restore();
    } else {
        // The placeholder while the thumbnail is made (or when the file cannot be read).
        const QString symbol = video ? QStringLiteral("play.fill") : QStringLiteral("photo");
        const int s = std::min(28, height() / 3);
        p.setOpacity(0.35);
        p.drawPixmap(QRect(width() / 2 - s / 2, height() / 2 - s / 2, s, s),
                     Symbols::pixmap(symbol, s, Qt::white, devicePixelRatioF()));
        p.setOpacity(1);
    }
    if (video) {
        // The play badge.
        const QString label = QStringLiteral("Recording");
        QFont f = font();
        f.setPointSizeF(9);
        f.setBold(true);
        p.setFont(f);
        const int textWidth = QFontMetrics(f).horizontalAdvance(label);
        const QRectF badge(8, height() - 8 - 20, 8 + 12 + 5 + textWidth + 9, 20);
        QPainterPath pill;
        pill.addRoundedRect(badge, 10, 10);
        p.fillPath(pill, QColor(0, 0, 0, 170));
        p.drawPixmap(QRectF(badge.left() + 8, badge.top() + 4, 12, 12).toRect(),
                     Symbols::pixmap(QStringLiteral("play.fill"), 12, Qt::white, devicePixelRatioF()));
        p.setPen(Qt::white);
        p.drawText(QRectF(badge.left() + 25, badge.top(), textWidth + 4, badge.height()), Qt::AlignVCenter,
                   label);
    }
    p.setPen(QPen(GlassPalette::rim, 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(clip);
}

void ThumbnailView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    m_pressed = true;
    m_pressAt = event->position().toPoint();
}

void ThumbnailView::mouseMoveEvent(QMouseEvent* event) {
    if (!m_pressed || !(event->buttons() & Qt::LeftButton)) return;
    if ((event->position().toPoint() - m_pressAt).manhattanLength() >= RecentPanel::dragThreshold) {
        m_pressed = false;
        startDrag();
    }
}

void ThumbnailView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_pressed) return;
    m_pressed = false;
    if (rect().contains(event->position().toPoint())) m_panel->open(m_path);
}

QMimeData* ThumbnailView::dragData(const QString& path) {
    auto* data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath())});
    return data;
}

void ThumbnailView::startDrag() {
    auto* drag = new QDrag(this);
    drag->setMimeData(dragData(m_path));
    const QImage image = ThumbnailCache::instance().request(m_path, thumbnailBox());
    if (!image.isNull()) {
        QPixmap icon = QPixmap::fromImage(image.scaled(QSize(140, 140) * devicePixelRatioF(),
                                                       Qt::KeepAspectRatio, Qt::SmoothTransformation));
        icon.setDevicePixelRatio(devicePixelRatioF());
        drag->setPixmap(icon);
        drag->setHotSpot(QPoint(int(icon.deviceIndependentSize().width() / 2),
                                int(icon.deviceIndependentSize().height() / 2)));
    }
    // A copy: the file stays in the library.
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}

// ——— RecentCell ———

RecentCell::RecentCell(const QString& path, const QDateTime& modified, const QDateTime& now,
                       int thumbnailHeight, RecentPanel* panel, QWidget* parent)
    : QFrame(parent) {
    setObjectName(QStringLiteral("cell"));
    setAttribute(Qt::WA_Hover);
    setAccessibleName(RecentText::tileName(path, modified, now));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(5, 5, 5, 3);
    column->setSpacing(3);
    m_thumb = new ThumbnailView(path, thumbnailHeight, panel, this);
    m_thumb->setAccessibleName(accessibleName());
    column->addWidget(m_thumb);
    auto* row = new QHBoxLayout;
    row->setContentsMargins(2, 0, 0, 0);
    row->setSpacing(1);
    auto* time = new QLabel(modified.toLocalTime().toString(QStringLiteral("HH:mm")));
    time->setObjectName(QStringLiteral("secondary"));
    row->addWidget(time);
    row->addStretch(1);
    const std::pair<const char*, const char*> actions[] = {{"Share", "square.and.arrow.up"},
                                                           {"Copy", "doc.on.doc"},
                                                           {"Send to Chat", "paperplane"},
                                                           {"Move to Trash", "trash"}};
    for (const auto& [name, symbol] : actions) {
        QToolButton* b = iconButton(QString::fromLatin1(symbol), QString::fromLatin1(name), this);
        m_buttons.append(b);
        row->addWidget(b);
    }
    QToolButton* share = m_buttons[0];
    connect(share, &QToolButton::clicked, panel, [share, path] { ShareMenu::popUpBelow({path}, share); });
    connect(m_buttons[1], &QToolButton::clicked, panel, [panel, path] { panel->copy(path); });
    connect(m_buttons[2], &QToolButton::clicked, panel, [panel, path] { panel->sendToChat(path); });
    connect(m_buttons[3], &QToolButton::clicked, panel, [panel, path] { panel->trash(path); });
    column->addLayout(row);
}

QToolButton* RecentCell::button(const QString& name) const {
    for (QToolButton* b : m_buttons)
        if (b->toolTip() == name) return b;
    return nullptr;
}

void RecentCell::enterEvent(QEnterEvent* event) {
    m_thumb->setHovered(true);
    QFrame::enterEvent(event);
}

void RecentCell::leaveEvent(QEvent* event) {
    m_thumb->setHovered(false);
    QFrame::leaveEvent(event);
}

// ——— DayHeader ———

namespace {

class CalendarBadge : public QWidget {
  public:
    explicit CalendarBadge(const QDate& date, QWidget* parent = nullptr) : QWidget(parent), m_date(date) {
        setFixedSize(30, 32);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath page;
        page.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
        p.fillPath(page, QColor(250, 250, 252));
        p.save();
        p.setClipPath(page);
        p.fillRect(QRect(0, 0, width(), 11), QColor(226, 72, 72));
        p.restore();
        QFont f = font();
        f.setPointSizeF(6.5);
        f.setBold(true);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRect(0, 0, width(), 11), Qt::AlignCenter, RecentText::badgeMonth(m_date));
        f.setPointSizeF(11);
        p.setFont(f);
        p.setPen(QColor(30, 30, 34));
        p.drawText(QRect(0, 11, width(), height() - 11), Qt::AlignCenter, QString::number(m_date.day()));
    }

  private:
    QDate m_date;
};

} // namespace

DayHeader::DayHeader(const RecentDay& day, std::function<void()> clear, QWidget* parent)
    : QWidget(parent), m_title(day.title) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(2, 8, 0, 2);
    row->setSpacing(8);
    row->addWidget(new CalendarBadge(day.date));
    auto* texts = new QVBoxLayout;
    texts->setSpacing(0);
    auto* title = new QLabel(day.title);
    QFont f = title->font();
    f.setBold(true);
    f.setPointSizeF(11);
    title->setFont(f);
    texts->addWidget(title);
    auto* count = new QLabel(RecentText::items(int(day.items.size())));
    count->setObjectName(QStringLiteral("secondary"));
    texts->addWidget(count);
    row->addLayout(texts);
    row->addStretch(1);
    m_trash = iconButton(QStringLiteral("trash"), QStringLiteral("Move this day to the Trash…"), this);
    connect(m_trash, &QToolButton::clicked, this, [clear = std::move(clear)] { clear(); });
    row->addWidget(m_trash);
}

// ——— RecentPanel ———

RecentPanel::RecentPanel(QWidget* parent)
    : QWidget(parent), m_now([] { return QDateTime::currentDateTime(); }) {
    setWindowTitle(QStringLiteral("Recent"));
    setObjectName(QStringLiteral("recentPanel"));
    // A floating tool window above ordinary windows that still takes the keyboard, so the
    // search field can be typed into.
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_TranslucentBackground);
    m_hideUndo.setSingleShot(true);
    m_hideUndo.setInterval(undoSeconds * 1000);
    connect(&m_hideUndo, &QTimer::timeout, this, &RecentPanel::hideUndoButton);
    // Changes come in bursts (a day moved to the Trash file by file): rebuild once after them.
    m_reloadSoon.setSingleShot(true);
    m_reloadSoon.setInterval(0);
    connect(&m_reloadSoon, &QTimer::timeout, this, &RecentPanel::reload);
    m_buildMore.setSingleShot(true);
    m_buildMore.setInterval(0);
    connect(&m_buildMore, &QTimer::timeout, this, [this] { buildTiles(tilesPerTurn); });
    // After the view has been painted (and its thumbnails asked for), the ones next to it.
    m_prefetchSoon.setSingleShot(true);
    m_prefetchSoon.setInterval(50);
    connect(&m_prefetchSoon, &QTimer::timeout, this, &RecentPanel::prefetchThumbnails);
    connect(&Notifier::instance(), &Notifier::CaptureStoreDidChange, this, &RecentPanel::scheduleReload);
    connect(&ThumbnailCache::instance(), &ThumbnailCache::ready, this, &RecentPanel::thumbnailReady);
    build();
    const RecentTileLayout& size = RecentTiles::layout(RecentTiles::current());
    resize(size.panelWidth, size.panelHeight);
}

RecentPanel::~RecentPanel() = default;

QToolButton* RecentPanel::headerButton(const QString& symbol, const QString& tip,
                                       std::function<void()> action) {
    QToolButton* b = iconButton(symbol, tip);
    connect(b, &QToolButton::clicked, this, [action = std::move(action)] { action(); });
    return b;
}

void RecentPanel::build() {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* glass = new GlassView(panelRadius);
    outer->addWidget(glass);
    glass->setStyleSheet(panelStyle());
    auto* column = new QVBoxLayout(glass);
    column->setContentsMargins(panelMargin, 10, panelMargin - 4, panelMargin);
    column->setSpacing(8);

    // Title row.
    auto* top = new QHBoxLayout;
    top->setSpacing(2);
    auto* title = new QLabel(QStringLiteral("Recent"));
    QFont tf = title->font();
    tf.setBold(true);
    tf.setPointSizeF(13);
    title->setFont(tf);
    top->addWidget(title);
    top->addStretch(1);
    // In the title row, as a symbol: the row of tile sizes has no room left in the smallest panel.
    m_shareAllButton =
        headerButton(QStringLiteral("square.and.arrow.up"), QStringLiteral("Send or save everything at once"),
                     [this] { shareAll(); });
    m_shareAllButton->setText(QStringLiteral("Share All"));
    m_shareAllButton->setAccessibleName(QStringLiteral("Share All"));
    top->addWidget(m_shareAllButton);
    m_folderButton = headerButton(QStringLiteral("folder"), QStringLiteral("Show the folder in Finder"),
                                  [this] { showFolder(); });
    top->addWidget(m_folderButton);
    m_settingsButton = headerButton(QStringLiteral("gearshape"), QStringLiteral("Settings"), [this] {
        if (m_settingsMenu)
            m_settingsMenu->popup(m_settingsButton->mapToGlobal(QPoint(0, m_settingsButton->height() + 4)));
    });
    m_settingsButton->hide(); // until the shell hands over its Settings menu
    top->addWidget(m_settingsButton);
    m_helpButton =
        headerButton(QStringLiteral("questionmark.circle"), QStringLiteral("Help and what this can do"), [] {
            if (onShowHelp) onShowHelp();
        });
    top->addWidget(m_helpButton);
    top->addWidget(headerButton(QStringLiteral("xmark"), QStringLiteral("Close"), [this] { hide(); }));
    column->addLayout(top);

    m_search = new QLineEdit;
    m_search->setPlaceholderText(QStringLiteral("Search"));
    m_search->setToolTip(QStringLiteral(
        "Finds pictures by what you wrote on them, the day, or the kind, such as video or yesterday"));
    m_search->setAccessibleName(QStringLiteral("Search"));
    m_search->setClearButtonEnabled(true);
    m_search->addAction(Symbols::icon(QStringLiteral("magnifyingglass"), secondaryText),
                        QLineEdit::LeadingPosition);
    connect(m_search, &QLineEdit::textChanged, this, &RecentPanel::reload);
    column->addWidget(m_search);

    // Tile sizes, Undo and Clean Up.
    auto* tools = new QHBoxLayout;
    tools->setSpacing(2);
    m_sizeControl = new QButtonGroup(this);
    m_sizeControl->setExclusive(true);
    for (const RecentTileLayout& size : RecentTiles::all()) {
        QToolButton* b = iconButton(QString::fromLatin1(size.symbol),
                                    QString::fromLatin1(size.name) + QStringLiteral(" pictures"));
        b->setCheckable(true);
        b->setFixedWidth(24);
        m_sizeControl->addButton(b, int(size.size));
        tools->addWidget(b);
    }
    m_sizeControl->button(int(RecentTiles::current()))->setChecked(true);
    connect(m_sizeControl, &QButtonGroup::idClicked, this,
            [this](int id) { sizeChosen(RecentTileSize(id)); });
    tools->addStretch(1);
    m_undoButton = new QToolButton;
    m_undoButton->setText(QStringLiteral("Undo"));
    m_undoButton->setIcon(
        Symbols::icon(QStringLiteral("arrow.uturn.backward.circle.fill"), GlassPalette::accent));
    m_undoButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_undoButton->setToolTip(QStringLiteral("Bring back what you just moved to the Trash"));
    m_undoButton->setFocusPolicy(Qt::NoFocus);
    m_undoButton->hide();
    connect(m_undoButton, &QToolButton::clicked, this, &RecentPanel::undoTrash);
    tools->addWidget(m_undoButton);
    m_cleanUpButton = new QToolButton;
    m_cleanUpButton->setText(QStringLiteral("Clean Up…"));
    m_cleanUpButton->setIcon(Symbols::icon(QStringLiteral("clock.badge.xmark"), iconColour));
    m_cleanUpButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_cleanUpButton->setFocusPolicy(Qt::NoFocus);
    connect(m_cleanUpButton, &QToolButton::clicked, this, &RecentPanel::showCleanUp);
    tools->addWidget(m_cleanUpButton);
    column->addLayout(tools);

    m_countLabel = new QLabel;
    m_countLabel->setObjectName(QStringLiteral("secondary"));
    column->addWidget(m_countLabel);

    m_scroll = new QScrollArea;
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->viewport()->setAutoFillBackground(false);
    auto* list = new QWidget;
    list->setObjectName(QStringLiteral("list"));
    auto* listColumn = new QVBoxLayout(list);
    listColumn->setContentsMargins(0, 0, 4, 0);
    listColumn->setSpacing(6);
    m_list = new QWidget;
    m_list->setObjectName(QStringLiteral("days"));
    listColumn->addWidget(m_list);
    new QVBoxLayout(m_list);
    m_list->layout()->setContentsMargins(0, 0, 0, 0);
    m_newestLine = new QLabel(RecentText::newestLine);
    m_newestLine->setObjectName(QStringLiteral("secondary"));
    QFont small = m_newestLine->font();
    small.setPixelSize(11); // a point of the design is a logical pixel here
    m_newestLine->setFont(small);
    m_newestLine->setWordWrap(true);
    m_newestLine->setAlignment(Qt::AlignHCenter);
    listColumn->addWidget(m_newestLine);
    m_emptyTitle = new QLabel;
    QFont ef = m_emptyTitle->font();
    ef.setBold(true);
    m_emptyTitle->setFont(ef);
    m_emptyTitle->setWordWrap(true);
    m_emptyTitle->setAlignment(Qt::AlignHCenter);
    listColumn->addWidget(m_emptyTitle);
    m_emptyDetail = new QLabel;
    m_emptyDetail->setObjectName(QStringLiteral("secondary"));
    m_emptyDetail->setWordWrap(true);
    m_emptyDetail->setAlignment(Qt::AlignHCenter);
    listColumn->addWidget(m_emptyDetail);
    listColumn->addStretch(1);
    m_scroll->setWidget(list);
    connect(m_scroll->verticalScrollBar(), &QScrollBar::valueChanged, &m_prefetchSoon,
            qOverload<>(&QTimer::start));
    column->addWidget(m_scroll, 1);
}

void RecentPanel::setSettingsMenu(QMenu* menu) {
    m_settingsMenu = menu;
    m_settingsButton->setVisible(menu != nullptr);
}

void RecentPanel::showEvent(QShowEvent* event) {
    m_helpButton->setVisible(bool(onShowHelp));
    QWidget::showEvent(event);
}

void RecentPanel::scheduleReload() {
    // A hidden panel is rebuilt when it is shown next.
    if (isVisible()) m_reloadSoon.start();
}

void RecentPanel::reload() {
    m_reloadSoon.stop();
    const int scrolled = m_scroll->verticalScrollBar()->value();
    const QDateTime now = m_now();
    const QStringList all = CaptureStore::all();
    m_listing = buildListing(m_search->text(), all, now);
    ThumbnailCache::instance().dropPending();

    m_countLabel->setText(m_listing.countText);
    m_cleanUpButton->setEnabled(!m_listing.isEmpty());
    m_shareAllButton->setEnabled(!m_listing.isEmpty());
    m_newestLine->setVisible(m_listing.showsNewestLine);
    m_emptyTitle->setText(m_listing.emptyTitle);
    m_emptyTitle->setVisible(m_listing.isEmpty());
    m_emptyDetail->setText(m_listing.emptyDetail);
    m_emptyDetail->setVisible(m_listing.isEmpty() && !m_listing.emptyDetail.isEmpty());

    // The days are rebuilt whole; their widgets are cheap next to the thumbnails, which the cache keeps.
    m_cellsByPath.clear();
    QLayout* days = m_list->layout();
    while (QLayoutItem* item = days->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    // The first tiles at once, enough to fill the view; the rest a batch per turn of the
    // event loop, so typing into the search field never waits for a list of hundreds.
    m_buildNow = now;
    m_buildDay = 0;
    m_buildItem = 0;
    m_buildGrid = nullptr;
    buildTiles(firstTiles);
    QTimer::singleShot(0, this, [this, scrolled] { m_scroll->verticalScrollBar()->setValue(scrolled); });
    Q_EMIT reloaded();
}

void RecentPanel::buildTiles(int count) {
    m_buildMore.stop();
    QLayout* days = m_list->layout();
    const RecentTileLayout& size = RecentTiles::layout(RecentTiles::current());
    for (; count > 0 && m_buildDay < m_listing.days.size(); --count) {
        const RecentDay& day = m_listing.days[m_buildDay];
        if (!m_buildGrid) {
            const QStringList items = day.items;
            const QString description = RecentText::dayDescription(day.title);
            days->addWidget(
                new DayHeader(day, [this, items, description] { confirmTrash(items, description); }));
            auto* grid = new QWidget;
            m_buildGrid = new QGridLayout(grid);
            m_buildGrid->setContentsMargins(0, 0, 0, 0);
            m_buildGrid->setSpacing(RecentTiles::spacing);
            for (int c = 0; c < size.columns; ++c)
                m_buildGrid->setColumnStretch(c, 1);
            days->addWidget(grid);
        }
        const QString& path = day.items[m_buildItem];
        auto* cell =
            new RecentCell(path, CaptureStore::modified(path), m_buildNow, size.thumbnailHeight, this);
        m_buildGrid->addWidget(cell, m_buildItem / size.columns, m_buildItem % size.columns);
        m_cellsByPath.insert(path, cell);
        if (++m_buildItem == day.items.size()) {
            ++m_buildDay;
            m_buildItem = 0;
            m_buildGrid = nullptr;
        }
    }
    if (isBuilding()) m_buildMore.start();
    m_prefetchSoon.start();
}

void RecentPanel::finishBuilding() {
    while (isBuilding())
        buildTiles(tilesPerTurn);
}

void RecentPanel::prefetchThumbnails() {
    // The tiles within a screenful above and below the view: made once those in view are
    // done, so scrolling finds them ready.
    if (visibleTilesWaiting() > 0) {
        m_prefetchSoon.start();
        return;
    }
    const QRect view = m_scroll->viewport()->rect();
    const QRect band = view.adjusted(0, -view.height(), 0, view.height());
    for (RecentCell* cell : std::as_const(m_cellsByPath)) {
        ThumbnailView* t = cell->thumbnail();
        const QRect where(t->mapTo(m_scroll->viewport(), QPoint(0, 0)), t->size());
        if (band.intersects(where) && !view.intersects(where))
            ThumbnailCache::instance().prefetch(t->path(), t->thumbnailBox());
    }
}

void RecentPanel::thumbnailReady(const QString& path) {
    if (RecentCell* cell = m_cellsByPath.value(path)) cell->thumbnail()->update();
}

QList<RecentCell*> RecentPanel::cells() const {
    return m_list->findChildren<RecentCell*>();
}

QList<DayHeader*> RecentPanel::dayHeaders() const {
    return m_list->findChildren<DayHeader*>();
}

QToolButton* RecentPanel::sizeButton(RecentTileSize size) const {
    return qobject_cast<QToolButton*>(m_sizeControl->button(int(size)));
}

int RecentPanel::visibleTiles() const {
    int n = 0;
    for (RecentCell* cell : m_cellsByPath)
        if (!cell->thumbnail()->visibleRegion().isEmpty()) ++n;
    return n;
}

int RecentPanel::visibleTilesWaiting() const {
    int n = 0;
    for (RecentCell* cell : m_cellsByPath) {
        ThumbnailView* t = cell->thumbnail();
        if (!t->visibleRegion().isEmpty() && !t->hasThumbnail() && !t->thumbnailFailed()) ++n;
    }
    return n;
}

// ——— Actions ———

void RecentPanel::open(const QString& path) {
    if (CaptureStore::isVideo(path)) {
        if (onOpenVideo)
            onOpenVideo(path);
        else
            Platform::workspace().open(QUrl::fromLocalFile(path));
        return;
    }
    if (onOpenPicture) onOpenPicture(path);
}

void RecentPanel::view(const QString& path) {
    // A recording plays in the video editor, which every desktop has, rather than in a
    // player that may not be installed.
    if (CaptureStore::isVideo(path) && onOpenVideo)
        onOpenVideo(path);
    else
        Platform::workspace().open(QUrl::fromLocalFile(path));
}

void RecentPanel::copy(const QString& path) {
    if (Clipboard::put(QStringList{path}))
        Toast::show(QStringLiteral("Copied"), Toast::defaultSymbol, this);
    else
        Toast::warn(QStringLiteral("Couldn't copy. Try again, or drag the picture instead."), this);
}

void RecentPanel::shareAll() {
    ShareMenu::popUpBelow(CaptureStore::all(), m_shareAllButton);
}

void RecentPanel::sendToChat(const QString& path) {
    ChatSender::send({path});
}

void RecentPanel::trash(const QString& path) {
    const std::optional<QString> where = CaptureStore::moveToTrash(path);
    if (!where) {
        Toast::warn(
            QStringLiteral("Couldn't move it to the Trash. It may have been moved or opened elsewhere."),
            this);
        return;
    }
    m_lastTrashed = Trashed{path, *where};
    m_undoButton->show();
    m_hideUndo.start();
    Toast::show(QStringLiteral("Moved to Trash"), QStringLiteral("trash"), this);
}

void RecentPanel::hideUndoButton() {
    m_hideUndo.stop();
    m_undoButton->hide();
}

void RecentPanel::undoTrash() {
    hideUndoButton();
    if (!m_lastTrashed) return;
    const Trashed last = *m_lastTrashed;
    m_lastTrashed.reset();
    if (CaptureStore::restore(last.where, last.original))
        Toast::show(QStringLiteral("Put back"), QStringLiteral("arrow.uturn.backward.circle.fill"), this);
    else
        Toast::warn(QStringLiteral("Couldn't put it back. Look for it in the Trash."), this);
}

void RecentPanel::confirmTrash(const QStringList& items, const QString& description) {
    if (items.isEmpty()) return;
    const int choice =
        Permissions::ask(RecentText::confirmTitle(int(items.size())), RecentText::confirmDetail(description),
                         {QStringLiteral("Move to Trash"), QStringLiteral("Cancel")});
    if (choice != 0) return;
    CaptureStore::trash(items);
    m_lastTrashed.reset();
    hideUndoButton();
    Toast::show(QStringLiteral("Moved to Trash"), QStringLiteral("trash"), this);
}

std::unique_ptr<QMenu> RecentPanel::makeCleanUpMenu() {
    auto menu = std::make_unique<QMenu>();
    for (const CleanUpChoice& choice : cleanUpChoices(m_now())) {
        QAction* a = menu->addAction(choice.title());
        a->setEnabled(choice.enabled());
        connect(a, &QAction::triggered, this,
                [this, items = choice.items, d = choice.description()] { confirmTrash(items, d); });
    }
    return menu;
}

void RecentPanel::showCleanUp() {
    QMenu* menu = makeCleanUpMenu().release();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(m_cleanUpButton->mapToGlobal(QPoint(0, m_cleanUpButton->height() + 4)));
}

void RecentPanel::showFolder() {
    const QString folder = CaptureStore::folder();
    QDir().mkpath(folder);
    Platform::workspace().open(QUrl::fromLocalFile(folder));
}

// ——— Size and place ———

void RecentPanel::sizeChosen(RecentTileSize size) {
    RecentTiles::setCurrent(size);
    if (QAbstractButton* b = m_sizeControl->button(int(size))) b->setChecked(true);
    const RecentTileLayout& layout = RecentTiles::layout(size);
    QRect frame(geometry().topLeft(), QSize(layout.panelWidth, layout.panelHeight));
    if (QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen())
        frame = ScreenSpace::keepInside(frame, screen->availableGeometry());
    m_isPlacing = true;
    setGeometry(frame);
    m_placedAt = frame.topLeft();
    m_isPlacing = false;
    reload();
}

QRect RecentPanel::placement(const QRect& anchor, RecentAnchor kind) const {
    QList<QRect> screens, visible;
    QList<QScreen*> all = QGuiApplication::screens();
    if (QScreen* primary = QGuiApplication::primaryScreen()) {
        all.removeAll(primary);
        all.prepend(primary);
    }
    for (QScreen* s : all) {
        screens.append(s->geometry());
        visible.append(s->availableGeometry());
    }
    const RecentTileLayout& size = RecentTiles::layout(RecentTiles::current());
    return placeRecentPanel(QSize(size.panelWidth, size.panelHeight), anchor, screens, visible,
                            rectFromString(Defaults::get(Keys::recentPanelPosition)), kind);
}

void RecentPanel::showBeside(const QRect& anchor, RecentAnchor kind) {
    reload();
    const QRect frame = placement(anchor, kind);
    m_isPlacing = true;
    setGeometry(frame);
    m_placedAt = frame.topLeft();
    show();
    raise();
    activateWindow();
    m_isPlacing = false;
    // Window managers may refuse a background program's own request for the focus; asked
    // as a pager asks, they bring the panel forward.
    QTimer::singleShot(0, this, [] { Platform::windows().activate(Platform::windows().ownPid()); });
    m_search->setFocus();
}

void RecentPanel::toggleBeside(const QRect& anchor, RecentAnchor kind) {
    if (isVisible())
        hide();
    else
        showBeside(anchor, kind);
}

void RecentPanel::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    // Only the user's own moves are kept; the panel's placing of itself is not.
    if (isVisible() && !m_isPlacing && pos() != m_placedAt)
        Defaults::set(Keys::recentPanelPosition, rectString(geometry()));
}

void RecentPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    roundCornersWithoutCompositor(this, panelRadius);
}

void RecentPanel::mousePressEvent(QMouseEvent* event) {
    // The panel has no title bar: pressing on its background moves it.
    if (event->button() == Qt::LeftButton && windowHandle() && windowHandle()->startSystemMove()) return;
    QWidget::mousePressEvent(event);
}

void RecentPanel::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        if (!m_search->text().isEmpty())
            m_search->clear();
        else
            hide();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace ombrel
