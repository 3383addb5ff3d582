#include "ui/Toast.h"
#include "support/TestEnv.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

using namespace ombrel;

class ToastTest : public ombrel::test::LibraryTest {
  protected:
    void TearDown() override {
        if (QWidget* p = Toast::panel()) delete p;
        LibraryTest::TearDown();
    }
};

TEST_F(ToastTest, TimeOnScreenGrowsWithTheTextAndWarningsStayLonger) {
    EXPECT_DOUBLE_EQ(Toast::visibleSeconds("", false), 1.8);
    EXPECT_DOUBLE_EQ(Toast::visibleSeconds("Copied. Paste it anywhere.", false), 1.8);
    EXPECT_DOUBLE_EQ(Toast::visibleSeconds(QString(90, 'x'), false), 5.0);
    EXPECT_DOUBLE_EQ(Toast::visibleSeconds(QString(90, 'x'), true), 8.0);
    EXPECT_DOUBLE_EQ(Toast::visibleSeconds("", true), 1.8 * 1.6);
}

TEST_F(ToastTest, NeverTakesFocusOrClicksAndSitsNinetyAboveTheScreenBottom) {
    Toast::show("Moved to Trash");
    QWidget* panel = Toast::panel();
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(panel->windowFlags().testFlag(Qt::WindowTransparentForInput));
    EXPECT_TRUE(panel->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_FALSE(panel->isActiveWindow());
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(panel->geometry().bottom() + 1, screen.bottom() + 1 - 90);
    EXPECT_NEAR(panel->geometry().center().x(), screen.center().x(), 1);
    EXPECT_EQ(Toast::shownText(), "Moved to Trash");
}

TEST_F(ToastTest, OverAWindowItSitsSeventyAboveTheWindowBottom) {
    QWidget window;
    window.setGeometry(100, 100, 800, 600);
    window.show();
    Toast::show("Copied. Paste it anywhere.", Toast::defaultSymbol, &window);
    const QRect frame = window.frameGeometry();
    EXPECT_EQ(Toast::panel()->geometry().bottom() + 1, frame.bottom() + 1 - 70);
}

TEST_F(ToastTest, ASecondToastReplacesTheFirstAtOnceAndTheOldFadeNeverTouchesIt) {
    Toast::show("first");
    QPointer<QWidget> first = Toast::panel();
    Toast::show("second, a little longer than the first, so it stays for some time on screen");
    QPointer<QWidget> second = Toast::panel();
    ASSERT_NE(first, second);
    EXPECT_FALSE(first && first->isVisible()) << "the first goes without fading";
    // Past the first toast's own time on screen: the second one is still there.
    QTest::qWait(2300);
    EXPECT_EQ(Toast::panel(), second);
    EXPECT_TRUE(second->isVisible());
}

TEST_F(ToastTest, FadesOutAndForgetsItselfAfterItsTime) {
    Toast::show("");
    QPointer<QWidget> panel = Toast::panel();
    ASSERT_TRUE(panel);
    EXPECT_TRUE(panel->findChild<QLabel*>("toastSymbol")) << "an empty text still shows the symbol";
    ASSERT_TRUE(QTest::qWaitFor([&] { return bool(Toast::panel() == nullptr); }, 4000))
        << "waited for: Toast::panel() == nullptr";
    ASSERT_TRUE(QTest::qWaitFor([&] { return bool(panel.isNull()); }, 2000)) << "waited for: panel.isNull()";
}

TEST_F(ToastTest, AToastOverAWindowThatClosesStillGoesAway) {
    auto* window = new QWidget;
    window->setGeometry(100, 100, 400, 300);
    window->show();
    Toast::show("Saved", Toast::defaultSymbol, window);
    delete window;
    ASSERT_TRUE(QTest::qWaitFor([&] { return bool(Toast::panel() == nullptr); }, 4000))
        << "waited for: Toast::panel() == nullptr";
}

TEST_F(ToastTest, LongTextIsCutToThreeLinesButCountsEveryCharacter) {
    const QString text = QString("word ").repeated(200).trimmed();
    Toast::show(text);
    const QString shown = Toast::shownText();
    EXPECT_EQ(shown.count('\n'), 2);
    EXPECT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
    EXPECT_LE(Toast::panel()->findChild<QLabel*>("toastText")->width(), Toast::maxTextWidth);
    EXPECT_DOUBLE_EQ(Toast::visibleSeconds(text, false), text.size() / 18.0);
}
