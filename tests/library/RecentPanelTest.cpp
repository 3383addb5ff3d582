#include "library/RecentPanel.h"
#include "library/CaptureStore.h"
#include "library/ThumbnailCache.h"
#include "platform/Defaults.h"
#include "sending/ShareMenu.h"
#include "support/TestEnv.h"
#include "ui/Permissions.h"
#include "ui/Toast.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QToolButton>

using namespace ombrel;

namespace {

QDateTime at(int y, int m, int d, int h = 12, int min = 0) {
    return QDateTime(QDate(y, m, d), QTime(h, min));
}
const QDateTime now = at(2026, 12, 4, 18); // a Friday evening

struct Alert {
    QString title, message;
    QStringList buttons;
};
QList<Alert> alerts;
int answer = 0;
int recordAlert(const QString& t, const QString& m, const QStringList& b) {
    alerts.append({t, m, b});
    return answer;
}

QByteArray png(QColor colour, QSize size = QSize(320, 200)) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace

class RecentPanelTest : public ombrel::test::LibraryTest {
  protected:
    void SetUp() override {
        LibraryTest::SetUp();
        alerts.clear();
        answer = 0;
        Permissions::setPresenter(&recordAlert);
        opened.clear();
        RecentPanel::onOpenPicture = [this](const QString& p) { opened.append(p); };
        RecentPanel::onOpenVideo = nullptr;
        ThumbnailCache::instance().clear();
        ThumbnailCache::setSharedFolder(dir.filePath("thumbnails"));
    }
    void TearDown() override {
        panel.reset();
        if (QWidget* p = Toast::panel()) delete p;
        RecentPanel::onOpenPicture = nullptr;
        Permissions::setPresenter(nullptr);
        ThumbnailCache::instance().clear();
        ThumbnailCache::setSharedFolder(QString());
        LibraryTest::TearDown();
    }
    RecentPanel& open() {
        panel = std::make_unique<RecentPanel>();
        panel->setClock([] { return now; });
        panel->showBeside();
        panel->finishBuilding();
        return *panel;
    }
    // `count` pictures, one an hour going back from an hour before now.
    QStringList pictures(int count, const QByteArray& bytes = "x") {
        QStringList made;
        for (int i = 0; i < count; ++i)
            made.append(makeFile(QString("d/Ombrel Capture Image_%1_V1.png").arg(i, 3, 10, QChar('0')),
                                 now.addSecs(-3600 * (i + 1)), bytes));
        return made;
    }
    void settle() {
        QCoreApplication::processEvents();
        if (panel) panel->finishBuilding();
    }

    std::unique_ptr<RecentPanel> panel;
    QStringList opened;
};

TEST_F(RecentPanelTest, SeventyFiveItemsShowSixtyTilesTheCountAndTheNewestLineAndASearchFindsOlderOnes) {
    const QStringList made = pictures(75);
    const QString oldest = made.last();
    CaptureStore::setWordsReader(
        [&](const QString& p) { return p == oldest ? QString("Checkout page") : QString(); });
    RecentPanel& p = open();
    EXPECT_EQ(p.cells().size(), 60);
    EXPECT_EQ(p.countLabel()->text(), "75 items");
    EXPECT_TRUE(p.newestLine()->isVisible());
    EXPECT_FALSE(p.emptyTitle()->isVisible());
    EXPECT_TRUE(p.cleanUpButton()->isEnabled());
    ASSERT_EQ(p.dayHeaders().size(), 3) << "18 today, 24 yesterday, 18 the day before";
    EXPECT_EQ(p.dayHeaders().at(1)->title(), "Yesterday");

    p.searchField()->setText(" checkout ");
    ASSERT_EQ(p.cells().size(), 1);
    EXPECT_EQ(p.cells().first()->path(), oldest);
    EXPECT_FALSE(p.newestLine()->isVisible());

    p.searchField()->setText("image");
    EXPECT_EQ(p.countLabel()->text(), "75 found");
    EXPECT_EQ(p.cells().size(), RecentPanel::firstTiles) << "the first tiles at once";
    EXPECT_TRUE(p.isBuilding());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !p.isBuilding(); }, 5000)); // the rest as the event loop turns
    EXPECT_EQ(p.cells().size(), 75) << "a search goes through all of them";
    EXPECT_EQ(p.cells().last()->path(), oldest);

    p.searchField()->setText("nowhere");
    EXPECT_TRUE(p.cells().isEmpty());
    EXPECT_TRUE(p.emptyTitle()->isVisible());
    EXPECT_FALSE(p.cleanUpButton()->isEnabled());
}

TEST_F(RecentPanelTest, ItReloadsWhenTheLibraryChanges) {
    pictures(2);
    RecentPanel& p = open();
    ASSERT_EQ(p.cells().size(), 2);
    ASSERT_TRUE(CaptureStore::save(png(Qt::red), CaptureStore::newFileURL()));
    settle();
    EXPECT_EQ(p.cells().size(), 3);
    EXPECT_EQ(p.countLabel()->text(), "3 items");
}

TEST_F(RecentPanelTest, MovingATileToTheTrashOffersUndoForEightSecondsAndUndoPutsItBack) {
    const QStringList made = pictures(3);
    RecentPanel& p = open();
    EXPECT_FALSE(p.undoButton()->isVisible());
    p.cells().at(1)->button("Move to Trash")->click();
    settle();
    EXPECT_FALSE(QFileInfo::exists(made[1]));
    EXPECT_EQ(p.cells().size(), 2);
    EXPECT_TRUE(p.undoButton()->isVisible());
    EXPECT_TRUE(p.undoTimer().isActive());
    EXPECT_EQ(p.undoTimer().interval(), 8000);
    EXPECT_EQ(Toast::currentText(), "Moved to Trash");

    p.undoButton()->click();
    settle();
    EXPECT_TRUE(QFileInfo::exists(made[1]));
    EXPECT_EQ(p.cells().size(), 3);
    EXPECT_FALSE(p.undoButton()->isVisible());
    EXPECT_FALSE(p.undoTimer().isActive());
    EXPECT_EQ(Toast::currentText(), "Put back");
}

TEST_F(RecentPanelTest, TheUndoButtonHidesWhenItsTimeIsUpAndAFailedTrashOrUndoWarnsAndKeepsEveryFile) {
    const QStringList made = pictures(2, "first");
    RecentPanel& p = open();
    p.trash(made[1]);
    ASSERT_TRUE(p.undoButton()->isVisible());
    QMetaObject::invokeMethod(const_cast<QTimer*>(&p.undoTimer()), "timeout", Qt::DirectConnection);
    EXPECT_FALSE(p.undoButton()->isVisible());
    p.trash(made[1]); // already gone
    EXPECT_EQ(Toast::currentText(),
              "Couldn't move it to the Trash. It may have been moved or opened elsewhere.");

    p.trash(made[0]);
    makeFile("d/" + QFileInfo(made[0]).fileName(), now, "second"); // a new file under the same name
    p.undoTrash();
    EXPECT_EQ(Toast::currentText(), "Couldn't put it back. Look for it in the Trash.");
    QFile f(made[0]);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "second") << "the newer file is not overwritten";
    EXPECT_EQ(QDir(dir.filePath("Trash")).entryList(QDir::Files).size(), 2)
        << "the trashed ones wait in the Trash";
}

TEST_F(RecentPanelTest, CleanUpCountsOlderItemsAsksFirstAndMovesOnlyWhenConfirmed) {
    const QString fresh = makeFile("a/fresh.png", now.addSecs(-60));
    const QString weekOld = makeFile("a/week.png", now.addDays(-8));
    const QString monthOld = makeFile("a/month.png", now.addDays(-40));
    RecentPanel& p = open();
    std::unique_ptr<QMenu> menu = p.makeCleanUpMenu();
    QList<QAction*> items = menu->actions();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0]->text(), "Move Older Than a Week to Trash (2)\u2026");
    EXPECT_TRUE(items[0]->isEnabled());

    answer = 1; // Cancel
    items[0]->trigger();
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts[0].title, "Move 2 items to the Trash?");
    EXPECT_EQ(alerts[0].buttons, (QStringList{"Move to Trash", "Cancel"}));
    EXPECT_TRUE(QFileInfo::exists(weekOld));

    answer = 0;
    items[0]->trigger();
    settle();
    EXPECT_FALSE(QFileInfo::exists(weekOld));
    EXPECT_FALSE(QFileInfo::exists(monthOld));
    EXPECT_TRUE(QFileInfo::exists(fresh));
    EXPECT_EQ(Toast::currentText(), "Moved to Trash");
    EXPECT_EQ(p.cells().size(), 1);

    menu = p.makeCleanUpMenu();
    EXPECT_FALSE(menu->actions()[0]->isEnabled()) << "nothing older than a week is left";
    EXPECT_FALSE(menu->actions()[1]->isEnabled());
    EXPECT_TRUE(menu->actions()[2]->isEnabled());
}

TEST_F(RecentPanelTest, ADaysTrashButtonAsksAboutThatDayAndForgetsTheSingleUndo) {
    const QStringList made = pictures(42); // 18 today (17:00 back to midnight), 24 yesterday
    RecentPanel& p = open();
    p.trash(made[0]);
    settle();
    ASSERT_TRUE(p.undoButton()->isVisible());
    DayHeader* yesterday = p.dayHeaders().value(1);
    ASSERT_NE(yesterday, nullptr);
    ASSERT_EQ(yesterday->title(), "Yesterday");
    yesterday->trashButton()->click();
    settle();
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts[0].title, "Move 24 items to the Trash?");
    EXPECT_TRUE(alerts[0].message.startsWith("That's everything from yesterday."));
    EXPECT_FALSE(p.undoButton()->isVisible()) << "the single undo is forgotten";
    EXPECT_EQ(p.countLabel()->text(), "17 items");
}

TEST_F(RecentPanelTest, ChangingTheTileSizeStoresItResizesThePanelAndLaysOutItsColumns) {
    pictures(5);
    RecentPanel& p = open();
    EXPECT_EQ(p.width(), 232);
    EXPECT_TRUE(p.sizeButton(RecentTileSize::Small)->isChecked());
    p.sizeButton(RecentTileSize::Large)->click();
    EXPECT_EQ(Defaults::get(Keys::recentTileSize), 2);
    EXPECT_EQ(p.width(), 620);
    EXPECT_TRUE(p.sizeButton(RecentTileSize::Large)->isChecked());
    QCoreApplication::processEvents();
    const QList<RecentCell*> cells = p.cells();
    ASSERT_EQ(cells.size(), 5);
    EXPECT_EQ(cells[0]->thumbnail()->height(), 190);
    EXPECT_EQ(cells[0]->y(), cells[1]->y()) << "two to a row";
    EXPECT_LT(cells[0]->x(), cells[1]->x());
    EXPECT_GT(cells[2]->y(), cells[0]->y());
    EXPECT_TRUE(QGuiApplication::primaryScreen()->availableGeometry().contains(p.geometry()));
}

TEST_F(RecentPanelTest, TilesOpenCopyViewAndDragTheFileItself) {
    const QString picture = makeFile("d/a.png", now.addSecs(-60), png(Qt::blue));
    const QString video = makeFile("d/b.mp4", now.addSecs(-120), "not really a video");
    RecentPanel& p = open();
    RecentCell* pictureCell = p.cells().value(0);
    RecentCell* videoCell = p.cells().value(1);
    ASSERT_TRUE(pictureCell && videoCell);
    EXPECT_EQ(videoCell->accessibleName(), "Recording from 17:58");

    // A click that does not move opens it: a picture in the editor, a video in the system's player.
    QTest::mouseClick(pictureCell->thumbnail(), Qt::LeftButton, {}, QPoint(30, 30));
    EXPECT_EQ(opened, QStringList{picture});
    QTest::mouseClick(videoCell->thumbnail(), Qt::LeftButton, {}, QPoint(30, 30));
    ASSERT_EQ(platform.workspace->opened.size(), 1);
    EXPECT_EQ(platform.workspace->opened[0], QUrl::fromLocalFile(video));

    pictureCell->thumbnail()->setHovered(true);
    ASSERT_NE(pictureCell->thumbnail()->viewButton(), nullptr);
    pictureCell->thumbnail()->viewButton()->click();
    EXPECT_EQ(platform.workspace->opened.value(1), QUrl::fromLocalFile(picture));
    pictureCell->thumbnail()->editButton()->click();
    EXPECT_EQ(opened.size(), 2);

    pictureCell->button("Copy")->click();
    EXPECT_EQ(platform.pasteboard->pngData, png(Qt::blue));
    EXPECT_EQ(Toast::currentText(), "Copied");

    std::unique_ptr<QMimeData> drag(ThumbnailView::dragData(picture));
    EXPECT_EQ(drag->urls(), QList<QUrl>{QUrl::fromLocalFile(picture)});
    EXPECT_TRUE(drag->hasFormat("text/uri-list"));
}

TEST_F(RecentPanelTest, ATilesShareAndShareAllPopUpTheShareMenuBelowTheirButtons) {
    RecentPanel& empty = open();
    EXPECT_FALSE(empty.shareAllButton()->isEnabled()) << "nothing to share";
    const QStringList made = pictures(3);
    RecentPanel& p = *panel;
    p.reload();
    settle();
    ASSERT_TRUE(p.shareAllButton()->isEnabled());
    p.searchField()->setText("nothing like it");
    EXPECT_FALSE(p.shareAllButton()->isEnabled()) << "enabled only while something is shown";
    p.searchField()->setText("");

    auto below = [](QWidget* button, QMenu* menu) {
        return QTest::qWaitFor([=] { return menu->isVisible(); }, 5000) &&
               menu->y() >= button->mapToGlobal(QPoint(0, button->height())).y();
    };
    QToolButton* share = p.cells().value(1)->button("Share");
    ASSERT_NE(share, nullptr);
    share->click();
    QMenu* menu = ShareMenu::current();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(ShareMenu::filesOf(menu), QStringList{made[1]});
    EXPECT_TRUE(below(share, menu));
    menu->hide();

    p.shareAllButton()->click();
    menu = ShareMenu::current();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(ShareMenu::filesOf(menu), CaptureStore::all()) << "every item of the library";
    EXPECT_EQ(menu->actions().first()->text(), "Share all 3");
    EXPECT_TRUE(below(p.shareAllButton(), menu));
    menu->hide();
}

TEST_F(RecentPanelTest, AnEmptyLibraryOffersNoCleanUpAndTheFolderButtonMakesTheFolderAndOpensIt) {
    RecentPanel& p = open();
    EXPECT_TRUE(p.cells().isEmpty());
    EXPECT_EQ(p.countLabel()->text(), "0 items");
    EXPECT_TRUE(p.emptyDetail()->isVisible());
    EXPECT_FALSE(p.newestLine()->isVisible());
    EXPECT_FALSE(p.cleanUpButton()->isEnabled());

    ASSERT_FALSE(QFileInfo::exists(CaptureStore::folder()));
    p.folderButton()->click();
    EXPECT_TRUE(QFileInfo(CaptureStore::folder()).isDir());
    EXPECT_EQ(platform.workspace->opened.value(0), QUrl::fromLocalFile(CaptureStore::folder()));
    EXPECT_FALSE(p.settingsButton()->isVisible()) << "no Settings menu handed over";
    QMenu settings;
    p.setSettingsMenu(&settings);
    EXPECT_TRUE(p.settingsButton()->isVisible());
}

TEST_F(RecentPanelTest, ThumbnailsArriveOffTheGuiThreadAndTheCacheStaysWithinItsLimit) {
    for (int i = 0; i < 6; ++i)
        makeFile(QString("d/%1.png").arg(i), now.addSecs(-60 * (i + 1)),
                 png(QColor(40 * i, 90, 200), QSize(1600, 900)));
    makeFile("d/broken.png", now.addSecs(-3600), "not a picture");
    RecentPanel& p = open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.visibleTiles() > 0; }, 5000)); // once laid out
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.visibleTilesWaiting() == 0; }, 5000));
    RecentCell* first = p.cells().first();
    EXPECT_TRUE(first->thumbnail()->hasThumbnail());
    const QImage thumb =
        ThumbnailCache::instance().request(first->path(), first->thumbnail()->thumbnailBox());
    EXPECT_LE(thumb.height(), first->thumbnail()->thumbnailBox().height()) << "made small, not kept whole";
    EXPECT_EQ(thumb.pixelColor(thumb.width() / 2, thumb.height() / 2), QColor(0, 90, 200));

    // A one-colour picture saved with a one-bit palette keeps its colour.
    QImage mono(1280, 800, QImage::Format_Mono);
    mono.setColorTable({qRgb(58, 110, 165), qRgb(0, 0, 0)});
    mono.fill(0);
    ASSERT_TRUE(mono.save(libraryPath("d/mono.png")));
    const QImage monoThumb = ThumbnailCache::make(libraryPath("d/mono.png"), QSize(200, 125));
    EXPECT_EQ(monoThumb.size(), QSize(200, 125));
    EXPECT_EQ(monoThumb.pixelColor(100, 60), QColor(58, 110, 165));

    // A broken file fails once and is not tried again.
    EXPECT_TRUE(ThumbnailCache::make(libraryPath("d/broken.png"), QSize(200, 112)).isNull());

    ThumbnailCache small(200 * 112 * 4 * 2); // room for two thumbnails
    for (int i = 0; i < 6; ++i)
        small.request(libraryPath(QString("d/%1.png").arg(i)), QSize(200, 112));
    small.waitForIdle();
    ASSERT_TRUE(QTest::qWaitFor([&] { return small.pendingCount() == 0; }, 5000));
    EXPECT_LE(small.costBytes(), small.limitBytes());
    EXPECT_GT(small.costBytes(), 0);
}

TEST_F(RecentPanelTest, TilesJustOutOfViewGetTheirThumbnailsBeforeTheyAreScrolledTo) {
    for (int i = 0; i < 14; ++i)
        makeFile(QString("d/%1.png").arg(i, 2, 10, QChar('0')), now.addSecs(-60 * (i + 1)),
                 png(Qt::darkCyan));
    RecentPanel& p = open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.visibleTiles() > 0; }, 5000));
    const QList<RecentCell*> cells = p.cells();
    const int inView = p.visibleTiles();
    ASSERT_LT(inView + 3, cells.size()) << "the list must reach well below the view";
    ThumbnailView* next = cells[inView]->thumbnail();
    ThumbnailView* last = cells.last()->thumbnail();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return ThumbnailCache::instance().has(next->path(), next->thumbnailBox()); }, 5000));
    ThumbnailCache::instance().waitForIdle();
    QCoreApplication::processEvents();
    EXPECT_FALSE(ThumbnailCache::instance().has(last->path(), last->thumbnailBox()))
        << "not the whole list at once";
}

TEST_F(RecentPanelTest, ThumbnailsAreKeptInTheDesktopsSharedFoldersAndUsedWhileTheFileIsUnchanged) {
    const QString picture = makeFile("d/a b.png", now.addSecs(-60), png(Qt::red, QSize(1600, 900)));
    const QSize box(200, 112);
    const QString shared = ThumbnailCache::sharedThumbnailPath(picture, box);
    const QByteArray uri = "file://" + QUrl::toPercentEncoding(picture, "/");
    EXPECT_EQ(shared, dir.filePath("thumbnails/large/") +
                          QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex() + ".png")
        << "named by the MD5 of the file's URI, as file managers name them";
    EXPECT_EQ(ThumbnailCache::sharedThumbnailPath(picture, QSize(100, 60)).section('/', -2, -2), "normal");
    EXPECT_TRUE(ThumbnailCache::sharedThumbnailPath(picture, QSize(1200, 700)).isEmpty());

    QImage made = ThumbnailCache::make(picture, box);
    EXPECT_EQ(made.size(), QSize(199, 112));
    ASSERT_TRUE(QFileInfo::exists(shared));
    const QImage kept(shared);
    EXPECT_EQ(kept.size(), QSize(256, 144));
    EXPECT_EQ(kept.text("Thumb::URI").toLatin1(), uri);
    EXPECT_EQ(kept.text("Thumb::MTime"),
              QString::number(QFileInfo(picture).lastModified().toSecsSinceEpoch()));
    EXPECT_EQ(QFileInfo(shared).permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup), 0);

    // The kept one is used: stand a green one in its place with the same time.
    QImage green(256, 144, QImage::Format_RGB32);
    green.fill(Qt::green);
    green.setText("Thumb::MTime", kept.text("Thumb::MTime"));
    ASSERT_TRUE(green.save(shared));
    EXPECT_EQ(ThumbnailCache::make(picture, box).pixelColor(50, 50), QColor(Qt::green));

    // A changed file is read again.
    QFile f(picture);
    ASSERT_TRUE(f.open(QIODevice::Append));
    ASSERT_TRUE(f.setFileTime(now, QFileDevice::FileModificationTime));
    f.close();
    EXPECT_EQ(ThumbnailCache::make(picture, box).pixelColor(50, 50), QColor(Qt::red));
}

TEST_F(RecentPanelTest, AMovedPanelKeepsItsPlaceAndItsOwnPlacingIsNotSaved) {
    pictures(1);
    RecentPanel& p = open();
    EXPECT_FALSE(Defaults::has("recentPanelPosition")) << "placing itself is not a move by the user";
    p.move(p.pos() + QPoint(-200, 40));
    const QRect moved = p.geometry();
    EXPECT_EQ(rectFromString(Defaults::get(Keys::recentPanelPosition)), moved);
    p.hide();
    p.showBeside();
    EXPECT_EQ(p.geometry(), moved);
    p.toggleBeside();
    EXPECT_FALSE(p.isVisible());
}
