#pragma once
// The "Keyboard shortcuts" window: every editor shortcut with its key, which the user can
// change by clicking the key and pressing another, turn off with Delete, or reset.

#include "editor/EditorShortcut.h"

#include <QLabel>
#include <QMap>
#include <QPointer>
#include <QPushButton>
#include <QWidget>
#include <optional>

namespace ombrel {

class ShortcutsWindow : public QWidget {
    Q_OBJECT
  public:
    // Shows the one window beside `editor` (centred on the screen without one) and brings
    // it to the front.
    static ShortcutsWindow* open(QWidget* editor = nullptr);
    static ShortcutsWindow* current();

    QString note() const { return m_note->text(); }
    QPushButton* keyButton(EditorShortcut shortcut) const { return m_keys.value(shortcut); }
    std::optional<EditorShortcut> waitingFor() const { return m_waiting; }
    // Starts waiting for the next key of `shortcut`, as clicking its key does.
    void startWaiting(EditorShortcut shortcut);
    void reset();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

  private:
    ShortcutsWindow();
    void relabel();
    void setNote(const QString& text);

    QLabel* m_note = nullptr;
    QMap<EditorShortcut, QPushButton*> m_keys;
    std::optional<EditorShortcut> m_waiting;
    std::optional<QPoint> m_dragOffset;
};

} // namespace ombrel
