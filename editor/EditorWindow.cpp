#include "EditorWindow.h"
#include "CommentWording.h"

#include "library/CaptureStore.h"
#include "library/Clipboard.h"
#include "markup/MarkStyle.h"
#include "markup/MarkupRender.h"
#include "platform/Defaults.h"
#include "platform/Notifier.h"
#include "platform/Platform.h"
#include "sending/ChatSender.h"
#include "sending/SendChoiceWindow.h"
#include "ui/Glass.h"
#include "ui/Symbols.h"
#include "ui/Toast.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
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

const char* const toolTitles[] = {"Mark", "Select", "Blur", "Crop"};
const char* const toolTips[] = {"Drag to draw a numbered box",
                                "Point at a button, image or text, and click to select it",
                                "Drag to blur something private", "Drag around the section to keep"};
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
    // A panel that floats above ordinary windows and takes the keys.
    setWindowFlags(Qt::Window | Qt::WindowStaysOnTopHint |
                   (style == CaptureStyle::OnScreen ? Qt::FramelessWindowHint : Qt::Widget));
    setAttribute(Qt::WA_DeleteOnClose, false);
    m_wording = new CommentWording(this, [this](const QString& message) { setStatus(message); });
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

QToolButton* EditorWindowController::addButton(QHBoxLayout* row, const QString& title, const QString& tip,
                                               std::function<void()> action) {
    auto* b = new QToolButton;
    b->setText(title);
    b->setToolTip(tip);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setFocusPolicy(Qt::NoFocus); // the keys stay with the canvas and the note fields
    if (action) connect(b, &QToolButton::clicked, this, std::move(action));
    row->addWidget(b);
    m_buttons.append(b);
    return b;
}

QWidget* EditorWindowController::buildToolbar() {
    auto* bar = new QWidget;
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(8, 6, 8, 2);
    auto make = [this, row](const QString& title, const QString& tip, std::function<void()> action) {
        return addButton(row, title, tip, std::move(action));
    };
    for (int i = 0; i < 4; ++i) {
        QToolButton* b = make(QString::fromLatin1(toolTitles[i]), QString::fromLatin1(toolTips[i]),
                              [this, i] { chooseTool(CanvasView::Tool(i)); });
        b->setCheckable(true);
        m_toolButtons.append(b);
    }
    buildUnderstandingControls(row);
    // Share, Crop into Tiles, Improve Wording, the keyboard shortcuts and the minimised
    // thumbnail join the window with the work that makes them real.
    row->addStretch(1);
    // Where the picture will go, beside the buttons that send it.
    m_target = new QLabel;
    m_target->setObjectName(QStringLiteral("target"));
    m_target->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_target->setStyleSheet(QStringLiteral("color: palette(mid);"));
    row->addWidget(m_target);
    row->addSpacing(6);
    make(QStringLiteral("Undo"),
         QStringLiteral("Go back one step: a mark, a blur, a crop, tiles or a removed screen (Command-Z)"),
         [this] { undo(); });
    make(QStringLiteral("Redo"), QStringLiteral("Go forward again after Undo (Shift-Command-Z)"),
         [this] { redo(); });
    QToolButton* add = make(
        QStringLiteral("Add"),
        QStringLiteral("Add another screen or picture to this set, each with its own comments"), nullptr);
    add->setObjectName(QStringLiteral("addButton"));
    add->setEnabled(true);
    auto* addMenu = new QMenu(add);
    addMenu->addAction(QStringLiteral("Capture Another Screen"), this, [this] {
        if (m_waitingForNextScreen) {
            if (onWantsAnotherCapture) onWantsAnotherCapture();
            return;
        }
        stepOutForNextScreen();
    });
    addMenu->addAction(QStringLiteral("Paste Image"), this, [this] {
        if (onPaste) onPaste();
    });
    addMenu->addAction(QStringLiteral("Open Files…"), this, [this] {
        if (onChooseFiles) onChooseFiles();
    });
    addMenu->addAction(QStringLiteral("Add from Phone…"), this, [this] {
        if (onAddFromPhone) onAddFromPhone();
    });
    connect(add, &QToolButton::clicked, this, [this, add, addMenu] {
        if (m_waitingForNextScreen) { // "Capture Now"
            if (onWantsAnotherCapture) onWantsAnotherCapture();
            return;
        }
        addMenu->popup(add->mapToGlobal(QPoint(0, add->height())));
    });
    make(QStringLiteral("Copy"),
         QStringLiteral(
             "Copy, close this, and go back to what you were doing. With several screens, Option-click to "
             "copy just this one."),
         [this] { copy(); });
    QToolButton* send = make(QStringLiteral("Send to Chat"), QString(), [this] { sendToChat(); });
    send->setObjectName(QStringLiteral("sendButton"));
    return bar;
}

QWidget* EditorWindowController::buildSecondRow() {
    auto* bar = new QWidget;
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(8, 0, 8, 4);
    auto make = [this, row](const QString& title, const QString& tip, std::function<void()> action) {
        return addButton(row, title, tip, std::move(action));
    };
    make(QStringLiteral("Clear All"),
         QStringLiteral("Removes every mark and blur on this screen. Undo brings them back."),
         [this] { canvas()->clearMarks(); });
    m_wording->explainWith(
        make(QStringLiteral("Improve Wording"), {}, [this] { m_wording->improveFocused(); }));
    make(QStringLiteral("Organise Steps"),
         QStringLiteral("Puts your marks in reading order, renumbers them, and tidies the wording"), [this] {
             canvas()->organise();
             setStatus(QStringLiteral("Organised top to bottom and renumbered. Undo puts it back."));
         });

    row->addWidget(new QLabel(QStringLiteral("Comments as: ")));
    m_look = new QComboBox;
    m_look->addItems({QStringLiteral("List under the picture"), QStringLiteral("Sticky notes"),
                      QStringLiteral("Glass bubbles")});
    m_look->setCurrentIndex(int(NoteLooks::current()));
    m_look->setFocusPolicy(Qt::NoFocus);
    connect(m_look, &QComboBox::activated, this, [this](int index) {
        NoteLooks::setCurrent(NoteLook(index));
        noteLookChanged();
    });
    row->addWidget(m_look);

    m_color = new QComboBox;
    m_color->setToolTip(QStringLiteral("Highlight colour"));
    m_color->setFocusPolicy(Qt::NoFocus);
    for (const PaletteChoice& c : HighlightPalette::choices())
        m_color->addItem(QIcon(QPixmap::fromImage(HighlightPalette::dot(c.color, 14))),
                         QString::fromLatin1(c.name));
    m_color->setCurrentText(HighlightPalette::currentName());
    connect(m_color, &QComboBox::activated, this, [this](int index) {
        const PaletteChoice& c = HighlightPalette::choices().at(index);
        HighlightPalette::setCurrentName(QString::fromLatin1(c.name));
        for (CapturePage& p : m_pages)
            p.canvas->applyColor(c.color);
    });
    row->addWidget(m_color);

    row->addStretch(1);
    return bar;
}

void EditorWindowController::buildViewControls(QHBoxLayout* row) {
    auto make = [this, row](const QString& title, const QString& tip, std::function<void()> action) {
        return addButton(row, title, tip, std::move(action));
    };
    row->addWidget(new QLabel(QStringLiteral("Window size: ")));
    m_size = new QComboBox;
    m_size->setFocusPolicy(Qt::NoFocus);
    for (const SizePreset& p : sizePresets())
        m_size->addItem(QString::fromLatin1(p.title));
    m_size->setCurrentIndex(1);
    connect(m_size, &QComboBox::activated, this, &EditorWindowController::chooseSize);
    row->addWidget(m_size);

    make(QStringLiteral("−"), QStringLiteral("Zoom out"), [this] {
        canvas()->setZoom(canvas()->zoom() / 1.25);
    })->setObjectName(QStringLiteral("zoomOut"));
    m_zoomLabel = new QLabel(QStringLiteral("100%"));
    row->addWidget(m_zoomLabel);
    make(QStringLiteral("+"), QStringLiteral("Zoom in. You can also pinch, and scroll to move around."),
         [this] { canvas()->setZoom(canvas()->zoom() * 1.25); })
        ->setObjectName(QStringLiteral("zoomIn"));
    make(QStringLiteral("Remove Screen"),
         QStringLiteral("Remove this screen from the set. Command-Z brings it back."),
         [this] { removeCurrentPage(); })
        ->setObjectName(QStringLiteral("removeScreen"));
    QToolButton* minimiseButton =
        make(QString(), QStringLiteral("Minimise to a small thumbnail"), [this] { minimise(); });
    minimiseButton->setObjectName(QStringLiteral("minimise"));
    minimiseButton->setIcon(Symbols::icon(QStringLiteral("arrow.down.right.and.arrow.up.left"),
                                          palette().color(QPalette::ButtonText)));
    minimiseButton->setToolButtonStyle(Qt::ToolButtonIconOnly);
    make(QStringLiteral("Close"), QString(), [this] { closeEditor(); });
}

void EditorWindowController::buildWindow() {
    auto* outer = new QVBoxLayout(this);
    outer->setSizeConstraint(QLayout::SetNoConstraint); // rows squeeze rather than widen the window
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    outer->addWidget(buildToolbar());
    outer->addWidget(buildSecondRow());

    m_stack = new QStackedWidget;
    m_stack->setMinimumHeight(200);
    outer->addWidget(m_stack, 1);

    m_strip = new QWidget;
    new QHBoxLayout(m_strip);
    m_strip->layout()->setContentsMargins(8, 2, 8, 2);
    outer->addWidget(m_strip);

    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setMaximumHeight(190);
    scroll->setMinimumHeight(96); // the whole-picture comment and at least two marks stay in view
    scroll->setFrameShape(QFrame::NoFrame);
    m_notes = new QWidget;
    m_notesLayout = new QVBoxLayout(m_notes);
    m_notesLayout->setContentsMargins(10, 4, 10, 4);
    m_notesLayout->setSpacing(4);
    scroll->setWidget(m_notes);
    outer->addWidget(scroll);

    auto* footer = new QWidget;
    auto* f = new QHBoxLayout(footer);
    f->setContentsMargins(10, 2, 10, 6);
    m_status = new QLabel;
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setMinimumWidth(0);
    f->addWidget(m_status, 1);
    f->addSpacing(12);
    buildViewControls(f);
    outer->addWidget(footer);
    refreshTargetLine();
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
        rebuildNotes();
        refreshUndoButtons();
        if (NoteLooks::current() != NoteLook::List && c->selected() &&
            !c->markup().boxes.at(*c->selected()).hides)
            c->setEditingNote(c->selected());
        else
            c->setEditingNote(std::nullopt);
        focusNoteOf(c->selected());
    };
    c->onCrop = [this, c] {
        if (c == canvas()) setStatus(QStringLiteral("Cropped. Undo brings the whole screen back."));
    };
    c->onNoteTyped = [this, c](qsizetype index, const QString& text) {
        if (index < c->markup().boxes.size()) {
            c->markupForEditing().boxes[index].note = text;
            c->update();
            if (NoteField* field = noteFieldFor(index); field && field->text() != text) field->setText(text);
        }
    };
    c->onNoteReturn = [this] { moveToNextNote(1); };
}

CanvasView* EditorWindowController::canvas() const {
    return m_pages.at(size_t(m_current)).canvas;
}

void EditorWindowController::showPage(int index) {
    if (index < 0 || index >= pageCount()) return;
    m_current = index;
    m_stack->setCurrentWidget(canvas());
    startReadings(m_pages.at(size_t(index)));
    rebuildNotes();
    rebuildPageStrip();
    refreshUndoButtons();
    m_zoomLabel->setText(QStringLiteral("%1%").arg(qRound(canvas()->zoom() * 100)));
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
        chip->setText(QString::number(i + 1));
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
    }
    static_cast<QHBoxLayout*>(layout)->addStretch(1);
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
    const int shown = std::min(index, pageCount() - 1);
    showPage(shown);
    m_removed = RemovedPage{removed, index, canvas()->undoCount()};
    setStatus(QStringLiteral("Screen removed. Undo brings it back."));
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
    canvas()->undo();
    refreshUndoButtons();
}

void EditorWindowController::redo() {
    canvas()->redo();
    refreshUndoButtons();
}

void EditorWindowController::refreshUndoButtons() {
    if (QToolButton* u = button(QStringLiteral("Undo")))
        u->setEnabled(canvas()->canUndo() || m_removed.has_value());
    if (QToolButton* r = button(QStringLiteral("Redo"))) r->setEnabled(canvas()->canRedo());
}

// ---------- notes list ----------

NoteField* EditorWindowController::noteFieldFor(qsizetype boxIndex) const {
    for (const auto& [index, field] : m_boxFields)
        if (index == boxIndex) return field;
    return nullptr;
}

void EditorWindowController::rebuildNotes() {
    while (QLayoutItem* item = m_notesLayout->takeAt(0)) {
        if (item->widget()) item->widget()->deleteLater();
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
    m_wording->attach(m_comment, QStringLiteral("%1/comment").arg(quintptr(c)),
                      [this, c](const QString& text) {
                          c->markupForEditing().comment = text;
                          c->update();
                          if (m_comment && c == canvas()) m_comment->setText(text);
                      });
    m_notesLayout->addWidget(m_comment);

    for (qsizetype i = 0; i < m.links.size(); ++i) {
        auto* tick = new QCheckBox(QStringLiteral("Web address"));
        tick->setToolTip(QStringLiteral(
            "Ticked, this web address goes in the picture, so whoever reads it knows which page it is"));
        tick->setChecked(m.links.at(i).included);
        auto* row = new QWidget;
        auto* h = new QHBoxLayout(row);
        h->setContentsMargins(0, 0, 0, 0);
        h->addWidget(tick);
        h->addWidget(new QLabel(m.links.at(i).url), 1);
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
        auto* h = new QHBoxLayout(row);
        h->setContentsMargins(0, 0, 0, 0);
        auto* badge = new QLabel(QString::number(m.number(i)));
        badge->setAlignment(Qt::AlignCenter);
        badge->setFixedSize(24, 24);
        badge->setStyleSheet(QStringLiteral("background:%1; color:%2; border-radius:12px; font-weight:bold;")
                                 .arg(m.color.name(), HighlightPalette::numberColor(m.color).name()));
        h->addWidget(badge);
        if (box.element) {
            auto* chip = new QLabel(*box.element);
            chip->setStyleSheet(QStringLiteral("background:#e4e8f7; border-radius:8px; padding:2px 6px;"));
            h->addWidget(chip);
        }
        auto* field = new NoteField(NoteField::Look::Boxed, box.note);
        field->setPlaceholderText(QStringLiteral("Your comment"));
        field->setToolTip(QStringLiteral("Your comment on this mark"));
        connect(field, &NoteField::textEdited, this, [c, i](const QString& text) {
            if (i < c->markup().boxes.size()) {
                c->markupForEditing().boxes[i].note = text;
                c->update();
            }
        });
        connect(field, &NoteField::returnPressed, this, [this] { moveToNextNote(1); });
        field->installEventFilter(this);
        h->addWidget(field, 1);
        h->addWidget(m_wording->wandFor(field, QStringLiteral("%1/%2").arg(quintptr(c)).arg(i),
                                        [this, c, i](const QString& text) {
                                            if (i >= c->markup().boxes.size()) return;
                                            c->markupForEditing().boxes[i].note = text;
                                            if (c->editingNote() == i && c->noteField())
                                                c->noteField()->setText(text);
                                            c->update();
                                            if (NoteField* f = noteFieldFor(i); f && c == canvas())
                                                f->setText(text);
                                        }));
        auto* remove = new QToolButton;
        remove->setText(QStringLiteral("✕"));
        remove->setToolTip(QStringLiteral("Remove this mark (Delete)"));
        remove->setFocusPolicy(Qt::NoFocus);
        connect(remove, &QToolButton::clicked, this, [this, c, i] { c->remove(i); });
        h->addWidget(remove);
        m_notesLayout->addWidget(row);
        m_boxFields.emplace_back(i, field);
    }
    m_notesLayout->addStretch(1);
}

void EditorWindowController::focusNoteOf(std::optional<qsizetype> box) {
    if (!box) return;
    if (NoteField* field = noteFieldFor(*box); field && NoteLooks::current() == NoteLook::List)
        field->setFocus();
}

void EditorWindowController::moveToNextNote(int step) {
    // The numbered marks in box order; after the last one typing ends.
    CanvasView* c = canvas();
    QList<qsizetype> marks;
    for (const auto& [index, field] : m_boxFields)
        marks.append(index);
    if (marks.isEmpty()) return;
    const qsizetype at = c->selected() ? marks.indexOf(*c->selected()) : -1;
    const qsizetype next = at + step;
    if (step > 0 && next >= marks.size()) {
        c->select(std::nullopt);
        c->setFocus();
        return;
    }
    c->select(marks.at((next + marks.size()) % marks.size()));
}

bool EditorWindowController::isTyping() const {
    QWidget* focus = QApplication::focusWidget();
    return qobject_cast<QLineEdit*>(focus) || qobject_cast<NoteField*>(focus);
}

bool EditorWindowController::eventFilter(QObject* watched, QEvent* event) {
    if (auto* chip = qobject_cast<QToolButton*>(watched); chip && chip->property("page").isValid()) {
        if (event->type() == QEvent::Enter)
            showChipPreview(chip->property("page").toInt(), chip);
        else if ((event->type() == QEvent::Leave || event->type() == QEvent::Hide) && m_chipPreview)
            m_chipPreview->hide();
    }
    if (event->type() == QEvent::KeyPress &&
        (qobject_cast<QLineEdit*>(watched) || qobject_cast<NoteField*>(watched))) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (watched != m_find && (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)) {
            moveToNextNote(key->key() == Qt::Key_Tab ? 1 : -1);
            if (!canvas()->selected() && !m_boxFields.empty()) // wrap around from the end
                canvas()->select(m_boxFields.front().first);
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            canvas()->select(std::nullopt);
            canvas()->setFocus();
            return true;
        }
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
    m_status->setStyleSheet(QString());
    m_status->setText(text);
}

void EditorWindowController::setProblem(const QString& text) {
    m_status->setStyleSheet(QStringLiteral("color: #c0392b;"));
    m_status->setText(text);
}
QString EditorWindowController::statusText() const {
    return m_status->text();
}
QString EditorWindowController::targetText() const {
    return m_target->text();
}

void EditorWindowController::refreshTargetLine() {
    if (m_handsBack) {
        m_target->setText(QStringLiteral("Your picture goes back to Ombrel Prompts."));
        if (QToolButton* send = button(QStringLiteral("sendButton")))
            send->setToolTip(
                QStringLiteral("Saves your picture and takes you back to Ombrel Prompts, which adds it to "
                               "your message. Shortcut: Command-Return."));
        return;
    }
    const std::optional<QString> chat = ChatSender::chatWithCursor();
    m_target->setText(chat ? QStringLiteral("I see your cursor in ") + *chat + QStringLiteral("'s chat box.")
                           : QStringLiteral("Click in your chat, then Send to Chat."));
    const bool pressesEnter = ChatSender::pressesEnter();
    if (QToolButton* send = button(QStringLiteral("sendButton")))
        send->setToolTip(QStringLiteral("Click in your chat, then press this. It pastes") +
                         (pressesEnter ? QStringLiteral(" and sends.") : QStringLiteral(".")) +
                         QStringLiteral(" Shortcut: Command-Return."));
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
    rebuildNotes();
    setStatus(QStringLiteral("Your marks are back, so you can change them."));
}

void EditorWindowController::redrawAll() {
    for (CapturePage& p : m_pages)
        p.canvas->update();
}

void EditorWindowController::noteLookChanged() {
    m_look->setCurrentIndex(int(NoteLooks::current()));
    rebuildNotes();
    redrawAll();
}

// ---------- keyboard ----------

void EditorWindowController::keyPressEvent(QKeyEvent* event) {
    const bool command = event->modifiers().testFlag(Qt::ControlModifier);
    const bool shift = event->modifiers().testFlag(Qt::ShiftModifier);
    if (command && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        sendToChat();
        return;
    }
    if (command && event->key() == Qt::Key_Z) {
        shift ? redo() : undo();
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        if (canvas()->selected() || canvas()->editingNote()) {
            canvas()->select(std::nullopt);
            canvas()->setEditingNote(std::nullopt);
            canvas()->setFocus();
        } else {
            closeEditor(true);
        }
        return;
    }
    if (!isTyping()) {
        if (!command && event->key() >= Qt::Key_1 && event->key() <= Qt::Key_4) {
            chooseTool(CanvasView::Tool(event->key() - Qt::Key_1));
            return;
        }
        if ((event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) && canvas()->selected()) {
            canvas()->remove(*canvas()->selected());
            rebuildNotes();
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

void EditorWindowController::savedFiles(bool all, std::function<void(QStringList)> done) {
    QList<SaveJob> jobs;
    const MarkLook look = MarkLook::current();
    for (int i = 0; i < pageCount(); ++i) {
        CapturePage& page = m_pages.at(size_t(i));
        if (!page.isIncluded || (!all && i != m_current)) continue;
        try {
            jobs.append({page.canvas->markup(), saveURL(page), look});
        } catch (const StoreError&) {
            Toast::warn(QStringLiteral(
                            "Couldn't save the picture. Your disk may be full. Free up some space, then try "
                            "again."),
                        this);
        }
    }
    auto* watcher = new QFutureWatcher<QList<SaveOutcome>>(this);
    connect(watcher, &QFutureWatcher<QList<SaveOutcome>>::finished, this, [this, watcher, done] {
        QStringList files;
        bool failed = false;
        for (const SaveOutcome& o : watcher->result()) {
            if (o.written)
                files.append(o.path);
            else if (o.rendered)
                failed = true;
        }
        watcher->deleteLater();
        if (failed)
            Toast::warn(QStringLiteral(
                            "Couldn't save the picture. Your disk may be full. Free up some space, then try "
                            "again."),
                        isVisible() ? this : nullptr);
        Q_EMIT saved(files);
        if (done) done(files);
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
    int included = 0;
    QList<QImage> pictures;
    for (const CapturePage& p : m_pages)
        if (p.isIncluded) {
            ++included;
            pictures.append(p.canvas->markup().image);
        }
    if (included < 2) {
        saveAll(std::move(act));
        return;
    }
    // With several pages the user chooses this picture or all of them.
    SendChoiceWindow::ask(verb, canvas()->markup().image, pictures, included,
                          [this, act = std::move(act)](bool all) { savedFiles(all, act); });
}

void EditorWindowController::sendToChat() {
    if (m_handsBack) {
        withChosenFiles(QStringLiteral("Add to Ombrel Prompts"), [this](const QStringList& files) {
            if (files.isEmpty()) return;
            finish(false);
            Toast::show(QStringLiteral("Added to Ombrel Prompts."));
            Platform::workspace().openApplication(QStringLiteral("com.ombrel.prompts"));
        });
        return;
    }
    withChosenFiles(QStringLiteral("Send to your chat"), [this](const QStringList& files) {
        if (files.isEmpty()) return;
        finish(false);
        ChatSender::send(files);
    });
}

void EditorWindowController::copy() {
    withChosenFiles(QStringLiteral("Copy"), [this](const QStringList& files) {
        if (files.isEmpty()) return;
        Clipboard::put(files);
        const qint64 previous = m_previousPid;
        finish(false);
        if (previous) Platform::windows().activate(previous);
        Toast::show(files.size() == 1
                        ? QStringLiteral("Copied. Paste it anywhere.")
                        : QStringLiteral("Copied %1 pictures. Paste them anywhere.").arg(files.size()));
    });
}

void EditorWindowController::closeEditor(bool byEscape) {
    if (m_finished) return;
    // Only pages the user marked are kept: an unmarked capture is not written again.
    bool anyMarked = false;
    for (CapturePage& page : m_pages) {
        const bool marked = page.canvas->markup().hasAnnotations();
        anyMarked = anyMarked || marked;
        page.isIncluded = page.isIncluded && marked;
    }
    if (anyMarked) saveAll({});
    if (byEscape && anyMarked) Toast::show(QStringLiteral("Closed. Your marked picture is in Recent."));
    finish(byEscape);
}

void EditorWindowController::finish(bool) {
    if (m_finished) return;
    m_finished = true;
    m_cursorTimer.stop();
    m_resizeSettled.stop();
    m_thumb.reset();
    m_chipPreview.reset();
    hide();
    if (onClose) onClose();
}

void EditorWindowController::closeEvent(QCloseEvent* event) {
    if (!m_finished) {
        event->ignore();
        closeEditor(false);
        return;
    }
    QWidget::closeEvent(event);
}

} // namespace ombrel
