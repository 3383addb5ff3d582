#include "ShortcutsWindow.h"

#include "platform/Notifier.h"
#include "ui/Glass.h"
#include "ui/PlatformWords.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QVBoxLayout>

namespace ombrel {

namespace {

QPointer<ShortcutsWindow>& theWindow() {
    static QPointer<ShortcutsWindow> window;
    return window;
}

const QString introNote = QStringLiteral("In the editor, press Esc to stop typing, then one key. Click a key "
                                         "here and press another to change it.");

QString windowStyle() {
    return QStringLiteral(R"(
        QLabel { color: white; background: transparent; }
        QLabel#secondary { color: rgba(255,255,255,160); }
        QPushButton { color: white; background: rgba(255,255,255,30); border: 1px solid rgba(255,255,255,50);
                      border-radius: 7px; padding: 3px 10px; }
        QPushButton:hover { background: rgba(255,255,255,50); }
        QPushButton#key { min-width: 64px; font-weight: 600; }
        QPushButton#key:checked { background: rgb(98,84,236); }
        QPushButton#done { background: rgb(98,84,236); border: none; }
    )");
}

} // namespace

ShortcutsWindow* ShortcutsWindow::current() {
    return theWindow();
}

ShortcutsWindow* ShortcutsWindow::open(QWidget* editor) {
    ShortcutsWindow* window = theWindow();
    if (!window) {
        window = new ShortcutsWindow;
        theWindow() = window;
    }
    window->adjustSize();
    QScreen* screen = editor ? editor->screen() : QGuiApplication::screenAt(QCursor::pos());
    if (!screen) screen = QGuiApplication::primaryScreen();
    const QRect work = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
    QPoint at = work.center() - QPoint(window->width() / 2, window->height() / 2);
    if (editor && editor->isVisible()) {
        // Beside the editor where there is room, else over its right side.
        const QRect frame = editor->frameGeometry();
        at = QPoint(frame.right() + 12, frame.top() + 40);
        if (at.x() + window->width() > work.right()) at.setX(frame.right() - window->width() - 16);
    }
    at.setX(std::clamp(at.x(), work.left(), std::max(work.left(), work.right() - window->width())));
    at.setY(std::clamp(at.y(), work.top(), std::max(work.top(), work.bottom() - window->height())));
    window->move(at);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

ShortcutsWindow::ShortcutsWindow() {
    setObjectName(QStringLiteral("shortcuts"));
    setWindowTitle(QStringLiteral("Keyboard shortcuts"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_DeleteOnClose);
    setFocusPolicy(Qt::StrongFocus);
    setStyleSheet(windowStyle());

    auto* glass = new GlassView(16, this);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(glass);
    auto* column = new QVBoxLayout(glass);
    column->setContentsMargins(22, 18, 22, 18);
    column->setSpacing(10);
    auto* title = new QLabel(QStringLiteral("Keyboard shortcuts"));
    QFont tf = title->font();
    tf.setBold(true);
    tf.setPointSizeF(tf.pointSizeF() + 3);
    title->setFont(tf);
    column->addWidget(title);
    m_note = new QLabel(introNote);
    m_note->setObjectName(QStringLiteral("secondary"));
    m_note->setWordWrap(true);
    m_note->setFixedWidth(380);
    column->addWidget(m_note);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(4);
    int row = 0;
    for (const EditorShortcuts::Info& info : EditorShortcuts::all()) {
        grid->addWidget(new QLabel(QString::fromLatin1(info.title)), row, 0);
        auto* key = new QPushButton;
        key->setObjectName(QStringLiteral("key"));
        key->setCheckable(true);
        key->setFocusPolicy(Qt::NoFocus);
        key->setAccessibleName(QString::fromLatin1(info.title));
        connect(key, &QPushButton::clicked, this, [this, s = info.shortcut] { startWaiting(s); });
        grid->addWidget(key, row, 1, Qt::AlignRight);
        m_keys.insert(info.shortcut, key);
        ++row;
    }
    column->addLayout(grid);

    auto* footer = new QLabel(words(
        QStringLiteral("Always: 1 to 4 pick Mark, Select, Blur and Crop. Tab and Shift-Tab move between "
                       "comments. Delete removes the selected mark. Command-Return sends, Command-D "
                       "speaks, Command-Z undoes. Esc stops typing.")));
    footer->setObjectName(QStringLiteral("secondary"));
    footer->setWordWrap(true);
    footer->setFixedWidth(380);
    column->addWidget(footer);

    auto* buttons = new QHBoxLayout;
    auto* reset = new QPushButton(QStringLiteral("Reset"));
    reset->setToolTip(QStringLiteral("Put every shortcut back to how it started"));
    reset->setFocusPolicy(Qt::NoFocus);
    connect(reset, &QPushButton::clicked, this, &ShortcutsWindow::reset);
    auto* done = new QPushButton(QStringLiteral("Done"));
    done->setObjectName(QStringLiteral("done"));
    done->setToolTip(QStringLiteral("Close the shortcuts"));
    done->setFocusPolicy(Qt::NoFocus);
    connect(done, &QPushButton::clicked, this, &QWidget::close);
    buttons->addWidget(reset);
    buttons->addStretch(1);
    buttons->addWidget(done);
    column->addLayout(buttons);

    relabel();
    // Keys changed elsewhere (another window, a reset) show here at once.
    connect(&Notifier::instance(), &Notifier::EditorShortcutsChanged, this, &ShortcutsWindow::relabel);
}

void ShortcutsWindow::relabel() {
    for (auto it = m_keys.cbegin(); it != m_keys.cend(); ++it) {
        const bool waiting = m_waiting == it.key();
        it.value()->setChecked(waiting);
        it.value()->setText(waiting ? QStringLiteral("Press a key") : EditorShortcuts::keyLabel(it.key()));
    }
}

void ShortcutsWindow::setNote(const QString& text) {
    m_note->setText(text);
}

void ShortcutsWindow::startWaiting(EditorShortcut shortcut) {
    m_waiting = shortcut;
    relabel();
    setNote(QStringLiteral("Click, then press the key you want for %1. Delete turns it off.")
                .arg(EditorShortcuts::title(shortcut)));
    setFocus();
}

void ShortcutsWindow::reset() {
    m_waiting.reset();
    EditorShortcuts::resetAll();
    relabel();
    setNote(QStringLiteral("Every shortcut is back to how it started."));
}

void ShortcutsWindow::keyPressEvent(QKeyEvent* event) {
    if (!m_waiting) {
        if (event->key() == Qt::Key_Escape)
            close();
        else
            QWidget::keyPressEvent(event);
        return;
    }
    const EditorShortcut shortcut = *m_waiting;
    const QString title = EditorShortcuts::title(shortcut);
    if (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) {
        m_waiting.reset();
        EditorShortcuts::setKey(shortcut, std::nullopt);
        relabel();
        setNote(QStringLiteral("%1 has no key now.").arg(title));
        return;
    }
    const QString text = event->text();
    if (text.isEmpty() || event->key() == Qt::Key_Shift) return; // a modifier alone: keep waiting
    if (!EditorShortcuts::usable(text)) {
        setNote(QStringLiteral("Use a letter, a number from 5 to 9, or ?."));
        return;
    }
    m_waiting.reset();
    const std::optional<EditorShortcut> lost = EditorShortcuts::setKey(shortcut, text);
    relabel();
    QString note = QStringLiteral("%1 is now %2.").arg(title, EditorShortcuts::keyLabel(shortcut));
    if (lost) note += QStringLiteral(" %1 has no key.").arg(EditorShortcuts::title(*lost));
    setNote(note);
}

// The window has no title bar: it is moved by dragging its background.
void ShortcutsWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) m_dragOffset = event->globalPosition().toPoint() - pos();
}

void ShortcutsWindow::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragOffset && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - *m_dragOffset);
}

} // namespace ombrel
