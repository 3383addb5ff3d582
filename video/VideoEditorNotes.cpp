// The notes list under the player and the style menus of notes and captions.
#include "video/VideoEditorWindow.h"

#include "ui/Symbols.h"
#include "ui/TimeText.h"
#include "video/VideoOverlayView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

namespace ombrel {

namespace {

// Adds a submenu of choices with the current one ticked.
template <class Choices, class Name, class Choose>
void addChoices(QMenu* menu, const QString& title, const Choices& choices, Name name, const QString& current,
                Choose choose) {
    QMenu* sub = menu->addMenu(title);
    for (const auto& choice : choices) {
        const QString label = name(choice);
        QAction* a = sub->addAction(label);
        a->setCheckable(true);
        a->setChecked(label == current);
        QObject::connect(a, &QAction::triggered, menu, [choose, choice] { choose(choice); });
    }
}

QString nameOf(const NamedMultiplier& row) {
    return QString::fromLatin1(row.name);
}
QString nameOf(const NamedColour& row) {
    return QString::fromLatin1(row.name);
}
QString nameOf(const QString& name) {
    return name;
}

QString sizeName(double multiplier) {
    for (const auto& row : VideoTextStyle::sizes())
        if (row.multiplier == multiplier) return nameOf(row);
    return {};
}

// The four submenus of a text style: face, size, text colour and background.
void addStyleChoices(QMenu* menu, const VideoTextStyle& style,
                     const std::function<void(const std::function<void(VideoTextStyle&)>&)>& change) {
    const auto pick = [](const auto& row) { return nameOf(row); };
    addChoices(menu, QStringLiteral("Font"), VideoTextStyle::fonts(), pick, style.font,
               [change](const QString& v) { change([v](VideoTextStyle& s) { s.font = v; }); });
    addChoices(
        menu, QStringLiteral("Size"), VideoTextStyle::sizes(), pick, sizeName(style.size),
        [change](const NamedMultiplier& v) { change([v](VideoTextStyle& s) { s.size = v.multiplier; }); });
    addChoices(menu, QStringLiteral("Text Colour"), VideoTextStyle::colors(), pick, style.color,
               [change](const NamedColour& v) { change([v](VideoTextStyle& s) { s.color = nameOf(v); }); });
    addChoices(
        menu, QStringLiteral("Background"), VideoTextStyle::backgrounds(), pick, style.background,
        [change](const NamedColour& v) { change([v](VideoTextStyle& s) { s.background = nameOf(v); }); });
}

} // namespace

void VideoEditorWindow::rebuildNotes() {
    while (QLayoutItem* item = m_notesStack->takeAt(0)) {
        if (QWidget* w = item->widget()) w->deleteLater();
        delete item;
    }
    m_noteFields.clear();
    for (int i = 0; i < m_edit.notes.size(); ++i) {
        const auto& note = m_edit.notes[i];
        auto* row = new QWidget;
        row->setObjectName(QStringLiteral("noteRow"));
        row->setAttribute(Qt::WA_StyledBackground);
        row->setStyleSheet(
            QStringLiteral("#noteRow { background: rgba(0, 0, 0, 0.28); border-radius: 8px; }"
                           "QLineEdit { background: transparent; color: rgb(235, 238, 245); border: none; }"
                           "QPushButton { color: rgb(235, 238, 245); border: none; padding: 0 4px; }"
                           "QPushButton:hover { text-decoration: underline; }"
                           "QToolButton { background: transparent; border: none; }"));
        row->setFixedHeight(34);
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(6, 3, 4, 3);
        line->setSpacing(8);
        auto* time = new QPushButton(formatTime(note.time), row);
        time->setToolTip(QStringLiteral("Go to this moment"));
        time->setFocusPolicy(Qt::NoFocus);
        time->setFlat(true);
        connect(time, &QPushButton::clicked, this, [this, i] { jumpToNote(i); });
        auto* field = new QLineEdit(note.text, row);
        field->setFrame(false);
        field->setPlaceholderText(QStringLiteral("Type what should appear on the video"));
        field->setToolTip(QStringLiteral("Your comment, as it appears on the video"));
        connect(field, &QLineEdit::textEdited, this, [this, i](const QString& text) {
            setNote(i, text);
            if (m_overlay->typingNote() == i) m_typingField->setText(text);
        });
        auto* style = makeButton(QString(), QStringLiteral("textformat"),
                                 QStringLiteral("Font, size and colours"), false, row);
        connect(style, &QToolButton::clicked, this, [this, i, style] {
            const std::unique_ptr<QMenu> menu = makeStyleMenu(i);
            menu->exec(style->mapToGlobal(QPoint(0, style->height() + 4)));
        });
        auto* remove =
            makeButton(QString(), QStringLiteral("xmark"), QStringLiteral("Remove this comment"), false, row);
        remove->setIcon(Symbols::icon(QStringLiteral("xmark"), QColor(255, 69, 58)));
        connect(remove, &QToolButton::clicked, this, [this, i] { removeNote(i); });
        line->addWidget(time);
        line->addWidget(field, 1);
        line->addWidget(style);
        line->addWidget(remove);
        m_notesStack->addWidget(row);
        m_noteFields.append(field);
    }
    const int n = int(m_edit.notes.size());
    m_notesScroll->setFixedHeight(notesListHeight(n));
    m_notesScroll->setVisible(n > 0);
    m_captionButton->setEnabled(!m_edit.captions.isEmpty());
}

std::unique_ptr<QMenu> VideoEditorWindow::makeStyleMenu(int noteIndex) {
    auto menu = std::make_unique<QMenu>(this);
    if (noteIndex < 0 || noteIndex >= m_edit.notes.size()) return menu;
    addStyleChoices(menu.get(), m_edit.notes[noteIndex].style,
                    [this, noteIndex](const std::function<void(VideoTextStyle&)>& change) {
                        if (noteIndex >= m_edit.notes.size()) return;
                        setEdit([&](VideoEdit& e) { change(e.notes[noteIndex].style); });
                        VideoTextStyle::last = m_edit.notes[noteIndex].style;
                        if (m_overlay->typingNote() == noteIndex) layOutTypingField();
                    });
    return menu;
}

void VideoEditorWindow::setCaptionStyle(const std::function<void(CaptionStyle&)>& change, bool custom) {
    setEdit([&](VideoEdit& e) {
        change(e.captionStyle);
        if (custom) e.captionStyle.look = QStringLiteral("Custom");
    });
    CaptionStyle::last = m_edit.captionStyle;
    if (m_overlay->editingCaption()) layOutCaptionField();
}

std::unique_ptr<QMenu> VideoEditorWindow::makeCaptionMenu() {
    auto menu = std::make_unique<QMenu>(this);
    for (const CaptionStyle& look : CaptionStyle::looks()) {
        QAction* a = menu->addAction(look.look);
        a->setCheckable(true);
        a->setChecked(look.look == m_edit.captionStyle.look);
        connect(a, &QAction::triggered, this, [this, look] {
            setCaptionStyle(
                [&look](CaptionStyle& s) {
                    const QString position = s.position;
                    s = look;
                    s.position = position; // a design keeps where the captions are
                },
                false);
        });
    }
    menu->addSeparator();
    const CaptionStyle& now = m_edit.captionStyle;
    addChoices(
        menu.get(), QStringLiteral("Position"), CaptionStyle::positions(), [](const QString& v) { return v; },
        now.position,
        [this](const QString& v) { setCaptionStyle([&v](CaptionStyle& s) { s.position = v; }, true); });
    addStyleChoices(menu.get(), now.text, [this](const std::function<void(VideoTextStyle&)>& change) {
        setCaptionStyle([&change](CaptionStyle& s) { change(s.text); }, true);
    });
    const QStringList shapes{QStringLiteral("Full Bar"), QStringLiteral("Fits the Words")};
    addChoices(
        menu.get(), QStringLiteral("Background Shape"), shapes, [](const QString& v) { return v; },
        now.fullWidth ? shapes[0] : shapes[1],
        [this, shapes](const QString& v) {
            setCaptionStyle([&](CaptionStyle& s) { s.fullWidth = v == shapes[0]; }, true);
        });
    menu->addSeparator();
    connect(menu->addAction(QStringLiteral("Remove Captions")), &QAction::triggered, this, [this] {
        endTyping();
        setEdit([](VideoEdit& e) { e.captions.clear(); });
        CaptionStyle::last = m_edit.captionStyle;
        rebuildNotes();
    });
    return menu;
}

void VideoEditorWindow::showCaptionMenu() {
    const std::unique_ptr<QMenu> menu = makeCaptionMenu();
    menu->exec(m_captionButton->mapToGlobal(QPoint(0, m_captionButton->height() + 4)));
}

} // namespace ombrel
