#pragma once
// The mark-up editor: one floating window holding a set of pages (screens or pictures),
// each with its own canvas, ending in copying, sending or simply closing, with the
// finished pictures kept in the library and their marks beside them.

#include "editor/CanvasView.h"
#include "editor/PagePreviews.h"
#include "library/CaptureStyle.h"
#include "markup/MarkStore.h"
#include "understanding/PageReadings.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace ombrel {

class CommentWording;

// One page of the set.
struct CapturePage {
    CanvasView* canvas = nullptr;    // owned by the window
    std::optional<QString> savedURL; // the library file this page was last saved to or opened from
    QRect sourceAreaGlobal;          // where the picture came from on screen, when known
    qint64 sourcePid = 0;            // the application it shows, when known
    bool isIncluded = true;
    // Its text, element and page-address readings, started when the page is first shown
    // (owned by the canvas).
    QPointer<PageReadings> readings;
};

class EditorWindowController : public QWidget {
    Q_OBJECT
  public:
    // Window size presets: picture widths in points; "Full screen" fills the work area.
    struct SizePreset {
        const char* title;
        int pictureWidth; // 0 for full screen
    };
    static const QList<SizePreset>& sizePresets();
    static inline const char* sizeKey = "miniPanelSizeV2";

    EditorWindowController(const QImage& image, CaptureStyle style, QRect screenGlobal, QRect areaGlobal = {},
                           qint64 sourcePid = 0, QWidget* parent = nullptr);
    ~EditorWindowController() override;

    // Shows the window in front and remembers which application was in front before.
    void present();

    // Requests from the application shell.
    void receiveCapture(const QImage& image, QRect areaGlobal = {}, qint64 sourcePid = 0);
    bool stepOutForNextScreen();
    void handBackToPrompts();
    void restoreMarks(const MarkStore::Saved& saved, const QString& file);
    void noteLookChanged();

    // Callbacks to the shell.
    std::function<void()> onWantsAnotherCapture, onPaste, onChooseFiles, onAddFromPhone, onClose;

    // Endings.
    void copy();
    // Saves the chosen pages and pastes them into the chat, or hands them back to Ombrel
    // Prompts when the editor was opened for it.
    void sendToChat();
    // Closes the window, keeping every marked page in the library. `byEscape` adds the
    // toast saying where the picture went.
    void closeEditor(bool byEscape = false);

    // Saving: renders and writes every included page (or the current one), in the
    // background; `done` receives the written files in page order on the GUI thread.
    void saveAll(std::function<void(QStringList)> done);
    void savedFiles(bool all, std::function<void(QStringList)> done);

    // Pages.
    int pageCount() const { return int(m_pages.size()); }
    int currentIndex() const { return m_current; }
    void showPage(int index);
    void removeCurrentPage();
    CanvasView* canvas() const;
    const CapturePage& page(int index) const { return m_pages.at(size_t(index)); }
    bool isWaitingForNextScreen() const { return m_waitingForNextScreen; }
    bool handsBack() const { return m_handsBack; }

    void undo();
    void redo();

    // Orders the window out and shows the set as a small thumbnail; clicking a picture of
    // the thumbnail brings the editor back on that page.
    void minimise();
    void restoreFromThumbnail(int page);
    MinimizedThumb* minimizedThumb() const { return m_thumb.get(); }
    ChipPreview* chipPreview() const { return m_chipPreview.get(); }

    // Find and auto-blur on the current page: marks from what the page's readings found.
    void findOnPage();
    void autoBlur();
    QLineEdit* findField() const { return m_find; }

    QString statusText() const;
    QString targetText() const;
    // The note fields of the numbered marks, by box index (for tests and keyboard moves).
    NoteField* noteFieldFor(qsizetype boxIndex) const;
    NoteField* commentField() const { return m_comment; }
    QToolButton* button(const QString& title) const;
    // The wand of the comment rows and "Improve Wording".
    CommentWording* wording() const { return m_wording; }

    // The window's size for a preset picture width on a work area.
    static QSize presetWindowSize(int pictureWidth, QSize imageSize, QRect workArea, int controlsHeight);

  Q_SIGNALS:
    void saved(const QStringList& files);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Shows, raises and focuses the window, its canvas taking the keys.
    void bringToFront();
    void buildWindow();
    QWidget* buildToolbar();
    QWidget* buildSecondRow();
    void buildViewControls(QHBoxLayout* row);
    QToolButton* addButton(QHBoxLayout* row, const QString& title, const QString& tip,
                           std::function<void()> action);
    void addPage(const QImage& image, QRect areaGlobal, qint64 sourcePid);
    void wireCanvas(CanvasView* canvas);
    void rebuildNotes();
    void rebuildPageStrip();
    void refreshTargetLine();
    void refreshUndoButtons();
    void setStatus(const QString& text);
    // A status that says something went wrong or found nothing.
    void setProblem(const QString& text);
    void startReadings(CapturePage& page);
    void buildUnderstandingControls(QHBoxLayout* row);
    void chooseTool(CanvasView::Tool tool);
    void chooseSize(int presetIndex);
    void storeWindowSize(QSize size);
    QRect workArea() const;
    void showChipPreview(int page, QWidget* chip);
    void redrawAll();
    void focusNoteOf(std::optional<qsizetype> box);
    void moveToNextNote(int step);
    bool isTyping() const;
    QString saveURL(CapturePage& page);
    void finish(bool byEscape);
    // With several included pages asks "this one or all" first; then saves and acts.
    void withChosenFiles(const QString& verb, std::function<void(QStringList)> act);

    std::vector<CapturePage> m_pages;
    int m_current = 0;
    CaptureStyle m_style;
    QRect m_screenGlobal;
    bool m_handsBack = false;
    bool m_waitingForNextScreen = false;
    bool m_finished = false;
    qint64 m_previousPid = 0;

    struct RemovedPage {
        CapturePage page;
        int index;
        int undoCountAtRemoval;
    };
    std::optional<RemovedPage> m_removed;

    QStackedWidget* m_stack = nullptr;
    QWidget* m_strip = nullptr;
    QWidget* m_notes = nullptr;
    QVBoxLayout* m_notesLayout = nullptr;
    NoteField* m_comment = nullptr;
    std::vector<std::pair<qsizetype, NoteField*>> m_boxFields;
    QLabel* m_status = nullptr;
    QLineEdit* m_find = nullptr;
    QLabel* m_target = nullptr;
    QLabel* m_zoomLabel = nullptr;
    QComboBox* m_look = nullptr;
    QComboBox* m_size = nullptr;
    QComboBox* m_color = nullptr;
    QList<QToolButton*> m_toolButtons;
    QList<QToolButton*> m_buttons;
    QTimer m_cursorTimer;
    std::unique_ptr<MinimizedThumb> m_thumb;
    std::unique_ptr<ChipPreview> m_chipPreview;
    // A resize by hand is stored once the window has kept its size for a moment: the
    // window system reports every step of the drag, not its end.
    QTimer m_resizeSettled;
    bool m_sizingItself = false;
    CommentWording* m_wording = nullptr;
};

} // namespace ombrel
