#include "CommentWording.h"

#include "markup/NoteWriter.h"
#include "platform/Log.h"
#include "platform/Platform.h"
#include "ui/PlatformWords.h"
#include "ui/Symbols.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFutureWatcher>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSyntaxHighlighter>
#include <QTextBlock>
#include <QToolButton>
#include <QtConcurrent>

namespace ombrel {

namespace {

constexpr int maxSuggestions = 6;
const QString needsModel = QStringLiteral(" Rewriting needs Apple Intelligence, on macOS 26 or newer.");

// Loading a dictionary takes a moment: it is loaded off the GUI thread first, and fields are
// underlined once it is there.
std::atomic<bool> spellingReady{false};

// Red wavy lines under the misspelled words of a comment field, as the user types.
class SpellingUnderlines : public QSyntaxHighlighter {
  public:
    explicit SpellingUnderlines(QTextDocument* document) : QSyntaxHighlighter(document) {}

  protected:
    void highlightBlock(const QString& text) override {
        if (!spellingReady) return;
        QTextCharFormat wrong;
        wrong.setUnderlineStyle(QTextCharFormat::SpellCheckUnderline);
        wrong.setUnderlineColor(QColor(220, 50, 47));
        for (const WordRange& r : NoteWriter::misspelledRanges(text))
            setFormat(int(r.start), int(r.length), wrong);
    }
};

// The word around `position` of the field's text, when it is misspelled.
std::optional<WordRange> misspelledAt(const QString& text, int position, const QString& language) {
    // Words are checked from the start of the one at `position`: step back over its letters.
    qsizetype start = std::clamp<qsizetype>(position, 0, text.size());
    while (start > 0 && (text.at(start - 1).isLetter() || text.at(start - 1) == QLatin1Char('\'') ||
                         text.at(start - 1) == QChar(0x2019)))
        --start;
    const std::optional<WordRange> next = Platform::spelling().nextMisspelled(text, start, language);
    if (!next || next->start > position || next->start + next->length < position) return std::nullopt;
    return next;
}

} // namespace

bool addSpellingChoices(QMenu* menu, QPlainTextEdit* field, int position) {
    const QString text = field->toPlainText();
    const QString language = NoteWriter::spellingLanguage(text);
    const std::optional<WordRange> word = misspelledAt(text, position, language);
    if (!word) return false;
    const QString wrong = text.mid(word->start, word->length);
    const QStringList better = Platform::spelling().suggestions(wrong, language).mid(0, maxSuggestions);
    QAction* before = menu->actions().value(0);
    if (better.isEmpty()) {
        QAction* none = new QAction(QStringLiteral("No spelling suggestions for \"%1\"").arg(wrong), menu);
        none->setEnabled(false);
        menu->insertAction(before, none);
    }
    for (const QString& choice : better) {
        QAction* a = new QAction(choice, menu);
        QFont bold = a->font();
        bold.setBold(true);
        a->setFont(bold);
        // The word is found again when chosen: the text may have changed while the menu was open.
        QObject::connect(a, &QAction::triggered, field, [field, wrong, choice, at = word->start] {
            if (field->toPlainText().mid(at, wrong.size()) != wrong) return;
            QTextCursor cursor(field->document());
            cursor.setPosition(int(at));
            cursor.setPosition(int(at + wrong.size()), QTextCursor::KeepAnchor);
            cursor.insertText(choice); // an edit of the user's: the comment follows it
        });
        menu->insertAction(before, a);
    }
    if (before) menu->insertSeparator(before);
    return true;
}

CommentWording::CommentWording(QObject* parent, std::function<void(const QString&)> say)
    : QObject(parent), m_say(std::move(say)) {
    probe();
    if (!spellingReady) {
        auto* warming = new QFutureWatcher<void>(this);
        connect(warming, &QFutureWatcher<void>::finished, this, [this, warming] {
            warming->deleteLater();
            spellingReady = true;
            for (QPlainTextEdit* field : m_fields.keys())
                if (auto* underlines = field->document()->findChild<QSyntaxHighlighter*>())
                    underlines->rehighlight();
        });
        warming->setFuture(QtConcurrent::run([] { NoteWriter::misspelledCount(QStringLiteral("Warm up")); }));
    }
}

CommentWording::~CommentWording() {
    // Asking whether the model answers reaches the platform from another thread: let it end
    // (it takes a moment at most) before the caller can take the platform away. A rewrite
    // may take minutes and is not waited for.
    for (QFutureWatcherBase* w : findChildren<QFutureWatcherBase*>())
        if (w->objectName() != QLatin1String("rewrite")) w->waitForFinished();
}

QString CommentWording::wandTip(bool canRewrite) {
    return words(canRewrite ? QStringLiteral("Fix the spelling and rewrite this comment, on your Mac")
                            : QStringLiteral("Check the spelling in this comment"));
}

void CommentWording::setCanRewrite(bool can) {
    m_canRewrite = can;
    for (const QPointer<QToolButton>& wand : std::as_const(m_wands))
        if (wand) wand->setToolTip(wandTip(can));
    for (const QPointer<QToolButton>& button : std::as_const(m_explaining))
        if (button) button->setProperty("baseTip", wandTip(can));
    Q_EMIT tipsChanged();
}

void CommentWording::probe() {
    auto* watcher = new QFutureWatcher<bool>(this);
    connect(watcher, &QFutureWatcher<bool>::finished, this, [this, watcher] {
        setCanRewrite(watcher->result());
        watcher->deleteLater();
    });
    watcher->setFuture(QtConcurrent::run([] { return NoteWriter::canRewrite(); }));
}

void CommentWording::attach(QPlainTextEdit* field, const QString& key,
                            std::function<void(const QString&)> write) {
    m_fields.insert(field, Field{key, std::move(write)});
    new SpellingUnderlines(field->document());
    field->viewport()->installEventFilter(this);
    connect(field, &QObject::destroyed, this, [this, field] { m_fields.remove(field); });
}

QToolButton* CommentWording::wandFor(QPlainTextEdit* field, const QString& key,
                                     std::function<void(const QString&)> write) {
    attach(field, key, std::move(write));
    auto* wand = new QToolButton;
    wand->setObjectName(QStringLiteral("wand"));
    wand->setIcon(
        Symbols::icon(QStringLiteral("wand.and.stars"), wand->palette().color(QPalette::ButtonText)));
    wand->setToolTip(wandTip(m_canRewrite));
    wand->setFocusPolicy(Qt::NoFocus); // the keyboard stays in the comment
    wand->setAutoRaise(true);
    connect(wand, &QToolButton::clicked, this, [this, field = QPointer<QPlainTextEdit>(field)] {
        if (field) improve(field);
    });
    m_wands.append(wand);
    return wand;
}

void CommentWording::explainWith(QToolButton* button) {
    // The button names its key after this text, which it keeps as its "baseTip".
    button->setProperty("baseTip", wandTip(m_canRewrite));
    m_explaining.append(button);
}

void CommentWording::improveFocused() {
    auto* focus = qobject_cast<QPlainTextEdit*>(QApplication::focusWidget());
    improve(focus && m_fields.contains(focus) ? focus : nullptr);
}

void CommentWording::improve(QPlainTextEdit* field) {
    if (m_busy) return; // one comment at a time
    const auto known = field ? m_fields.constFind(field) : m_fields.constEnd();
    if (known == m_fields.constEnd()) {
        m_say(QStringLiteral("Click a comment on the picture first."));
        Q_EMIT finished();
        return;
    }
    const Field target = *known;
    const QString text = field->toPlainText();
    if (text.trimmed().isEmpty()) {
        m_say(QStringLiteral("Type a comment first."));
        Q_EMIT finished();
        return;
    }
    if (const auto change = m_wordingChanges.constFind(target.key);
        change != m_wordingChanges.constEnd() && change->after == text) {
        const QString before = change->before;
        m_wordingChanges.remove(target.key);
        target.write(before);
        m_say(QStringLiteral("Your own words are back."));
        Q_EMIT finished();
        return;
    }
    // Whether the model answers is asked off the GUI thread; without a model the spelling is
    // counted there too.
    m_busy = true;
    using Look = std::pair<bool, int>;
    auto* watcher = new QFutureWatcher<Look>(this);
    connect(watcher, &QFutureWatcher<Look>::finished, this,
            [this, watcher, target, text, field = QPointer<QPlainTextEdit>(field)] {
                const auto [can, misspelled] = watcher->result();
                watcher->deleteLater();
                setCanRewrite(can);
                if (can)
                    rewrite(field, target, text);
                else
                    checkSpelling(field, text, misspelled);
            });
    watcher->setFuture(QtConcurrent::run([text] {
        const bool can = NoteWriter::canRewrite();
        return Look{can, can ? 0 : NoteWriter::misspelledCount(text)};
    }));
}

void CommentWording::rewrite(QPointer<QPlainTextEdit> field, const Field& target, const QString& text) {
    m_say(words(QStringLiteral("Rewriting on your Mac…")));
    auto* watcher = new QFutureWatcher<Outcome<QString>>(this);
    watcher->setObjectName(QStringLiteral("rewrite"));
    connect(watcher, &QFutureWatcher<Outcome<QString>>::finished, this, [this, watcher, field, target, text] {
        const Outcome<QString> result = watcher->result();
        watcher->deleteLater();
        m_busy = false;
        // Words typed while the model worked are the user's latest: they are never overwritten.
        const bool typedMeanwhile = field && field->toPlainText() != text;
        if (!result || typedMeanwhile) {
            if (typedMeanwhile)
                qCInfo(logEditor) << "The comment changed while it was rewritten; kept as typed";
            m_say(QStringLiteral(
                "Couldn't rewrite that one. Red underlines still show any spelling mistakes."));
        } else if (result.value() == text) {
            m_say(QStringLiteral("That comment already reads well."));
        } else {
            target.write(result.value());
            m_wordingChanges.insert(target.key, Change{text, result.value()});
            m_say(words(QStringLiteral("Rewritten on your Mac. Press the wand again to undo.")));
        }
        Q_EMIT finished();
    });
    watcher->setFuture(NoteWriter::rewritten(text));
}

void CommentWording::checkSpelling(QPointer<QPlainTextEdit> field, const QString& text, int misspelled) {
    m_busy = false;
    QString message;
    if (misspelled == 0) {
        message = QStringLiteral("No spelling mistakes found.");
    } else {
        message = (misspelled == 1 ? QStringLiteral("1 word to check.")
                                   : QString::number(misspelled) + QStringLiteral(" words to check.")) +
                  QStringLiteral(" Pick the right spelling in the window that opened.");
        if (field && field->toPlainText() == text) openSpellingWindow(field);
    }
    m_say(words(message + needsModel));
    Q_EMIT finished();
}

void CommentWording::openSpellingWindow(QPlainTextEdit* field) {
    const QList<WordRange> wrong = NoteWriter::misspelledRanges(field->toPlainText());
    if (wrong.isEmpty()) return;
    // The first word to check is selected, and its better spellings open right under it.
    QTextCursor cursor(field->document());
    cursor.setPosition(int(wrong.first().start));
    cursor.setPosition(int(wrong.first().start + wrong.first().length), QTextCursor::KeepAnchor);
    field->setTextCursor(cursor);
    if (m_spellingWindow) m_spellingWindow->close();
    auto* menu = new QMenu(field);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->setObjectName(QStringLiteral("spellingWindow"));
    if (!addSpellingChoices(menu, field, int(wrong.first().start))) {
        delete menu;
        return;
    }
    m_spellingWindow = menu;
    menu->popup(field->viewport()->mapToGlobal(field->cursorRect(cursor).bottomLeft()));
}

bool CommentWording::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ContextMenu) {
        auto* field = qobject_cast<QPlainTextEdit*>(watched->parent());
        if (field && m_fields.contains(field)) {
            auto* e = static_cast<QContextMenuEvent*>(event);
            QMenu* menu = field->createStandardContextMenu(e->pos());
            menu->setAttribute(Qt::WA_DeleteOnClose);
            addSpellingChoices(menu, field, field->cursorForPosition(e->pos()).position());
            menu->popup(e->globalPos());
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace ombrel
