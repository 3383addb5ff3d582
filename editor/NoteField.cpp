#include "editor/NoteField.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>

namespace ombrel {

NoteField::NoteField(Look look, const QString& text, QWidget* parent) : QPlainTextEdit(parent), m_look(look) {
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTabChangesFocus(true);
    setAttribute(Qt::WA_MacShowFocusRect, false);
    if (look == Look::Bare) {
        setFrameShape(QFrame::NoFrame);
        document()->setDocumentMargin(0);
        setViewportMargins(0, 0, 0, 0);
        setStyleSheet(QStringLiteral("QPlainTextEdit { background: transparent; border: none; }"));
        viewport()->setAutoFillBackground(false);
    } else {
        document()->setDocumentMargin(3);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
    setText(text);
    connect(document(), &QTextDocument::contentsChanged, this, [this] {
        if (m_look == Look::Boxed) fitHeight();
        if (!m_settingText) Q_EMIT textEdited(toPlainText());
    });
    if (m_look == Look::Boxed) fitHeight();
}

void NoteField::setText(const QString& text) {
    if (text == toPlainText()) return;
    m_settingText = true;
    setPlainText(text);
    m_settingText = false;
    moveCursor(QTextCursor::End);
}

int NoteField::heightForText() const {
    const QFontMetrics metrics(font());
    const int textWidth = std::max(1, viewport()->width() - 2 * int(document()->documentMargin()));
    // Lines as the field wraps them: each paragraph laid out at the field's width.
    int lines = 0;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        QTextLayout layout(block.text(), font());
        QTextOption option(Qt::AlignLeft);
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        int count = 0;
        while (true) {
            QTextLine line = layout.createLine();
            if (!line.isValid()) break;
            line.setLineWidth(textWidth);
            ++count;
        }
        layout.endLayout();
        lines += std::max(1, count);
    }
    lines = std::max(1, lines);
    return lines * metrics.lineSpacing() + 2 * int(document()->documentMargin()) + 2 * frameWidth() + 2;
}

QSize NoteField::sizeHint() const {
    const QSize base = QPlainTextEdit::sizeHint();
    return m_look == Look::Boxed ? QSize(base.width(), heightForText()) : base;
}

QSize NoteField::minimumSizeHint() const {
    const QSize base = QPlainTextEdit::minimumSizeHint();
    return m_look == Look::Boxed ? QSize(base.width(), heightForText()) : base;
}

void NoteField::fitHeight() {
    const int wanted = heightForText();
    if (height() != wanted || minimumHeight() != wanted) setFixedHeight(wanted);
}

void NoteField::keyPressEvent(QKeyEvent* event) {
    const bool isReturn = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (isReturn && !(event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::MetaModifier))) {
        Q_EMIT returnPressed();
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
    // The field never scrolls: keep the first line at the top however the caret moved.
    verticalScrollBar()->setValue(0);
}

void NoteField::resizeEvent(QResizeEvent* event) {
    QPlainTextEdit::resizeEvent(event);
    if (m_look == Look::Boxed) fitHeight();
}

void NoteField::insertFromMimeData(const QMimeData* source) {
    // Comments are plain text; pasted formatting and pictures are left behind.
    if (source && source->hasText()) insertPlainText(source->text());
}

} // namespace ombrel
