#pragma once
// The wand of the comment fields and "Improve Wording": a comment is rewritten by the
// language model of this computer, or, where no model answers, its spelling is checked.
// Pressing the wand again right after a rewrite puts the user's own words back. Every
// comment field it knows underlines its misspelled words and offers better spellings on a
// right click.

#include "platform/Spelling.h"

#include <QHash>
#include <QList>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <optional>

class QPlainTextEdit;
class QToolButton;

namespace ombrel {

class CommentWording : public QObject {
    Q_OBJECT
  public:
    // `say` shows a message to the user (the editor's status line).
    explicit CommentWording(QObject* parent, std::function<void(const QString&)> say);
    ~CommentWording() override;

    // Learns a comment field: `key` names the comment it edits (the same key for the field
    // that shows the same comment after the list is rebuilt), `write` stores a new text in
    // the comment and shows it in its fields. Underlines its misspelled words.
    void attach(QPlainTextEdit* field, const QString& key, std::function<void(const QString&)> write);
    // The same, with a wand button for the field's row.
    QToolButton* wandFor(QPlainTextEdit* field, const QString& key,
                         std::function<void(const QString&)> write);

    // A button whose tool tip says what the wand does now (the "Improve Wording" button).
    void explainWith(QToolButton* button);

    // The flow of the wand for `field` (none: no comment field has the keyboard).
    void improve(QPlainTextEdit* field);
    // "Improve Wording": the comment field that has the keyboard, when it is one of ours.
    void improveFocused();

    // What the model could do when it was last asked; the wands' tool tips follow it.
    bool canRewrite() const { return m_canRewrite; }
    // True while a rewrite or a check is on its way.
    bool isBusy() const { return m_busy; }
    // The spelling window of the last check, while it is open.
    QMenu* spellingWindow() const { return m_spellingWindow; }

    static QString wandTip(bool canRewrite);

  Q_SIGNALS:
    // A press of the wand has ended (the comment rewritten, restored or checked, or a failure told).
    void finished();
    // The wand's tool tip changed (a local model answered or stopped answering).
    void tipsChanged();

  private:
    struct Field {
        QString key;
        std::function<void(const QString&)> write;
    };
    struct Change {
        QString before, after;
    };
    void setCanRewrite(bool can);
    void probe();
    void rewrite(QPointer<QPlainTextEdit> field, const Field& target, const QString& text);
    void checkSpelling(QPointer<QPlainTextEdit> field, const QString& text, int misspelled);
    void openSpellingWindow(QPlainTextEdit* field);
    bool eventFilter(QObject* watched, QEvent* event) override;

    std::function<void(const QString&)> m_say;
    QHash<QPlainTextEdit*, Field> m_fields;
    QHash<QString, Change> m_wordingChanges;
    QList<QPointer<QToolButton>> m_wands;
    QList<QPointer<QToolButton>> m_explaining; // buttons that add their key to the tip
    bool m_canRewrite = false;
    bool m_busy = false;
    QPointer<QMenu> m_spellingWindow;
};

// Fills `menu` with better spellings of the misspelled word at `position` of `field`, each
// replacing the word when chosen; false (and nothing added) when the word there is fine.
bool addSpellingChoices(QMenu* menu, QPlainTextEdit* field, int position);

} // namespace ombrel
