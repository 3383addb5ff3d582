#pragma once
// A comment field that wraps its text instead of scrolling: on the canvas it lies over the
// note, which wraps the same way; in the notes list its row grows a line at a time.

#include <QPlainTextEdit>

namespace ombrel {

class NoteField : public QPlainTextEdit {
    Q_OBJECT
  public:
    enum class Look {
        Bare,  // no frame, no background: laid over a note on the picture
        Boxed, // a framed field of the notes list, as tall as its wrapped text
    };
    explicit NoteField(Look look, const QString& text = {}, QWidget* parent = nullptr);

    QString text() const { return toPlainText(); }
    // Replaces the text without reporting an edit; the caret goes to the end.
    void setText(const QString& text);
    bool hasFrame() const { return frameShape() != QFrame::NoFrame; }
    // The height the wrapped text needs at the field's width, frame included.
    int heightForText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  Q_SIGNALS:
    // The user changed the text (typing, pasting, deleting).
    void textEdited(const QString& text);
    // Return or Enter without Shift: the editor moves on to the next note. Shift-Return
    // starts a new line within the note.
    void returnPressed();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

  private:
    void fitHeight();

    Look m_look;
    bool m_settingText = false;
};

} // namespace ombrel
