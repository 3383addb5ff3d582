#include "EditorWindow.h"
#include "CommentWording.h"
#include "understanding/CommentDictation.h"

#include "editor/ShortcutsWindow.h"
#include "markup/MarkStyle.h"
#include "platform/Log.h"
#include "platform/Notifier.h"
#include "platform/Platform.h"
#include "sending/ChatSender.h"
#include "ui/PlatformWords.h"
#include "ui/Toast.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>

namespace ombrel {

namespace {

const char* const toolHints[] = {"Drag to draw a box.", "Point at a button, image or text, then click it.",
                                 "Drag over anything private to blur it.",
                                 "Drag around the section to keep."};

QPixmap thumbnail(const QImage& image, int height) {
    return QPixmap::fromImage(image.scaledToHeight(height, Qt::SmoothTransformation));
}

} // namespace

EditorWindowController::EditorWindowController(const QImage& image, CaptureStyle style, QRect screenGlobal,
                                               QRect areaGlobal, qint64 sourcePid, QWidget* parent)
    : QWidget(parent), m_style(style), m_screenGlobal(screenGlobal) {
    setObjectName(QStringLiteral("editor"));
    setWindowTitle(QStringLiteral("Ombrel Capture"));
    // A panel that floats above ordinary windows and takes the keys. Its own panels are its
    // title bar: the mini panel is moved by their background and resized from a corner.
    setWindowFlags(Qt::Window | Qt::WindowStaysOnTopHint | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_DeleteOnClose, false);
    m_wording = new CommentWording(this, [this](const QString& message) { setStatus(message); });
    m_dictation = new CommentDictation(this);
    buildWindow();
    addPage(image, areaGlobal, sourcePid);
    showPage(0);
    m_cursorTimer.setInterval(1000);
    connect(&m_cursorTimer, &QTimer::timeout, this, &EditorWindowController::refreshTargetLine);
    m_resizeSettled.setSingleShot(true);
    m_resizeSettled.setInterval(400);
    connect(&m_resizeSettled, &QTimer::timeout, this, [this] { storeWindowSize(size()); });
    connect(&Notifier::instance(), &Notifier::ChatSenderDidChangeTarget, this,
            &EditorWindowController::refreshTargetLine);
}

EditorWindowController::~EditorWindowController() = default;

// ---------- building ----------

QToolButton* EditorWindowController::button(const QString& title) const {
    for (QToolButton* b : m_buttons)
        if (b->text() == title || b->objectName() == title) return b;
    return nullptr;
}

// ---------- pages ----------

void EditorWindowController::addPage(const QImage& image, QRect areaGlobal, qint64 sourcePid) {
    auto* canvas = new CanvasView(Markup(image));
    canvas->setFillsScreen(m_style == CaptureStyle::OnScreen);
    wireCanvas(canvas);
    m_stack->addWidget(canvas);
    CapturePage page;
    page.canvas = canvas;
    page.sourceAreaGlobal = areaGlobal;
    page.sourcePid = sourcePid;
    std::optional<AccessibilityReader::Source> source;
    if (sourcePid > 0 && !areaGlobal.isEmpty())
        source = AccessibilityReader::Source{qint32(sourcePid), QRectF(areaGlobal)};
    page.readings = new PageReadings(image, source, canvas);
    // Pointing uses the elements as soon as they are read.
    connect(page.readings, &PageReadings::elementsRead, canvas,
            [canvas](const QList<ScreenElement>& elements) { canvas->elements = elements; });
    m_pages.push_back(page);
    rebuildPageStrip();
}

void EditorWindowController::wireCanvas(CanvasView* c) {
    c->onSelect = [this, c] {
        if (c != canvas()) return;
        syncNotes();
        refreshUndoButtons();
        // Selecting a mark moves the typing to its note; anything else ends typing.
        const std::optional<qsizetype> selected = c->selected();
        if (selected && !c->markup().boxes.at(*selected).hides) {
            moveTypingTo(selected);
        } else {
            c->setEditingNote(std::nullopt);
            if (isTyping() && QApplication::focusWidget() != m_find &&
                QApplication::focusWidget() != m_comment)
                c->setFocus();
        }
    };
    c->onCrop = [this, c] {
        if (c == canvas()) setStatus(QStringLiteral("Cropped. Undo brings the whole screen back."));
    };
    c->onNoteTyped = [this](qsizetype index, const QString& text) { noteTyped(index, text); };
    c->onNoteReturn = [this] { moveToNextNote(1); };
    c->onZoom = [this, c] {
        if (c == canvas()) refreshZoomLabel();
    };
    c->noteField()->installEventFilter(this); // Tab, Escape and Command-Return while typing on the picture
}

CanvasView* EditorWindowController::canvas() const {
    if (m_current < 0 || size_t(m_current) >= m_pages.size()) return nullptr;
    return m_pages.at(size_t(m_current)).canvas;
}

void EditorWindowController::showPage(int index) {
    if (index < 0 || index >= pageCount()) return;
    if (CanvasView* old = canvas(); old && old != m_pages.at(size_t(index)).canvas)
        old->setEditingNote(std::nullopt, false);
    m_current = index;
    m_stack->setCurrentWidget(canvas());
    startReadings(m_pages.at(size_t(index)));
    m_notesBuiltFor.clear();
    syncNotes();
    rebuildPageStrip();
    refreshUndoButtons();
    refreshZoomLabel();
}

void EditorWindowController::refreshZoomLabel() {
    if (m_zoomLabel && canvas())
        m_zoomLabel->setText(QStringLiteral("%1%").arg(qRound(canvas()->zoom() * 100)));
}

QString EditorWindowController::zoomText() const {
    return m_zoomLabel->text();
}

void EditorWindowController::rebuildPageStrip() {
    QLayout* layout = m_strip->layout();
    while (QLayoutItem* item = layout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    m_strip->setVisible(m_pages.size() > 1);
    for (int i = 0; i < pageCount(); ++i) {
        const CapturePage& p = m_pages.at(size_t(i));
        auto* chip = new QToolButton;
        chip->setObjectName(QStringLiteral("pageChip%1").arg(i + 1));
        chip->setIcon(thumbnail(p.canvas->markup().image, 40));
        chip->setIconSize(QSize(72, 40));
        chip->setText(p.isIncluded ? QString::number(i + 1) : QStringLiteral("%1 (not sent)").arg(i + 1));
        chip->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        chip->setCheckable(true);
        chip->setChecked(i == m_current);
        chip->setFocusPolicy(Qt::NoFocus);
        if (!p.isIncluded)
            chip->setToolTip(
                QStringLiteral("Screen %1. Its selections are on the tile sheet, so this one won't be sent.")
                    .arg(i + 1));
        connect(chip, &QToolButton::clicked, this, [this, i] { showPage(i); });
        chip->setProperty("page", i);
        chip->installEventFilter(this);
        layout->addWidget(chip);
        if (m_strip->isVisible()) chip->show(); // counted by the footer's height at once
    }
    static_cast<QHBoxLayout*>(layout)->addStretch(1);
    layoutPanels();
}

void EditorWindowController::receiveCapture(const QImage& image, QRect areaGlobal, qint64 sourcePid) {
    addPage(image, areaGlobal, sourcePid);
    showPage(pageCount() - 1);
    if (m_waitingForNextScreen) {
        m_waitingForNextScreen = false;
        if (QToolButton* add = button(QStringLiteral("addButton"))) add->setText(QStringLiteral("Add"));
    }
    show();
    raise();
    activateWindow();
    QTimer::singleShot(0, this, [] { Platform::windows().activate(Platform::windows().ownPid()); });
    setStatus(QStringLiteral("Picture %1 added. Point, click and comment.").arg(pageCount()));
}

bool EditorWindowController::stepOutForNextScreen() {
    if (m_style != CaptureStyle::OnScreen || m_waitingForNextScreen) return false;
    m_waitingForNextScreen = true;
    hide();
    if (QToolButton* add = button(QStringLiteral("addButton"))) add->setText(QStringLiteral("Capture Now"));
    setStatus(QStringLiteral("Scroll or go to your next screen, then press the camera or Capture Now."));
    Toast::show(
        QStringLiteral("Scroll or go to your next screen, then press the camera to add it to this set."),
        QStringLiteral("camera"));
    if (m_previousPid) Platform::windows().activate(m_previousPid); // give the front back
    return true;
}

void EditorWindowController::removeCurrentPage() {
    if (pageCount() < 2) return;
    const int index = m_current;
    CapturePage removed = m_pages.at(size_t(index));
    m_stack->removeWidget(removed.canvas);
    removed.canvas->setParent(this);
    removed.canvas->hide();
    m_pages.erase(m_pages.begin() + index);
    m_current = std::min(index, pageCount() - 1);
    showPage(m_current);
    m_removed = RemovedPage{removed, index, canvas()->undoCount()};
    setStatus(QStringLiteral("Screen removed. Undo brings it back."));
}

// ---------- tiles ----------

void EditorWindowController::cropIntoTiles() {
    CapturePage& source = m_pages.at(size_t(m_current));
    const QList<TileSheet::Tile> pieces = TileSheet::tiles(source.canvas->markup());
    const std::optional<TileSheet::Sheet> sheet = TileSheet::render(pieces);
    if (!sheet) {
        setProblem(QStringLiteral("Draw a box around each part you want first. Then they become tiles."));
        return;
    }
    m_untiled = PageSet{m_pages, m_current, 0};
    m_tiled.reset();
    const QPointer<CanvasView> from = source.canvas;
    source.isIncluded = false;
    auto* canvas = new CanvasView(TileSheet::sheetMarkup(*sheet, pieces, from->markup()));
    wireCanvas(canvas);
    m_stack->addWidget(canvas);
    CapturePage page;
    page.canvas = canvas;
    page.tilesSource = from;
    page.readings = new PageReadings(sheet->image, std::nullopt, canvas);
    m_pages.push_back(page);
    showPage(pageCount() - 1);
    m_untiled->undoCount = canvas->undoCount();
    setStatus(QStringLiteral("Cropped into tiles. Undo takes you back to your marks."));
}

// ---------- undo ----------

void EditorWindowController::undo() {
    if (m_removed && canvas()->undoCount() == m_removed->undoCountAtRemoval) {
        RemovedPage r = *m_removed;
        m_removed.reset();
        m_pages.insert(m_pages.begin() + r.index, r.page);
        m_stack->insertWidget(r.index, r.page.canvas);
        showPage(r.index);
        return;
    }
    // Right after the tiles were made, undo takes the sheet away and sends the page again.
    if (m_untiled && canvas() == m_pages.back().canvas && m_pages.back().tilesSource &&
        canvas()->undoCount() == m_untiled->undoCount) {
        const int sheetSteps = canvas()->undoCount();
        const PageSet back = *m_untiled;
        m_untiled.reset();
        CanvasView* sheetCanvas = canvas();
        m_stack->removeWidget(sheetCanvas);
        sheetCanvas->hide();
        m_tiled = PageSet{m_pages, m_current, sheetSteps};
        m_pages = back.pages; // the page cut from is sent again
        showPage(back.current);
        m_tiledFromSteps = canvas()->undoCount();
        setStatus(QStringLiteral("Back to your marks. Redo makes the tiles again."));
        return;
    }
    canvas()->undo();
    refreshUndoButtons();
}

void EditorWindowController::redo() {
    // Right after that undo, redo makes the tiles again.
    if (m_tiled && canvas()->undoCount() == m_tiledFromSteps && !canvas()->canRedo()) {
        const PageSet again = *m_tiled;
        m_tiled.reset();
        m_untiled = PageSet{m_pages, m_current, again.undoCount};
        m_pages = again.pages;
        m_stack->addWidget(m_pages.at(size_t(again.current)).canvas);
        showPage(again.current);
        setStatus(QStringLiteral("Cropped into tiles. Undo takes you back to your marks."));
        return;
    }
    canvas()->redo();
    refreshUndoButtons();
}

void EditorWindowController::refreshUndoButtons() {
    if (!canvas()) return;
    if (QToolButton* u = button(QStringLiteral("Undo")))
        u->setEnabled(canvas()->canUndo() || m_removed.has_value() || m_untiled.has_value());
    if (QToolButton* r = button(QStringLiteral("Redo")))
        r->setEnabled(canvas()->canRedo() || m_tiled.has_value());
}

// Return in a mark's note: on to the next mark's note, and after the last one typing ends.
static bool isPlainReturn(QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    return (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
           !(key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::MetaModifier));
}

bool EditorWindowController::eventFilter(QObject* watched, QEvent* event) {
    if (auto* chip = qobject_cast<QToolButton*>(watched); chip && chip->property("page").isValid()) {
        if (event->type() == QEvent::Enter)
            showChipPreview(chip->property("page").toInt(), chip);
        else if ((event->type() == QEvent::Leave || event->type() == QEvent::Hide) && m_chipPreview)
            m_chipPreview->hide();
    }
    auto* field = qobject_cast<NoteField*>(watched);
    const bool rowField = field && field->property("box").isValid();
    const bool canvasField = field && canvas() && field == canvas()->noteField();
    // Clicking into a mark's comment makes that mark the selected one, so Return and Tab
    // go on from it.
    if (event->type() == QEvent::FocusIn && rowField) {
        const qsizetype box = field->property("box").toLongLong();
        CanvasView* c = canvas();
        if (c->selected() != box || (NoteLooks::current() != NoteLook::List && c->editingNote() != box)) {
            c->select(box);
            if (NoteLooks::current() != NoteLook::List) c->setEditingNote(box, false);
            syncNotes();
        }
    }
    if (event->type() != QEvent::KeyPress || !(qobject_cast<QLineEdit*>(watched) || field))
        return QWidget::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (m_dictation->isListening()) { // any key ends dictation
        m_dictation->stop();
        return true;
    }
    if (key->modifiers().testFlag(Qt::ControlModifier) && key->key() == Qt::Key_D) {
        speakComment(); // into the comment being typed
        return true;
    }
    if (key->modifiers().testFlag(Qt::ControlModifier) &&
        (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
        sendToChat();
        return true;
    }
    if ((rowField || canvasField) && (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)) {
        moveToNextNote(key->key() == Qt::Key_Tab ? 1 : -1);
        return true;
    }
    if ((rowField || canvasField) && isPlainReturn(event)) {
        const std::optional<qsizetype> typing =
            rowField ? std::optional<qsizetype>(field->property("box").toLongLong())
                     : canvas()->editingNote();
        if (!m_boxFields.empty() && typing == m_boxFields.back().first)
            moveTypingTo(std::nullopt);
        else
            moveToNextNote(1);
        return true;
    }
    if (key->key() == Qt::Key_Escape) {
        moveTypingTo(std::nullopt);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

// ---------- tools, status, looks ----------

void EditorWindowController::chooseTool(CanvasView::Tool tool) {
    canvas()->setTool(tool);
    for (int i = 0; i < m_toolButtons.size(); ++i)
        m_toolButtons[i]->setChecked(i == int(tool));
    setStatus(QString::fromLatin1(toolHints[int(tool)]));
}

void EditorWindowController::setStatus(const QString& text) {
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setStyleSheet(QString());
    m_status->setText(words(text));
}

void EditorWindowController::setProblem(const QString& text) {
    m_status->setStyleSheet(QStringLiteral("color: rgb(255,140,120);"));
    m_status->setText(text);
}
QString EditorWindowController::statusText() const {
    return m_status->text();
}
QString EditorWindowController::targetText() const {
    return m_target->text();
}

void EditorWindowController::refreshTargetLine() {
    QString tip;
    if (m_handsBack) {
        m_target->setText(QStringLiteral("Your picture goes back to Ombrel Prompts."));
        tip = QStringLiteral("Saves your picture and takes you back to Ombrel Prompts, which adds it to your "
                             "message. Shortcut: Command-Return.");
    } else {
        // Until the first reading answers (handing back to Prompts is never undone).
        if (m_target->text().isEmpty())
            m_target->setText(QStringLiteral("Click in your chat, then Send to Chat."));
        // Read off the GUI thread: the caret of a busy browser can take long to find.
        if (!m_readingCursor) {
            m_readingCursor = true;
            ChatSender::chatWithCursorLater(this, [this](const std::optional<QString>& chat) {
                m_readingCursor = false;
                if (m_handsBack) return;
                m_target->setText(chat ? QStringLiteral("I see your cursor in ") + *chat +
                                             QStringLiteral("'s chat box.")
                                       : QStringLiteral("Click in your chat, then Send to Chat."));
            });
        }
        tip = QStringLiteral("Click in your chat, then press this. It pastes") +
              (ChatSender::pressesEnter() ? QStringLiteral(" and sends.") : QStringLiteral(".")) +
              QStringLiteral(" Shortcut: Command-Return.");
    }
    if (QToolButton* send = button(QStringLiteral("sendButton"))) {
        send->setProperty("baseTip", words(tip));
        refreshShortcutLabels();
    }
}

void EditorWindowController::handBackToPrompts() {
    m_handsBack = true;
    if (QToolButton* send = button(QStringLiteral("sendButton")))
        send->setText(QStringLiteral("Add to Prompts"));
    refreshTargetLine();
}

void EditorWindowController::restoreMarks(const MarkStore::Saved& saved, const QString& file) {
    CapturePage& page = m_pages.at(size_t(m_current));
    const Markup& now = page.canvas->markup();
    page.canvas->markupForEditing() = saved.applied(now.image, now.blurred);
    page.savedURL = file;
    page.canvas->update();
    syncNotes();
    setStatus(QStringLiteral("Your marks are back, so you can change them."));
}

void EditorWindowController::redrawAll() {
    for (CapturePage& p : m_pages)
        p.canvas->update();
}

void EditorWindowController::noteLookChanged() {
    refreshStyleControls();
    // The typing moves with the look: to the row in the list look, onto the picture in the others.
    const std::optional<qsizetype> typing = typingBox();
    m_notesBuiltFor.clear();
    syncNotes();
    for (CapturePage& p : m_pages)
        p.canvas->setEditingNote(std::nullopt, false);
    if (typing) moveTypingTo(typing);
    redrawAll();
}

void EditorWindowController::nextNoteLook() {
    NoteLooks::setCurrent(NoteLook((int(NoteLooks::current()) + 1) % 3));
    noteLookChanged();
}

void EditorWindowController::chooseFont(const QString& name) {
    MarkStyle::setFontName(name);
    redrawAll();
    refreshStyleControls();
}

void EditorWindowController::chooseTextSize(const QString& name) {
    MarkStyle::setSizeName(name);
    redrawAll();
    refreshStyleControls();
}

void EditorWindowController::chooseBorder(const QString& name) {
    MarkStyle::setBorderName(name);
    redrawAll();
}

void EditorWindowController::choosePaper(int index) {
    CanvasView* c = canvas();
    const std::optional<qsizetype> selected = c->selected();
    if (NoteLooks::current() == NoteLook::Sticky && selected && !c->markup().boxes.at(*selected).hides) {
        c->markupForEditing().boxes[*selected].paper = NotePaper::clamped(index);
        c->update();
        return;
    }
    NotePaper::setCurrent(index);
    redrawAll();
}

void EditorWindowController::showShortcuts() {
    ShortcutsWindow::open(this);
}

// ---------- keyboard ----------

void EditorWindowController::perform(EditorShortcut shortcut) {
    switch (shortcut) {
    case EditorShortcut::Send:
        sendToChat();
        break;
    case EditorShortcut::Copy:
        copy();
        break;
    case EditorShortcut::Edit:
        if (const std::optional<qsizetype> s = canvas()->selected();
            s && !canvas()->markup().boxes.at(*s).hides)
            moveTypingTo(s);
        else if (!m_boxFields.empty())
            moveTypingTo(m_boxFields.back().first);
        else if (m_comment)
            m_comment->setFocus();
        break;
    case EditorShortcut::Add:
        // In the on-screen style the editor steps aside for the next screen first; the mini
        // panel is left out of the grab and captures at once.
        if (m_waitingForNextScreen || !stepOutForNextScreen())
            if (onWantsAnotherCapture) onWantsAnotherCapture();
        break;
    case EditorShortcut::Blur:
        autoBlur();
        break;
    case EditorShortcut::Tiles:
        cropIntoTiles();
        break;
    case EditorShortcut::Organise:
        canvas()->organise();
        setStatus(QStringLiteral("Organised top to bottom and renumbered. Undo puts it back."));
        break;
    case EditorShortcut::Find:
        m_find->setFocus();
        m_find->selectAll();
        break;
    case EditorShortcut::Look:
        nextNoteLook();
        break;
    case EditorShortcut::Undo:
        undo();
        break;
    case EditorShortcut::Redo:
        redo();
        break;
    case EditorShortcut::Keys:
        showShortcuts();
        break;
    case EditorShortcut::Share:
        share();
        break;
    case EditorShortcut::Wand:
        m_wording->improveFocused();
        break;
    case EditorShortcut::Speak:
        speakComment();
        break;
    }
}

void EditorWindowController::keyPressEvent(QKeyEvent* event) {
    if (m_dictation->isListening()) { // any key ends dictation
        m_dictation->stop();
        return;
    }
    const bool command = event->modifiers().testFlag(Qt::ControlModifier);
    const bool shift = event->modifiers().testFlag(Qt::ShiftModifier);
    if (command && event->key() == Qt::Key_D) {
        speakComment();
        return;
    }
    if (command && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        sendToChat();
        return;
    }
    if (command && event->key() == Qt::Key_Z) {
        shift ? redo() : undo();
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        if (canvas()->selected() || canvas()->editingNote())
            moveTypingTo(std::nullopt);
        else
            closeEditor(true);
        return;
    }
    if (!isTyping() && !command && !event->modifiers().testFlag(Qt::AltModifier)) {
        if (event->key() >= Qt::Key_1 && event->key() <= Qt::Key_4) {
            chooseTool(CanvasView::Tool(event->key() - Qt::Key_1));
            return;
        }
        if ((event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) && canvas()->selected()) {
            canvas()->remove(*canvas()->selected());
            return;
        }
        if (const std::optional<EditorShortcut> s = EditorShortcuts::action(event->text())) {
            perform(*s);
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

} // namespace ombrel
