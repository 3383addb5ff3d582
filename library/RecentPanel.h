#pragma once
// The Recent panel: a floating panel that shows the capture library newest first,
// grouped by day, as a grid of tiles. From it the user searches the library, opens a
// picture in the editor or a recording in its player, drags files into other programs,
// copies, sends to the chat, and moves items, whole days or older items to the Trash
// with a short-lived undo. It reloads whenever the library changes. GUI thread only.

#include "RecentModel.h"

#include <QDateTime>
#include <QFrame>
#include <QHash>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>

class QButtonGroup;
class QGridLayout;
class QLabel;
class QLineEdit;
class QMenu;
class QMimeData;
class QScrollArea;
class QToolButton;
class QVBoxLayout;

namespace ombrel {

class RecentPanel;

// The picture of one tile: the thumbnail (a placeholder until it is made), the play
// badge of a recording, and on hover the Edit and View buttons. A click that does not
// move opens the item; moving 4 points with the button down drags the file itself.
class ThumbnailView : public QWidget {
    Q_OBJECT
  public:
    ThumbnailView(const QString& path, int height, RecentPanel* panel, QWidget* parent = nullptr);
    const QString& path() const { return m_path; }
    // The pixel box the thumbnail is made for at the current width.
    QSize thumbnailBox() const;
    bool hasThumbnail() const;
    bool thumbnailFailed() const;
    QToolButton* editButton() const { return m_edit; }
    QToolButton* viewButton() const { return m_view; }
    void setHovered(bool hovered);

    // What a drag of this file carries: its file URL as text/uri-list, which browsers and
    // file managers take as the file itself.
    static QMimeData* dragData(const QString& path);

  protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void resizeEvent(QResizeEvent*) override;

  private:
    void startDrag();
    QString m_path;
    RecentPanel* m_panel;
    QToolButton* m_edit;
    QToolButton* m_view;
    QPoint m_pressAt;
    bool m_pressed = false;
};

// One tile: the thumbnail over a row with the time and the Share, Copy, Send to Chat and
// Move to Trash buttons.
class RecentCell : public QFrame {
    Q_OBJECT
  public:
    RecentCell(const QString& path, const QDateTime& modified, const QDateTime& now, int thumbnailHeight,
               RecentPanel* panel, QWidget* parent = nullptr);
    const QString& path() const { return m_thumb->path(); }
    ThumbnailView* thumbnail() const { return m_thumb; }
    // The action button with this name ("Share", "Copy", "Send to Chat", "Move to Trash").
    QToolButton* button(const QString& name) const;

  protected:
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;

  private:
    ThumbnailView* m_thumb;
    QList<QToolButton*> m_buttons;
};

// The heading of one day: a calendar badge, the title, the count and a trash button.
class DayHeader : public QWidget {
    Q_OBJECT
  public:
    DayHeader(const RecentDay& day, std::function<void()> clear, QWidget* parent = nullptr);
    QString title() const { return m_title; }
    QToolButton* trashButton() const { return m_trash; }

  private:
    QString m_title;
    QToolButton* m_trash;
};

class RecentPanel : public QWidget {
    Q_OBJECT
  public:
    explicit RecentPanel(QWidget* parent = nullptr);
    ~RecentPanel() override;

    // Set by the application shell: opens a picture in the editor with its marks.
    static inline std::function<void(const QString&)> onOpenPicture;
    // Set by the application shell when a video editor exists; without one a recording
    // opens in the system's own player.
    static inline std::function<void(const QString&)> onOpenVideo;
    // Set by the application shell when the help window exists; the help button shows only then.
    static inline std::function<void()> onShowHelp;

    // Reloads, places the panel next to `anchor` (the floating buttons or the tray icon;
    // empty for the top right corner) and brings it to the front.
    void showBeside(const QRect& anchor = QRect(), RecentAnchor kind = RecentAnchor::Buttons);
    // Hides when visible, else `showBeside`.
    void toggleBeside(const QRect& anchor = QRect(), RecentAnchor kind = RecentAnchor::Buttons);
    // Rebuilds the list from the library and the search text.
    void reload();
    // The application's Settings submenu, offered by the gear button.
    void setSettingsMenu(QMenu* menu);

    // Opens an item for editing (a recording in the video editor or player).
    void open(const QString& path);
    // Opens the file in the system's default viewer; a recording in the video editor when one exists.
    void view(const QString& path);
    void copy(const QString& path);
    // The share menu for every item of the library, below the "Share All" button.
    void shareAll();
    void sendToChat(const QString& path);
    // Moves one item to the Trash and offers Undo for 8 seconds.
    void trash(const QString& path);
    // Asks before moving several items to the Trash; `description` completes "That's …".
    void confirmTrash(const QStringList& items, const QString& description);
    void undoTrash();
    // The "Clean Up…" menu, made fresh with the current counts.
    std::unique_ptr<QMenu> makeCleanUpMenu();
    void showCleanUp();
    void sizeChosen(RecentTileSize size);
    // Creates the library folder when missing and opens it in the file manager.
    void showFolder();

    static constexpr int undoSeconds = 8;
    // Tiles made at once when the list is rebuilt, and then per turn of the event loop.
    static constexpr int firstTiles = 30;
    static constexpr int tilesPerTurn = 60;
    static constexpr int dragThreshold = 4;

    // For tests and benchmarks.
    const RecentListing& listing() const { return m_listing; }
    QList<RecentCell*> cells() const;
    QList<DayHeader*> dayHeaders() const;
    QLineEdit* searchField() const { return m_search; }
    QLabel* countLabel() const { return m_countLabel; }
    QLabel* newestLine() const { return m_newestLine; }
    QLabel* emptyTitle() const { return m_emptyTitle; }
    QLabel* emptyDetail() const { return m_emptyDetail; }
    QToolButton* undoButton() const { return m_undoButton; }
    QToolButton* cleanUpButton() const { return m_cleanUpButton; }
    QToolButton* shareAllButton() const { return m_shareAllButton; }
    QToolButton* sizeButton(RecentTileSize size) const;
    QToolButton* folderButton() const { return m_folderButton; }
    QToolButton* settingsButton() const { return m_settingsButton; }
    QToolButton* helpButton() const { return m_helpButton; }
    const QTimer& undoTimer() const { return m_hideUndo; }
    // Tiles in view whose thumbnail is still being made.
    int visibleTilesWaiting() const;
    // True while tiles of a long list are still being made.
    bool isBuilding() const { return m_buildDay < m_listing.days.size(); }
    // Makes the remaining tiles now.
    void finishBuilding();
    int visibleTiles() const;
    // The clock the day titles are worked out against (tests set a fixed one).
    void setClock(std::function<QDateTime()> now) { m_now = std::move(now); }

  Q_SIGNALS:
    // After every rebuild of the list.
    void reloaded();

  protected:
    void moveEvent(QMoveEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void showEvent(QShowEvent*) override;

  private:
    struct Trashed {
        QString original;
        QString where;
    };

    void build();
    QToolButton* headerButton(const QString& symbol, const QString& tip, std::function<void()> action);
    void scheduleReload();
    void buildTiles(int count);
    void prefetchThumbnails();
    void thumbnailReady(const QString& path);
    void hideUndoButton();
    QRect placement(const QRect& anchor, RecentAnchor kind) const;

    std::function<QDateTime()> m_now;
    RecentListing m_listing;
    QPointer<QMenu> m_settingsMenu;
    QScrollArea* m_scroll = nullptr;
    QWidget* m_list = nullptr;
    QLineEdit* m_search = nullptr;
    QLabel* m_countLabel = nullptr;
    QLabel* m_newestLine = nullptr;
    QLabel* m_emptyTitle = nullptr;
    QLabel* m_emptyDetail = nullptr;
    QToolButton* m_undoButton = nullptr;
    QToolButton* m_cleanUpButton = nullptr;
    QToolButton* m_shareAllButton = nullptr;
    QToolButton* m_folderButton = nullptr;
    QToolButton* m_settingsButton = nullptr;
    QToolButton* m_helpButton = nullptr;
    QButtonGroup* m_sizeControl = nullptr;
    QHash<QString, RecentCell*> m_cellsByPath;
    std::optional<Trashed> m_lastTrashed;
    QTimer m_hideUndo;
    QTimer m_reloadSoon;
    QTimer m_buildMore;
    QTimer m_prefetchSoon;
    QDateTime m_buildNow;
    qsizetype m_buildDay = 0;  // the day whose tiles are being made
    qsizetype m_buildItem = 0; // its next item
    QGridLayout* m_buildGrid = nullptr;
    bool m_isPlacing = false;
    QPoint m_placedAt;
};

} // namespace ombrel
