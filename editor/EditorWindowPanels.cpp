// The editor's controls: three dark glass panels (the toolbar, the notes list and the
// footer) that float over the picture when it lies over its own screen, and stand around
// it in the mini panel. Also the look controls (note look, font, text size, border, paper,
// colour) and the shortcut keys shown in the tool tips.
#include "CommentWording.h"
#include "EditorWindow.h"

#include "editor/FlowLayout.h"
#include "markup/MarkStyle.h"
#include "platform/Notifier.h"
#include "ui/Glass.h"
#include "ui/PlatformWords.h"
#include "ui/Symbols.h"

#include <QActionGroup>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QSizeGrip>
#include <QWindow>

namespace ombrel {

namespace {

constexpr int panelMargin = 12; // between the panels and the window's edges (on screen)
constexpr int miniMargin = 8;
constexpr int notesWidthOnScreen = 360;
constexpr int notesMaxHeightMini = 190;
constexpr qreal panelRadius = 14;

const char* const toolTitles[] = {"Mark", "Select", "Blur", "Crop"};
const char* const toolTips[] = {"Drag to draw a numbered box",
                                "Point at a button, image or text, and click to select it",
                                "Drag to blur something private", "Drag around the section to keep"};

const QColor iconColour(235, 236, 240);

// The controls inside the glass panels: light text on the dark glass.
QString panelStyle() {
    return QStringLiteral(R"(
        QLabel { color: white; background: transparent; }
        QLabel#secondary, QLabel#target { color: rgba(255,255,255,160); }
        QLabel#problem { color: rgb(255,140,120); }
        QToolButton { color: white; background: rgba(255,255,255,22); border: 1px solid rgba(255,255,255,30);
                      border-radius: 7px; padding: 3px 8px; }
        QToolButton:hover { background: rgba(255,255,255,44); }
        QToolButton:pressed, QToolButton:checked { background: rgba(150,120,255,150); }
        QToolButton:disabled { color: rgba(255,255,255,80); background: rgba(255,255,255,10); }
        QToolButton#sendButton { background: rgb(98,84,236); border: 1px solid rgba(190,175,255,160);
                                 font-weight: 600; }
        QToolButton#sendButton:hover { background: rgb(118,104,246); }
        QToolButton::menu-indicator { image: none; width: 0; }
        QLineEdit { color: white; background: rgba(255,255,255,24); border: 1px solid rgba(255,255,255,46);
                    border-radius: 7px; padding: 3px 8px; selection-background-color: rgb(98,84,236); }
        QPlainTextEdit { color: white; background: rgba(255,255,255,20); border: 1px solid rgba(255,255,255,40);
                         border-radius: 7px; selection-background-color: rgb(98,84,236); }
        QPlainTextEdit:focus { border: 1px solid rgba(170,150,255,220); }
        QComboBox { color: white; background: rgba(255,255,255,22); border: 1px solid rgba(255,255,255,30);
                    border-radius: 7px; padding: 3px 8px; }
        QComboBox QAbstractItemView { color: white; background: rgb(44,46,52);
                                      selection-background-color: rgb(98,84,236); }
        QCheckBox { color: white; }
        QScrollArea, QWidget#notesList { background: transparent; }
        QScrollBar:vertical { background: transparent; width: 8px; margin: 2px; }
        QScrollBar::handle:vertical { background: rgba(255,255,255,70); border-radius: 3px; min-height: 24px; }
        QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }
        QWidget#noteRow[current="true"] { background: rgba(150,120,255,40); border-radius: 8px; }
    )");
}

// A glass panel whose empty background moves the window in the mini panel (it has no
// title bar of its own).
class Panel : public GlassView {
  public:
    Panel(EditorWindowController* editor, bool movesWindow)
        : GlassView(panelRadius), m_editor(editor), m_moves(movesWindow) {}

  protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (!m_moves || event->button() != Qt::LeftButton) return GlassView::mousePressEvent(event);
        QWindow* window = m_editor->windowHandle();
        // The window manager moves it where it can (and keeps it on a screen).
        if (window && window->startSystemMove()) return;
        m_grab = event->globalPosition().toPoint() - m_editor->pos();
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        if (m_grab && (event->buttons() & Qt::LeftButton))
            m_editor->move(event->globalPosition().toPoint() - *m_grab);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        m_grab.reset();
        GlassView::mouseReleaseEvent(event);
    }

  private:
    EditorWindowController* m_editor;
    bool m_moves;
    std::optional<QPoint> m_grab;
};

QToolButton* iconButton(const QString& symbol, const QString& tip) {
    auto* b = new QToolButton;
    b->setIcon(Symbols::icon(symbol, iconColour));
    b->setIconSize(QSize(14, 14));
    b->setToolTip(words(tip));
    b->setAccessibleName(words(tip));
    b->setToolButtonStyle(Qt::ToolButtonIconOnly);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

QComboBox* choiceBox(const QString& tip) {
    auto* box = new QComboBox;
    box->setToolTip(tip);
    box->setFocusPolicy(Qt::NoFocus);
    box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    return box;
}

} // namespace

QToolButton* EditorWindowController::addButton(QLayout* row, const QString& title, const QString& tip,
                                               std::function<void()> action) {
    auto* b = new QToolButton;
    b->setText(title);
    b->setToolTip(words(tip));
    b->setProperty("baseTip", words(tip));
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setFocusPolicy(Qt::NoFocus); // the keys stay with the canvas and the note fields
    if (action) connect(b, &QToolButton::clicked, this, std::move(action));
    row->addWidget(b);
    m_buttons.append(b);
    return b;
}

void EditorWindowController::buildWindow() {
    m_stack = new QStackedWidget(this);
    m_stack->setObjectName(QStringLiteral("pictures"));
    const bool onScreen = m_style == CaptureStyle::OnScreen;
    m_toolbarPanel = buildToolbar();
    m_notesPanel = buildNotesPanel();
    m_footerPanel = buildFooter();
    for (QWidget* panel : {m_toolbarPanel, m_notesPanel, m_footerPanel}) {
        // Light controls on the dark glass; the notes on the picture keep their own ink.
        panel->setStyleSheet(panelStyle());
        panel->setParent(this);
        panel->raise();
    }
    if (!onScreen) {
        // Without a title bar the window is resized from this corner.
        auto* grip = new QSizeGrip(m_footerPanel);
        grip->setObjectName(QStringLiteral("sizeGrip"));
        grip->setFixedSize(14, 14);
    }
    refreshTargetLine();
    refreshShortcutLabels();
    connect(&Notifier::instance(), &Notifier::EditorShortcutsChanged, this,
            &EditorWindowController::refreshShortcutLabels);
}

QWidget* EditorWindowController::buildToolbar() {
    auto* panel = new Panel(this, m_style == CaptureStyle::MiniPanel);
    panel->setObjectName(QStringLiteral("toolbarPanel"));
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(10, 8, 10, 8);
    column->setSpacing(6);
    auto* row = new FlowLayout(nullptr, 6);
    column->addLayout(row);
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
    make(QStringLiteral("Undo"),
         QStringLiteral("Go back one step: a mark, a blur, a crop, tiles or a removed screen (Command-Z)"),
         [this] { undo(); });
    make(QStringLiteral("Redo"), QStringLiteral("Go forward again after Undo (Shift-Command-Z)"),
         [this] { redo(); });
    QToolButton* add = make(
        QStringLiteral("Add"),
        QStringLiteral("Add another screen or picture to this set, each with its own comments"), nullptr);
    add->setObjectName(QStringLiteral("addButton"));
    auto* addMenu = new QMenu(add);
    addMenu->setObjectName(QStringLiteral("addMenu"));
    addMenu->addAction(QStringLiteral("Capture Another Screen"), this,
                       [this] { perform(EditorShortcut::Add); });
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
    QToolButton* share =
        make(QStringLiteral("Share"),
             QStringLiteral("AirDrop, Mail, Messages, Bluetooth, or save to a drive. With several screens, "
                            "Option-click to share just this one."),
             [this] { this->share(); });
    share->setObjectName(QStringLiteral("shareButton"));
    make(QStringLiteral("Copy"),
         QStringLiteral(
             "Copy, close this, and go back to what you were doing. With several screens, Option-click to "
             "copy just this one."),
         [this] { copy(); });
    QToolButton* send = make(QStringLiteral("Send to Chat"), QString(), [this] { sendToChat(); });
    send->setObjectName(QStringLiteral("sendButton"));

    row->addBreak();
    make(QStringLiteral("Crop into Tiles"),
         QStringLiteral("Cuts out every mark and lays them out as tiles, each with its number and comment"),
         [this] { cropIntoTiles(); });
    make(QStringLiteral("Clear All"),
         QStringLiteral("Removes every mark and blur on this screen. Undo brings them back."),
         [this] { canvas()->clearMarks(); });
    make(QStringLiteral("Organise Steps"),
         QStringLiteral("Puts your marks in reading order, renumbers them, and tidies the wording"), [this] {
             canvas()->organise();
             setStatus(QStringLiteral("Organised top to bottom and renumbered. Undo puts it back."));
         });
    QToolButton* improve =
        make(QStringLiteral("Improve Wording"), {}, [this] { m_wording->improveFocused(); });
    improve->setObjectName(QStringLiteral("improveWording"));
    m_wording->explainWith(improve);
    make(QStringLiteral("Speak"),
         QStringLiteral("Speak this comment instead of typing (Command-D). Press any key to stop."),
         [this] { speakComment(); });
    connect(m_wording, &CommentWording::tipsChanged, this, &EditorWindowController::refreshShortcutLabels);
    buildStyleControls(row);
    QToolButton* keys =
        iconButton(QStringLiteral("questionmark.circle"),
                   QStringLiteral("Keyboard shortcuts. Press ? to see them, and change any key."));
    keys->setObjectName(QStringLiteral("keysButton"));
    keys->setProperty("baseTip", keys->toolTip());
    connect(keys, &QToolButton::clicked, this, &EditorWindowController::showShortcuts);
    row->addWidget(keys);
    m_buttons.append(keys);

    // Where the picture will go.
    m_target = new QLabel;
    m_target->setObjectName(QStringLiteral("target"));
    m_target->setWordWrap(true);
    column->addWidget(m_target);
    return panel;
}

void EditorWindowController::buildStyleControls(QLayout* row) {
    auto* lookRow = new QWidget;
    auto* h = new QHBoxLayout(lookRow);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(4);
    h->addWidget(new QLabel(QStringLiteral("Comments as: ")));
    m_look = choiceBox(QString());
    m_look->setObjectName(QStringLiteral("lookBox"));
    m_look->addItems({QStringLiteral("List under the picture"), QStringLiteral("Sticky notes"),
                      QStringLiteral("Glass bubbles")});
    connect(m_look, &QComboBox::activated, this, [this](int index) {
        NoteLooks::setCurrent(NoteLook(index));
        noteLookChanged();
    });
    h->addWidget(m_look);
    row->addWidget(lookRow);

    m_font = choiceBox(QStringLiteral("Comment font"));
    m_font->setObjectName(QStringLiteral("fontBox"));
    m_font->addItems(MarkStyle::fonts());
    connect(m_font, &QComboBox::textActivated, this, &EditorWindowController::chooseFont);
    row->addWidget(m_font);

    m_textSize = choiceBox(QStringLiteral("Comment text size. Go smaller when you have lots of comments."));
    m_textSize->setObjectName(QStringLiteral("textSizeBox"));
    for (const NamedScale& s : MarkStyle::sizes())
        m_textSize->addItem(QString::fromLatin1(s.name));
    connect(m_textSize, &QComboBox::textActivated, this, &EditorWindowController::chooseTextSize);
    row->addWidget(m_textSize);

    m_paperButton = new QToolButton;
    m_paperButton->setObjectName(QStringLiteral("borderPaperButton"));
    m_paperButton->setText(QStringLiteral("Border"));
    m_paperButton->setFocusPolicy(Qt::NoFocus);
    m_paperButton->setPopupMode(QToolButton::InstantPopup);
    auto* menu = new QMenu(m_paperButton);
    menu->setObjectName(QStringLiteral("borderPaperMenu"));
    m_paperButton->setMenu(menu);
    // The paper section names the note it changes, which depends on the moment.
    connect(menu, &QMenu::aboutToShow, this, &EditorWindowController::fillPaperMenu);
    fillPaperMenu();
    row->addWidget(m_paperButton);

    m_color = choiceBox(QStringLiteral("Highlight colour"));
    m_color->setObjectName(QStringLiteral("colorBox"));
    for (const PaletteChoice& c : HighlightPalette::choices())
        m_color->addItem(QIcon(QPixmap::fromImage(HighlightPalette::dot(c.color, 14))),
                         QString::fromLatin1(c.name));
    connect(m_color, &QComboBox::activated, this, [this](int index) {
        const PaletteChoice& c = HighlightPalette::choices().at(index);
        HighlightPalette::setCurrentName(QString::fromLatin1(c.name));
        for (CapturePage& p : m_pages)
            p.canvas->applyColor(c.color);
        m_notesBuiltFor.clear(); // the badges take the colour
        syncNotes();
    });
    row->addWidget(m_color);
    refreshStyleControls();
}

void EditorWindowController::fillPaperMenu() {
    QMenu* menu = m_paperButton->menu();
    menu->clear();
    menu->addSection(QStringLiteral("Mark Border"));
    const QString border = MarkStyle::borderName();
    for (const NamedScale& b : MarkStyle::borders()) {
        QAction* a = menu->addAction(QString::fromLatin1(b.name), this,
                                     [this, name = QString::fromLatin1(b.name)] { chooseBorder(name); });
        a->setCheckable(true);
        a->setChecked(border == QLatin1String(b.name));
    }
    const bool sticky = NoteLooks::current() == NoteLook::Sticky;
    const std::optional<qsizetype> selected = canvas() ? canvas()->selected() : std::nullopt;
    const bool forSelected = sticky && selected && !canvas()->markup().boxes.at(*selected).hides;
    menu->addSection(!sticky       ? QStringLiteral("Paper colours are for sticky notes")
                     : forSelected ? QStringLiteral("Paper colour for this sticky note")
                                   : QStringLiteral("Paper colour for new sticky notes"));
    const int paper = forSelected ? canvas()->markup().boxes.at(*selected).paper : NotePaper::current();
    for (int i = 0; i <= NotePaper::lastIndex; ++i) {
        const PaperColors& c = NotePaper::colors().at(size_t(i));
        QAction* a = menu->addAction(QIcon(QPixmap::fromImage(HighlightPalette::dot(c.top, 14))),
                                     QString::fromLatin1(c.name), this, [this, i] { choosePaper(i); });
        a->setCheckable(true);
        a->setChecked(paper == i);
        a->setEnabled(sticky);
    }
}

void EditorWindowController::refreshStyleControls() {
    if (!m_look) return;
    m_look->setCurrentIndex(int(NoteLooks::current()));
    m_font->setCurrentText(MarkStyle::fontName());
    m_textSize->setCurrentText(MarkStyle::sizeName());
    m_color->setCurrentText(HighlightPalette::currentName());
    m_paperButton->setToolTip(NoteLooks::current() == NoteLook::Sticky
                                  ? QStringLiteral("Mark border, and paper colour for sticky notes")
                                  : QStringLiteral("Mark border and paper colour"));
}

QWidget* EditorWindowController::buildNotesPanel() {
    auto* panel = new Panel(this, false);
    panel->setObjectName(QStringLiteral("notesPanel"));
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(6, 6, 6, 6);
    m_notesScroll = new QScrollArea;
    m_notesScroll->setWidgetResizable(true);
    m_notesScroll->setFrameShape(QFrame::NoFrame);
    m_notesScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_notes = new QWidget;
    m_notes->setObjectName(QStringLiteral("notesList"));
    m_notesLayout = new QVBoxLayout(m_notes);
    m_notesLayout->setContentsMargins(4, 2, 4, 2);
    m_notesLayout->setSpacing(4);
    m_notesScroll->setWidget(m_notes);
    column->addWidget(m_notesScroll);
    return panel;
}

QWidget* EditorWindowController::buildFooter() {
    auto* panel = new Panel(this, m_style == CaptureStyle::MiniPanel);
    panel->setObjectName(QStringLiteral("footerPanel"));
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(10, 6, 18, 6);
    column->setSpacing(4);
    m_strip = new QWidget;
    new QHBoxLayout(m_strip);
    m_strip->layout()->setContentsMargins(0, 0, 0, 0);
    column->addWidget(m_strip);
    auto* row = new FlowLayout(nullptr, 6);
    column->addLayout(row);
    m_status = new QLabel;
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setWordWrap(true);
    m_status->setMinimumWidth(220);
    m_status->setMaximumWidth(420);
    row->addWidget(m_status);
    auto make = [this, row](const QString& title, const QString& tip, std::function<void()> action) {
        return addButton(row, title, tip, std::move(action));
    };
    if (m_style == CaptureStyle::MiniPanel) {
        auto* sizeRow = new QWidget;
        auto* h = new QHBoxLayout(sizeRow);
        h->setContentsMargins(0, 0, 0, 0);
        h->setSpacing(4);
        h->addWidget(new QLabel(QStringLiteral("Window size: ")));
        m_size = choiceBox(QString());
        m_size->setObjectName(QStringLiteral("sizeBox"));
        for (const SizePreset& p : sizePresets())
            m_size->addItem(QString::fromLatin1(p.title));
        connect(m_size, &QComboBox::activated, this, &EditorWindowController::chooseSize);
        h->addWidget(m_size);
        row->addWidget(sizeRow);
    }
    // The zoom buttons and their label stay together when the row wraps.
    auto* zoom = new QWidget;
    auto* z = new QHBoxLayout(zoom);
    z->setContentsMargins(0, 0, 0, 0);
    z->setSpacing(4);
    addButton(z, QStringLiteral("−"), QStringLiteral("Zoom out"), [this] {
        canvas()->setZoom(canvas()->zoom() / 1.25);
    })->setObjectName(QStringLiteral("zoomOut"));
    m_zoomLabel = new QLabel(QStringLiteral("100%"));
    m_zoomLabel->setObjectName(QStringLiteral("zoomLabel"));
    m_zoomLabel->setAlignment(Qt::AlignCenter);
    m_zoomLabel->setMinimumWidth(42);
    z->addWidget(m_zoomLabel);
    addButton(z, QStringLiteral("+"),
              QStringLiteral("Zoom in. You can also pinch, and scroll to move around."),
              [this] { canvas()->setZoom(canvas()->zoom() * 1.25); })
        ->setObjectName(QStringLiteral("zoomIn"));
    row->addWidget(zoom);
    QToolButton* remove =
        iconButton(QStringLiteral("trash"),
                   QStringLiteral("Remove this screen from the set. Command-Z brings it back."));
    remove->setObjectName(QStringLiteral("removeScreen"));
    connect(remove, &QToolButton::clicked, this, [this] { removeCurrentPage(); });
    row->addWidget(remove);
    m_buttons.append(remove);
    QToolButton* minimiseButton = iconButton(QStringLiteral("arrow.down.right.and.arrow.up.left"),
                                             QStringLiteral("Minimise to a small thumbnail"));
    minimiseButton->setObjectName(QStringLiteral("minimise"));
    connect(minimiseButton, &QToolButton::clicked, this, [this] { minimise(); });
    row->addWidget(minimiseButton);
    m_buttons.append(minimiseButton);
    make(QStringLiteral("Close"), QString(), [this] { closeEditor(); });
    return panel;
}

int EditorWindowController::controlsHeight(int width) const {
    // The mini panel's panels stacked above and below the picture, at a window width.
    const int inner = std::max(1, width - 2 * miniMargin);
    const int notes = std::min(notesMaxHeightMini, m_notesPanel->sizeHint().height());
    return m_toolbarPanel->heightForWidth(inner) + notes + m_footerPanel->heightForWidth(inner) +
           5 * miniMargin;
}

void EditorWindowController::layoutPanels() {
    if (!m_stack) return;
    // Rows may have come or gone (the page strip, a wrapped status): measure afresh.
    for (QWidget* panel : {m_toolbarPanel, m_footerPanel})
        panel->layout()->invalidate();
    const QRect area = rect();
    // The notes list as tall as its rows (they may not be laid out yet).
    int notesContent =
        14 + m_notesLayout->contentsMargins().top() + m_notesLayout->contentsMargins().bottom();
    for (int i = 0; i < m_notesLayout->count(); ++i)
        if (QWidget* w = m_notesLayout->itemAt(i)->widget();
            w && !(w->isHidden() && w->testAttribute(Qt::WA_WState_ExplicitShowHide)))
            notesContent += w->sizeHint().height() + m_notesLayout->spacing();
    if (m_style == CaptureStyle::OnScreen) {
        // The picture lies over its screen at its own size; the panels float over it.
        m_stack->setGeometry(area);
        const int width = std::min(area.width() - 2 * panelMargin, m_toolbarPanel->sizeHint().width());
        const int toolbarHeight = m_toolbarPanel->heightForWidth(width);
        m_toolbarPanel->setGeometry(area.center().x() - width / 2, panelMargin, width, toolbarHeight);
        const int footerWidth = std::min(area.width() - 2 * panelMargin, m_footerPanel->sizeHint().width());
        const int footerHeight = m_footerPanel->heightForWidth(footerWidth);
        m_footerPanel->setGeometry(area.center().x() - footerWidth / 2,
                                   area.bottom() - panelMargin - footerHeight, footerWidth, footerHeight);
        const int notesTop = panelMargin + toolbarHeight + panelMargin;
        const int room = area.height() - notesTop - footerHeight - 2 * panelMargin;
        const int notesWidth = std::min(notesWidthOnScreen, area.width() - 2 * panelMargin);
        m_notesPanel->setGeometry(area.right() - panelMargin - notesWidth, notesTop, notesWidth,
                                  std::max(60, std::min(room, notesContent)));
    } else {
        const int inner = area.width() - 2 * miniMargin;
        const int toolbarHeight = m_toolbarPanel->heightForWidth(inner);
        const int footerHeight = m_footerPanel->heightForWidth(inner);
        const int notesHeight = std::min(notesMaxHeightMini, notesContent);
        m_toolbarPanel->setGeometry(miniMargin, miniMargin, inner, toolbarHeight);
        m_footerPanel->setGeometry(miniMargin, area.bottom() - miniMargin - footerHeight + 1, inner,
                                   footerHeight);
        const int notesTop = m_footerPanel->y() - miniMargin - notesHeight;
        m_notesPanel->setGeometry(miniMargin, notesTop, inner, notesHeight);
        const int pictureTop = m_toolbarPanel->geometry().bottom() + 1 + miniMargin;
        m_stack->setGeometry(miniMargin, pictureTop, inner, std::max(40, notesTop - miniMargin - pictureTop));
        if (auto* grip = m_footerPanel->findChild<QSizeGrip*>(QStringLiteral("sizeGrip")))
            grip->move(m_footerPanel->width() - grip->width() - 3,
                       m_footerPanel->height() - grip->height() - 3);
    }
}

void EditorWindowController::paintEvent(QPaintEvent*) {
    if (m_style == CaptureStyle::OnScreen) return; // the picture covers the window
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 16, 16);
    p.fillPath(path, QColor(22, 23, 27));
    p.setPen(QPen(GlassPalette::rim, 1));
    p.drawPath(path);
}

void EditorWindowController::refreshShortcutLabels() {
    // Each command with a key says it in its tool tip.
    auto label = [](QWidget* w, std::optional<EditorShortcut> s) {
        if (!w) return;
        const QString base =
            w->property("baseTip").isValid() ? w->property("baseTip").toString() : w->toolTip();
        w->setProperty("baseTip", base);
        if (!s || !EditorShortcuts::key(*s))
            w->setToolTip(base);
        else
            w->setToolTip(base + QStringLiteral(" Key: ") + EditorShortcuts::keyLabel(*s));
    };
    label(button(QStringLiteral("sendButton")), EditorShortcut::Send);
    label(button(QStringLiteral("Copy")), EditorShortcut::Copy);
    label(button(QStringLiteral("shareButton")), EditorShortcut::Share);
    label(button(QStringLiteral("addButton")), EditorShortcut::Add);
    label(button(QStringLiteral("Auto-Blur")), EditorShortcut::Blur);
    label(button(QStringLiteral("Crop into Tiles")), EditorShortcut::Tiles);
    label(button(QStringLiteral("Organise Steps")), EditorShortcut::Organise);
    label(button(QStringLiteral("improveWording")), EditorShortcut::Wand);
    label(button(QStringLiteral("Speak")), EditorShortcut::Speak);
    label(button(QStringLiteral("Undo")), EditorShortcut::Undo);
    label(button(QStringLiteral("Redo")), EditorShortcut::Redo);
    label(button(QStringLiteral("keysButton")), EditorShortcut::Keys);
    label(m_find, EditorShortcut::Find);
    label(m_look, EditorShortcut::Look);
}

} // namespace ombrel
