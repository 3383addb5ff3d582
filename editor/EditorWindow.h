#pragma once
// The mark-up editor: one floating window holding a set of pages (screens or pictures),
// each with its own canvas, ending in copying, sending or simply closing, with the
// finished pictures kept in the library and their marks beside them.

#include "editor/CanvasView.h"
#include "editor/EditorShortcut.h"
#include "editor/PagePreviews.h"
#include "editor/TileSheet.h"
#include "library/CaptureStyle.h"
#include "markup/MarkStore.h"
#include "understanding/PageReadings.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScrollArea>
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

class CommentDictation;
class CommentWording;

// One page of the set.
struct CapturePage {
    CanvasView* canvas = nullptr;    // owned by the window
    std::optional<QString> savedURL; // the library file this page was last saved to or opened from
    QRect sourceAreaGlobal;          // where the picture came from on screen, when known
    qint64 sourcePid = 0;            // the application it shows, when known
    bool isIncluded = true;
    // For a tile sheet: the canvas of the page it was cut from.
    QPointer<CanvasView> tilesSource;
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
    static constexpr int anchorGap = 12; // between a mini panel and the floating buttons

    EditorWindowController(const QImage& image, CaptureStyle style, QRect screenGlobal, QRect areaGlobal = {},
                           qint64 sourcePid = 0, QWidget* parent = nullptr);
    ~EditorWindowController() override;

    // Where the floating buttons are now (global, logical pixels), empty while they are
    // hidden: a mini panel opens beside them and the minimised thumbnail waits by them.
    // Asked each time, since the user may drag or hide the buttons while the editor is open.
    std::function<QRect()> anchor;

    // Shows the window in front and remembers which application was in front before.
    void present();

    // Requests from the application shell.
    void receiveCapture(const QImage& image, QRect areaGlobal = {}, qint64 sourcePid = 0);
    bool stepOutForNextScreen();
    void handBackToPrompts();
    void restoreMarks(const MarkStore::Saved& saved, const QString& file);
    void noteLookChanged();

    // Callbacks to the shell. `onClose` comes as soon as the window has closed; the shell
    // forgets the editor then and hands it `deleteWhenSaved`. When the pictures of a closed
    // editor cannot be saved it comes back with the warning, and says so with `onReopen`.
    std::function<void()> onWantsAnotherCapture, onPaste, onChooseFiles, onAddFromPhone, onClose, onReopen;
    // Deletes the editor once the saves it started have ended (at once when none is running).
    void deleteWhenSaved();
    // Closed (or closing), and so no place for new pictures.
    bool isClosing() const { return m_finished; }

    // Endings.
    void copy();
    // Saves the chosen pages, closes the window and pops up the share menu at the pointer.
    void share();
    // Saves the chosen pages and pastes them into the chat, or hands them back to Ombrel
    // Prompts when the editor was opened for it.
    void sendToChat();
    // Closes the window, keeping every marked page in the library. `byEscape` adds the
    // toast saying where the picture went.
    void closeEditor(bool byEscape = false);
    // True from the moment a copy, send or hand-back has chosen its pictures until the
    // editor has closed: a second press does nothing.
    bool isEnding() const { return m_ending; }

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

    // Cuts every numbered mark of the current page out onto a new tile sheet page; the page
    // it was cut from is then not sent.
    void cropIntoTiles();
    // Runs the command of an editor shortcut.
    void perform(EditorShortcut shortcut);
    void showShortcuts();
    // The next note look, wrapping: list, sticky, glass.
    void nextNoteLook();
    void chooseFont(const QString& name);
    void chooseTextSize(const QString& name);
    void chooseBorder(const QString& name);
    // The paper of the selected sticky note, or of new notes when none is selected.
    void choosePaper(int index);
    // Moves the typing to the note of a numbered mark (its row, or its note on the picture
    // in the sticky and glass looks); none ends typing and gives the keys to the canvas.
    void moveTypingTo(std::optional<qsizetype> box);
    // The numbered mark whose note has the keyboard, if any.
    std::optional<qsizetype> typingBox() const;

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
    QString zoomText() const;
    QString sizeChoice() const;
    QComboBox* lookBox() const { return m_look; }
    // The floating panels: the toolbar, the notes list and the footer.
    QWidget* toolbarPanel() const { return m_toolbarPanel; }
    QWidget* notesPanel() const { return m_notesPanel; }
    QWidget* footerPanel() const { return m_footerPanel; }
    CaptureStyle style() const { return m_style; }
    // The wand of the comment rows and "Improve Wording".
    CommentWording* wording() const { return m_wording; }
    // Dictation into a comment field: the microphone button of a row, or "Speak a comment".
    CommentDictation* dictation() const { return m_dictation; }
    // Starts dictating into the comment being typed (else the selected mark's, else the
    // comment on the whole picture), or stops a dictation that is running.
    void speakComment();

    // The window's size for a preset picture width on a work area.
    static QSize presetWindowSize(int pictureWidth, QSize imageSize, QRect workArea, int controlsHeight);

  Q_SIGNALS:
    void saved(const QStringList& files);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Shows, raises and focuses the window, its canvas taking the keys.
    void bringToFront();
    void buildWindow();
    QWidget* buildToolbar();
    QWidget* buildNotesPanel();
    QWidget* buildFooter();
    void buildStyleControls(QLayout* row);
    QToolButton* addButton(QLayout* row, const QString& title, const QString& tip,
                           std::function<void()> action);
    // Lays the panels over (on screen) or around (mini panel) the picture.
    void layoutPanels();
    int controlsHeight(int width) const;
    void placeOnScreen();
    void refreshShortcutLabels();
    void refreshZoomLabel();
    void refreshSizeChoice();
    void refreshStyleControls();
    void syncNotes();
    void noteTyped(qsizetype box, const QString& text);
    void fillPaperMenu();
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
    void buildUnderstandingControls(QLayout* row);
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
    // The saves of a closed editor ended; a failure brings the editor back.
    void closingSavesEnded(bool failed);

    std::vector<CapturePage> m_pages;
    int m_current = 0;
    CaptureStyle m_style;
    QRect m_screenGlobal;
    bool m_handsBack = false;
    bool m_readingCursor = false; // a reading of the chat's caret is under way off the GUI thread
    bool m_waitingForNextScreen = false;
    bool m_finished = false;
    bool m_ending = false;
    bool m_deleteWhenSaved = false;
    int m_savesRunning = 0;
    std::vector<bool> m_includedBeforeClose; // which pages were sent before closing left out the unmarked
    qint64 m_previousPid = 0;

    struct RemovedPage {
        CapturePage page;
        int index;
        int undoCountAtRemoval;
    };
    std::optional<RemovedPage> m_removed;

    // Before a tile sheet was made: the pages and the page shown, for undo; and the set
    // with the sheet, for redo after that undo.
    struct PageSet {
        std::vector<CapturePage> pages;
        int current = 0;
        int undoCount = 0; // the shown canvas's undo count when the set was left
    };
    std::optional<PageSet> m_untiled;
    std::optional<PageSet> m_tiled;
    int m_tiledFromSteps = 0; // the undo count of the page cut from when the tiles were undone

    QStackedWidget* m_stack = nullptr;
    QWidget* m_strip = nullptr;
    std::optional<QPoint> m_dragOffset;
    QWidget* m_notes = nullptr;
    QScrollArea* m_notesScroll = nullptr;
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
    QComboBox* m_font = nullptr;
    QComboBox* m_textSize = nullptr;
    QToolButton* m_paperButton = nullptr;
    QWidget* m_toolbarPanel = nullptr;
    QWidget* m_notesPanel = nullptr;
    QWidget* m_footerPanel = nullptr;
    // What the notes list was built from: the marks by identity, the links and the colour.
    QString m_notesBuiltFor;
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
    CommentDictation* m_dictation = nullptr;
    QPointer<QToolButton> m_dictatingButton; // the microphone shown as listening
    QPointer<NoteField> m_dictatingField;
    QToolButton* microphoneFor(NoteField* field, std::function<void(const QString&)> write);
    void dictateInto(NoteField* field, QToolButton* button, std::function<void(const QString&)> write);
    std::function<void(const QString&)> boxNoteWriter(CanvasView* c, qsizetype box);
    std::function<void(const QString&)> commentWriter(CanvasView* c);
};

} // namespace ombrel
