#include "EditorTestSupport.h"
#include "editor/EditorShortcut.h"
#include "markup/MarkStyle.h"
#include "platform/Defaults.h"
#include "platform/Notifier.h"

#include <QTest>

using namespace ombrel;
using namespace ombrel::test;

namespace {

using Shortcuts = EditorTest;

TEST_F(Shortcuts, KeysAreLookedUpTakenFromOthersTurnedOffAndReset) {
    EXPECT_EQ(EditorShortcuts::action("s"), EditorShortcut::Send);
    EXPECT_EQ(EditorShortcuts::action("S"), EditorShortcut::Send);
    EXPECT_EQ(EditorShortcuts::action("?"), EditorShortcut::Keys);
    EXPECT_EQ(EditorShortcuts::keyLabel(EditorShortcut::Keys), "?");
    EXPECT_FALSE(EditorShortcuts::usable("3"));
    EXPECT_FALSE(EditorShortcuts::usable("ab"));
    EXPECT_FALSE(EditorShortcuts::usable("-"));
    EXPECT_TRUE(EditorShortcuts::usable("7"));

    QSignalSpy changed(&Notifier::instance(), &Notifier::EditorShortcutsChanged);
    EXPECT_EQ(EditorShortcuts::setKey(EditorShortcut::Copy, "S"), EditorShortcut::Send);
    EXPECT_EQ(EditorShortcuts::keyLabel(EditorShortcut::Copy), "S");
    EXPECT_EQ(EditorShortcuts::keyLabel(EditorShortcut::Send), "None");
    EXPECT_EQ(EditorShortcuts::action("s"), EditorShortcut::Copy);
    EXPECT_EQ(EditorShortcuts::action("c"), std::nullopt);
    // Copy moves on: Send keeps no key rather than getting its default back.
    EditorShortcuts::setKey(EditorShortcut::Copy, "k");
    EXPECT_EQ(EditorShortcuts::key(EditorShortcut::Send), std::nullopt);
    EXPECT_EQ(changed.size(), 2);

    EditorShortcuts::resetAll();
    EXPECT_FALSE(Defaults::store().contains(EditorShortcuts::storeKey));
    for (const EditorShortcuts::Info& i : EditorShortcuts::all())
        EXPECT_EQ(EditorShortcuts::key(i.shortcut), QString(i.defaultKey)) << i.raw;
}

TEST_F(Shortcuts, TheWindowChangesAKeyByClickAndPressAndSaysWhatHappened) {
    ShortcutsWindow* w = ShortcutsWindow::open();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->keyButton(EditorShortcut::Send)->text(), "S");
    w->keyButton(EditorShortcut::Copy)->click();
    EXPECT_EQ(w->keyButton(EditorShortcut::Copy)->text(), "Press a key");
    QTest::keyClick(w, Qt::Key_3);
    EXPECT_EQ(w->waitingFor(), EditorShortcut::Copy) << "a key that can't be used: still waiting";
    QTest::keyClick(w, Qt::Key_S);
    EXPECT_EQ(w->note(), "Copy is now S. Send to Chat has no key.");
    EXPECT_EQ(w->keyButton(EditorShortcut::Send)->text(), "None");
    w->keyButton(EditorShortcut::Undo)->click();
    QTest::keyClick(w, Qt::Key_Delete);
    EXPECT_EQ(EditorShortcuts::key(EditorShortcut::Undo), std::nullopt);
    w->reset();
    EXPECT_EQ(w->keyButton(EditorShortcut::Send)->text(), "S");
    EXPECT_EQ(w->keyButton(EditorShortcut::Undo)->text(), "U");
}

TEST_F(Shortcuts, TheEditorRunsItsKeysOpensTheWindowWithAQuestionMarkAndRelabelsItsTips) {
    auto opened = open();
    EditorWindowController& editor = *opened;
    editor.canvas()->add({mark({10, 10, 50, 50}), mark({100, 100, 50, 50})});
    editor.canvas()->setFocus();
    editor.moveTypingTo(std::nullopt);
    QTest::keyClick(&editor, Qt::Key_U); // undo the two marks
    EXPECT_TRUE(editor.canvas()->markup().boxes.isEmpty());
    QTest::keyClick(&editor, Qt::Key_R);
    EXPECT_EQ(editor.canvas()->markup().boxes.size(), 2);
    editor.moveTypingTo(std::nullopt);
    QTest::keyClick(&editor, Qt::Key_L);
    EXPECT_EQ(NoteLooks::current(), NoteLook::Sticky);
    editor.moveTypingTo(std::nullopt);
    QTest::keyClick(&editor, Qt::Key_Question, Qt::ShiftModifier);
    ASSERT_NE(ShortcutsWindow::current(), nullptr);
    EXPECT_TRUE(ShortcutsWindow::current()->isVisible());

    EXPECT_TRUE(editor.button("Copy")->toolTip().endsWith(" Key: C"));
    EditorShortcuts::setKey(EditorShortcut::Copy, "y");
    EXPECT_TRUE(editor.button("Copy")->toolTip().endsWith(" Key: Y"))
        << editor.button("Copy")->toolTip().toStdString();
    EXPECT_FALSE(editor.button("Copy")->toolTip().contains("Key: C"));
    editor.closeEditor();
}

} // namespace
