// The notes list under the picture: one row per numbered mark, kept in step with the
// canvas, with typing carried from mark to mark and comments spoken instead of typed.
#include "CommentWording.h"
#include "EditorWindow.h"
#include "understanding/CommentDictation.h"

#include "markup/MarkStyle.h"
#include "platform/Platform.h"
#include "ui/PlatformWords.h"
#include "ui/Symbols.h"
#include "ui/Toast.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QToolButton>

namespace ombrel {

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
