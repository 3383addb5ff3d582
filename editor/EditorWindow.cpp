#include "EditorWindow.h"
#include "CommentWording.h"
#include "understanding/CommentDictation.h"

#include "editor/ShortcutsWindow.h"
#include "library/CaptureStore.h"
#include "library/Clipboard.h"
#include "markup/MarkStyle.h"
#include "markup/MarkupRender.h"
#include "platform/Defaults.h"
#include "platform/Log.h"
#include "platform/Notifier.h"
#include "platform/Platform.h"
#include "sending/ChatSender.h"
#include "sending/SendChoiceWindow.h"
#include "sending/ShareMenu.h"
#include "ui/Glass.h"
#include "ui/PlatformWords.h"
#include "ui/Symbols.h"
#include "ui/Toast.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCursor>
#include <QFutureWatcher>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QtConcurrent>

namespace ombrel {

namespace {

const char* const toolHints[] = {"Drag to draw a box.", "Point at a button, image or text, then click it.",
                                 "Drag over anything private to blur it.",
                                 "Drag around the section to keep."};

// What one page's save needs, copied so the work can run off the GUI thread.
struct SaveJob {
    Markup markup;
    QString path;
    MarkLook look;
};

struct SaveOutcome {
    QString path;
    bool written = false;
    bool rendered = false;
};

SaveOutcome runSave(const SaveJob& job) {
    const std::optional<QByteArray> png = MarkupRender::pngData(job.markup, job.look);
    if (!png) return {job.path, false, false}; // a page whose picture can't be made is skipped quietly
    if (!CaptureStore::save(*png, job.path)) return {job.path, false, true};
    MarkStore::save(job.markup, job.path);
    return {job.path, true, true};
}

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

// ---------- notes list ----------

NoteField* EditorWindowController::noteFieldFor(qsizetype boxIndex) const {
    for (const auto& [index, field] : m_boxFields)
        if (index == boxIndex) return field;
    return nullptr;
}

void EditorWindowController::syncNotes() {
    CanvasView* c = canvas();
    const Markup& m = c->markup();
    // The list is built anew only when its rows change; otherwise a field being typed in
    // keeps the keyboard.
    QString builtFor = QString::number(quintptr(c)) + m.color.name() + QString::number(m.links.size());
    for (const Markup::Box& box : m.boxes)
        builtFor += QStringLiteral("|%1%2%3").arg(box.id).arg(box.hides).arg(box.element.value_or(QString()));
    if (builtFor != m_notesBuiltFor) {
        m_notesBuiltFor = builtFor;
        rebuildNotes();
    } else {
        for (const auto& [index, field] : m_boxFields)
            if (index < m.boxes.size() && !field->hasFocus()) field->setText(m.boxes.at(index).note);
        if (m_comment && !m_comment->hasFocus()) m_comment->setText(m.comment);
    }
    // The row of the selected mark is the current one.
    for (const auto& [index, field] : m_boxFields) {
        QWidget* row = field->parentWidget();
        const bool current = c->selected() == index;
        if (row->property("current").toBool() != current) {
            row->setProperty("current", current);
            row->style()->unpolish(row);
            row->style()->polish(row);
        }
    }
    layoutPanels();
}

void EditorWindowController::rebuildNotes() {
    const std::optional<qsizetype> typing = typingBox();
    const bool commentTyping = m_comment && m_comment->hasFocus();
    while (QLayoutItem* item = m_notesLayout->takeAt(0)) {
        if (QWidget* w = item->widget()) {
            w->hide();
            w->deleteLater();
        }
        delete item;
    }
    m_boxFields.clear();
    CanvasView* c = canvas();
    const Markup& m = c->markup();

    m_comment = new NoteField(NoteField::Look::Boxed, m.comment);
    m_comment->setObjectName(QStringLiteral("comment"));
    m_comment->setPlaceholderText(QStringLiteral("Comment on the whole picture"));
    m_comment->setToolTip(QStringLiteral("A comment about the whole picture, rather than one spot"));
    connect(m_comment, &NoteField::textEdited, this, [c](const QString& text) {
        c->markupForEditing().comment = text;
        c->update();
    });
    m_comment->installEventFilter(this);
    m_wording->attach(m_comment, QStringLiteral("%1/comment").arg(quintptr(c)), commentWriter(c));
    m_notesLayout->addWidget(m_comment);

    for (qsizetype i = 0; i < m.links.size(); ++i) {
        auto* tick = new QCheckBox(QStringLiteral("Web address"));
        tick->setToolTip(QStringLiteral(
            "Ticked, this web address goes in the picture, so whoever reads it knows which page it is"));
        tick->setChecked(m.links.at(i).included);
        tick->setFocusPolicy(Qt::NoFocus);
        auto* row = new QWidget;
        auto* h = new QHBoxLayout(row);
        h->setContentsMargins(0, 0, 0, 0);
        h->addWidget(tick);
        auto* url = new QLabel(m.links.at(i).url);
        url->setObjectName(QStringLiteral("secondary"));
        h->addWidget(url, 1);
        connect(tick, &QCheckBox::toggled, this, [c, i](bool on) {
            if (i < c->markup().links.size()) {
                c->markupForEditing().links[i].included = on;
                c->update();
            }
        });
        m_notesLayout->addWidget(row);
    }

    for (qsizetype i = 0; i < m.boxes.size(); ++i) {
        const Markup::Box& box = m.boxes.at(i);
        if (box.hides) continue;
        auto* row = new QWidget;
        row->setObjectName(QStringLiteral("noteRow"));
        row->setAttribute(Qt::WA_StyledBackground);
        auto* h = new QHBoxLayout(row);
        h->setContentsMargins(2, 2, 2, 2);
        auto* badge = new QLabel(QString::number(m.number(i)));
        badge->setAlignment(Qt::AlignCenter);
        badge->setFixedSize(24, 24);
        badge->setStyleSheet(QStringLiteral("background:%1; color:%2; border-radius:12px; font-weight:bold;")
                                 .arg(m.color.name(), HighlightPalette::numberColor(m.color).name()));
        h->addWidget(badge, 0, Qt::AlignTop);
        if (box.element) {
            auto* chip = new QLabel(*box.element);
            chip->setStyleSheet(
                QStringLiteral("background: rgba(150,120,255,70); border-radius: 8px; padding: 2px 6px;"));
            h->addWidget(chip, 0, Qt::AlignTop);
        }
        auto* field = new NoteField(NoteField::Look::Boxed, box.note);
        field->setPlaceholderText(QStringLiteral("Your comment"));
        field->setToolTip(QStringLiteral("Your comment on this mark"));
        field->setProperty("box", i);
        connect(field, &NoteField::textEdited, this, [this, i](const QString& text) { noteTyped(i, text); });
        connect(field, &NoteField::returnPressed, this, [this] { moveToNextNote(1); });
        field->installEventFilter(this);
        h->addWidget(field, 1);
        h->addWidget(microphoneFor(field, boxNoteWriter(c, i)));
        h->addWidget(
            m_wording->wandFor(field, QStringLiteral("%1/%2").arg(quintptr(c)).arg(i), boxNoteWriter(c, i)));
        auto* remove = new QToolButton;
        remove->setIcon(Symbols::icon(QStringLiteral("xmark"), QColor(235, 236, 240)));
        remove->setToolTip(QStringLiteral("Remove this mark (Delete)"));
        remove->setFocusPolicy(Qt::NoFocus);
        connect(remove, &QToolButton::clicked, this, [c, i] { c->remove(i); });
        h->addWidget(remove, 0, Qt::AlignTop);
        m_notesLayout->addWidget(row);
        m_boxFields.emplace_back(i, field);
    }
    m_notesLayout->addStretch(1);
    // Shown now rather than by the layout later, so the keyboard can go to a new row at once.
    for (int i = 0; i < m_notesLayout->count(); ++i)
        if (QWidget* w = m_notesLayout->itemAt(i)->widget(); w && m_notes->isVisible()) w->show();
    if (commentTyping) m_comment->setFocus();
    // The keyboard stays in the notes: in the selected mark's row (a new mark is selected).
    if (typing && NoteLooks::current() == NoteLook::List && c->selected())
        if (NoteField* field = noteFieldFor(*c->selected())) field->setFocus();
}

void EditorWindowController::noteTyped(qsizetype box, const QString& text) {
    // One note, two fields (its row and, in the sticky and glass looks, on the picture):
    // both show the same words at every keystroke.
    CanvasView* c = canvas();
    if (box < 0 || box >= c->markup().boxes.size()) return;
    c->markupForEditing().boxes[box].note = text;
    if (NoteField* field = noteFieldFor(box); field && field->text() != text) field->setText(text);
    c->showNoteText(box, text);
    c->update();
}

std::optional<qsizetype> EditorWindowController::typingBox() const {
    CanvasView* c = canvas();
    if (!c) return std::nullopt;
    if (c->noteField()->hasFocus() && c->editingNote()) return c->editingNote();
    for (const auto& [index, field] : m_boxFields)
        if (field->hasFocus()) return index;
    return std::nullopt;
}

void EditorWindowController::moveTypingTo(std::optional<qsizetype> box) {
    CanvasView* c = canvas();
    if (box && (*box < 0 || *box >= c->markup().boxes.size() || c->markup().boxes.at(*box).hides))
        box.reset();
    c->select(box);
    if (!box) {
        c->setEditingNote(std::nullopt);
        c->setFocus();
    } else if (NoteLooks::current() == NoteLook::List) {
        c->setEditingNote(std::nullopt);
        if (NoteField* field = noteFieldFor(*box)) {
            field->setFocus();
            m_notesScroll->ensureWidgetVisible(field);
        }
    } else {
        c->setEditingNote(box, true);
    }
    syncNotes();
}

void EditorWindowController::moveToNextNote(int step) {
    // The numbered marks in box order. Return goes on to the next one and, after the last,
    // ends typing; Tab and Shift-Tab go round.
    CanvasView* c = canvas();
    QList<qsizetype> marks;
    for (const auto& [index, field] : m_boxFields)
        marks.append(index);
    if (marks.isEmpty()) return;
    const std::optional<qsizetype> typing = typingBox();
    const std::optional<qsizetype> from = typing ? typing : c->selected();
    const qsizetype at = from ? marks.indexOf(*from) : -1;
    const qsizetype next = at < 0 && step < 0 ? marks.size() - 1 : at + step;
    moveTypingTo(marks.at((next + marks.size()) % marks.size()));
}

bool EditorWindowController::isTyping() const {
    QWidget* focus = focusWidget();
    return qobject_cast<QLineEdit*>(focus) || (qobject_cast<NoteField*>(focus) && focus->isVisible());
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

// ---------- saving and endings ----------

QString EditorWindowController::saveURL(CapturePage& page) {
    if (!page.savedURL)
        page.savedURL = CaptureStore::newFileURL(page.canvas->markup().cropImageRect.has_value());
    return *page.savedURL;
}

static const char* const diskFullWarning =
    "Couldn't save the picture. Your disk may be full. Free up some space, then try again.";

void EditorWindowController::savedFiles(bool all, std::function<void(QStringList)> done) {
    QList<SaveJob> jobs;
    bool failed = false;
    const MarkLook look = MarkLook::current();
    for (int i = 0; i < pageCount(); ++i) {
        CapturePage& page = m_pages.at(size_t(i));
        if (!page.isIncluded || (!all && i != m_current)) continue;
        try {
            jobs.append({page.canvas->markup(), saveURL(page), look});
        } catch (const StoreError& e) {
            qCWarning(logEditor) << "no library file for a page:" << e.what();
            failed = true;
        }
    }
    ++m_savesRunning;
    // The watcher belongs to the editor, which lives until its saves have ended.
    auto* watcher = new QFutureWatcher<QList<SaveOutcome>>(this);
    connect(watcher, &QFutureWatcher<QList<SaveOutcome>>::finished, this,
            [this, watcher, done, failed]() mutable {
                QStringList files;
                for (const SaveOutcome& o : watcher->result()) {
                    if (o.written)
                        files.append(o.path);
                    else if (o.rendered) {
                        qCWarning(logEditor) << "couldn't write" << o.path;
                        failed = true;
                    }
                }
                watcher->deleteLater();
                --m_savesRunning;
                if (failed) Toast::warn(QString::fromLatin1(diskFullWarning), isVisible() ? this : nullptr);
                Q_EMIT saved(files);
                if (done) done(files);
                if (m_finished) closingSavesEnded(failed);
            });
    watcher->setFuture(QtConcurrent::run([jobs] {
        QList<SaveOutcome> outcomes;
        for (const SaveJob& job : jobs)
            outcomes.append(runSave(job));
        return outcomes;
    }));
}

void EditorWindowController::saveAll(std::function<void(QStringList)> done) {
    savedFiles(true, std::move(done));
}

void EditorWindowController::withChosenFiles(const QString& verb, std::function<void(QStringList)> act) {
    if (m_ending || m_finished) return; // one press, one ending
    // Whatever the ending, the pictures must be saved before it can act; a failed save
    // leaves the editor open to try again.
    auto guarded = [this, act = std::move(act)](const QStringList& files) {
        if (files.isEmpty()) {
            m_ending = false;
            return;
        }
        act(files);
    };
    int included = 0;
    QList<QImage> pictures;
    for (const CapturePage& p : m_pages)
        if (p.isIncluded) {
            ++included;
            pictures.append(p.canvas->markup().image);
        }
    if (included < 2) {
        m_ending = true;
        saveAll(guarded);
        return;
    }
    // With several pages the user chooses this picture or all of them.
    SendChoiceWindow::ask(verb, canvas()->markup().image, pictures, included, [this, guarded](bool all) {
        if (m_ending || m_finished) return;
        m_ending = true;
        savedFiles(all, guarded);
    });
}

void EditorWindowController::sendToChat() {
    if (m_handsBack) {
        withChosenFiles(QStringLiteral("Add to Ombrel Prompts"), [this](const QStringList&) {
            finish(false);
            Toast::show(QStringLiteral("Added to Ombrel Prompts."));
            Platform::workspace().openApplication(QStringLiteral("com.ombrel.prompts"));
        });
        return;
    }
    withChosenFiles(QStringLiteral("Send to your chat"), [this](const QStringList& files) {
        finish(false);
        // The chat gets the keyboard only once this window has gone from the screen, so the
        // paste cannot land in a window that is still closing.
        QTimer::singleShot(0, qApp, [files] { ChatSender::send(files); });
    });
}

void EditorWindowController::copy() {
    withChosenFiles(QStringLiteral("Copy"), [this](const QStringList& files) {
        Clipboard::put(files);
        const qint64 previous = m_previousPid;
        finish(false);
        if (previous) Platform::windows().activate(previous);
        Toast::show(files.size() == 1
                        ? QStringLiteral("Copied. Paste it anywhere.")
                        : QStringLiteral("Copied %1 pictures. Paste them anywhere.").arg(files.size()));
    });
}

void EditorWindowController::share() {
    withChosenFiles(QStringLiteral("Share"), [this](const QStringList& files) {
        if (files.isEmpty()) return;
        finish(false);
        ShareMenu::popUpAt(files, QCursor::pos());
    });
}

void EditorWindowController::closeEditor(bool byEscape) {
    if (m_finished || m_ending) return;
    // Only pages the user marked are kept: an unmarked capture is not written again. A
    // tile sheet is kept even without marks.
    bool anyMarked = false;
    m_includedBeforeClose.clear();
    for (CapturePage& page : m_pages) {
        m_includedBeforeClose.push_back(page.isIncluded);
        const bool keep = page.canvas->markup().hasAnnotations() || page.tilesSource;
        anyMarked = anyMarked || keep;
        page.isIncluded = page.isIncluded && keep;
    }
    if (anyMarked) saveAll({});
    if (byEscape && anyMarked) Toast::show(QStringLiteral("Closed. Your marked picture is in Recent."));
    finish(byEscape);
}

void EditorWindowController::finish(bool) {
    if (m_finished) return;
    m_finished = true;
    m_dictation->stop();
    m_cursorTimer.stop();
    m_resizeSettled.stop();
    m_thumb.reset();
    m_chipPreview.reset();
    if (ShortcutsWindow* keys = ShortcutsWindow::current()) keys->close();
    hide();
    if (onClose) onClose();
}

void EditorWindowController::closingSavesEnded(bool failed) {
    if (failed && m_finished) {
        // Nothing is lost: the pictures come back, to be saved again once there is room.
        m_finished = false;
        m_ending = false;
        m_deleteWhenSaved = false;
        for (size_t i = 0; i < m_pages.size() && i < m_includedBeforeClose.size(); ++i)
            m_pages[i].isIncluded = m_includedBeforeClose[i];
        bringToFront();
        Toast::warn(QString::fromLatin1(diskFullWarning), this);
        if (onReopen) onReopen();
        return;
    }
    if (m_deleteWhenSaved && m_savesRunning == 0) deleteLater();
}

void EditorWindowController::deleteWhenSaved() {
    m_deleteWhenSaved = true;
    if (m_savesRunning == 0) deleteLater();
}

void EditorWindowController::closeEvent(QCloseEvent* event) {
    if (!m_finished) {
        event->ignore();
        closeEditor(false);
        return;
    }
    QWidget::closeEvent(event);
}

// ——— Dictation ———

std::function<void(const QString&)> EditorWindowController::boxNoteWriter(CanvasView* c, qsizetype i) {
    return [this, c = QPointer<CanvasView>(c), i](const QString& text) {
        if (!c || i >= c->markup().boxes.size()) return;
        c->markupForEditing().boxes[i].note = text;
        if (c->editingNote() == i && c->noteField()) c->noteField()->setText(text);
        c->update();
        if (NoteField* f = noteFieldFor(i); f && c == canvas()) f->setText(text);
    };
}

std::function<void(const QString&)> EditorWindowController::commentWriter(CanvasView* c) {
    return [this, c = QPointer<CanvasView>(c)](const QString& text) {
        if (!c) return;
        c->markupForEditing().comment = text;
        c->update();
        if (m_comment && c == canvas()) m_comment->setText(text);
    };
}

QToolButton* EditorWindowController::microphoneFor(NoteField* field,
                                                   std::function<void(const QString&)> write) {
    auto* mic = new QToolButton;
    mic->setObjectName(QStringLiteral("microphone"));
    mic->setIcon(Symbols::icon(QStringLiteral("mic"), mic->palette().color(QPalette::ButtonText)));
    mic->setToolTip(
        words(QStringLiteral("Speak this comment instead of typing (Command-D). Press any key to stop.")));
    mic->setCheckable(true);
    mic->setFocusPolicy(Qt::NoFocus); // the keyboard stays in the comment
    mic->setAutoRaise(true);
    connect(mic, &QToolButton::clicked, this,
            [this, mic, field = QPointer<NoteField>(field), write = std::move(write)] {
                if (m_dictation->isListening() && m_dictatingButton == mic) {
                    m_dictation->stop();
                    return;
                }
                mic->setChecked(false); // checked once listening has begun
                if (field) dictateInto(field, mic, write);
            });
    return mic;
}

void EditorWindowController::dictateInto(NoteField* field, QToolButton* button,
                                         std::function<void(const QString&)> write) {
    const QPointer<QToolButton> mic(button);
    const QPointer<NoteField> target(field);
    m_dictation->start(
        field->text(),
        [this, mic, target] {
            m_dictatingButton = mic;
            m_dictatingField = target;
            if (mic) {
                mic->setChecked(true);
                mic->setIcon(Symbols::icon(QStringLiteral("mic"), QColor(255, 80, 80)));
            }
            if (target) target->setFocus();
        },
        [write](const QString& text) { write(text); },
        [this, mic] {
            if (mic) {
                mic->setChecked(false);
                mic->setIcon(
                    Symbols::icon(QStringLiteral("mic"), mic->palette().color(QPalette::ButtonText)));
            }
            m_dictatingButton = nullptr;
            m_dictatingField = nullptr;
        },
        [this](const QString& problem) { Toast::warn(problem, this); });
}

void EditorWindowController::speakComment() {
    if (m_dictation->isListening()) {
        m_dictation->stop();
        return;
    }
    CanvasView* c = canvas();
    if (!c) return;
    std::optional<qsizetype> box = typingBox();
    if (!box && !(m_comment && m_comment->hasFocus())) box = c->selected();
    if (box) {
        NoteField* field = noteFieldFor(*box);
        if (!field) return;
        QToolButton* mic = field->parentWidget()
                               ? field->parentWidget()->findChild<QToolButton*>(QStringLiteral("microphone"),
                                                                                Qt::FindDirectChildrenOnly)
                               : nullptr;
        dictateInto(field, mic, boxNoteWriter(c, *box));
        return;
    }
    if (m_comment) dictateInto(m_comment, nullptr, commentWriter(c));
}

} // namespace ombrel
