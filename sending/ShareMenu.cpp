#include "ShareMenu.h"

#include "StepsPDF.h"
#include "library/CaptureStore.h"
#include "platform/Log.h"
#include "platform/Platform.h"
#include "ui/Symbols.h"
#include "ui/Toast.h"

#include <QCoreApplication>
#include <QCursor>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QMenu>
#include <QPointer>
#include <QUrl>
#include <QtConcurrent>
#include <algorithm>

namespace ombrel {

namespace {

const char* const filesProperty = "ombrelShareFiles";

QPointer<QMenu>& lastMenu() {
    static QPointer<QMenu> menu;
    return menu;
}

// A menu item that runs `run` when chosen; the menu owns it, and with it the closure.
QAction* addItem(QMenu* menu, const QString& title, const QString& symbol, bool enabled,
                 std::function<void()> run) {
    QAction* item = menu->addAction(title);
    if (!symbol.isEmpty()) item->setIcon(Symbols::icon(symbol, menu->palette().color(QPalette::WindowText)));
    item->setEnabled(enabled);
    QObject::connect(item, &QAction::triggered, menu, [run = std::move(run)] { run(); });
    return item;
}

void addHeading(QMenu* menu, const QString& title) {
    QAction* heading = menu->addAction(title);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    heading->setEnabled(false);
}

bool allExist(const QStringList& files) {
    return !files.isEmpty() &&
           std::all_of(files.begin(), files.end(), [](const QString& f) { return QFileInfo(f).isFile(); });
}

// Shows a menu that deletes itself once closed, and remembers it as the current one.
QMenu* popUp(QMenu* menu, QPoint global) {
    QObject::connect(menu, &QMenu::aboutToHide, menu, &QObject::deleteLater);
    lastMenu() = menu;
    menu->popup(global);
    return menu;
}

} // namespace

QMenu* ShareMenu::make(const QStringList& files, QWidget* anchor,
                       const std::optional<QList<CloudDrive>>& drives) {
    auto* menu = new QMenu;
    menu->setObjectName(QStringLiteral("shareMenu"));
    menu->setProperty(filesProperty, files);
    Sharing& sharing = Platform::sharing();
    const bool present = allExist(files);

    addHeading(menu, files.size() == 1 ? QStringLiteral("Share this")
                                       : QStringLiteral("Share all ") + QString::number(files.size()));
    // AirDrop and Messages have no counterpart on Linux, so they are not offered.
    addItem(menu, QStringLiteral("Mail"), QStringLiteral("envelope"), present && sharing.canMail(), [files] {
        if (!Platform::sharing().mail(files)) qCWarning(logSending) << "no mail program took the files";
    });
    addItem(menu, QStringLiteral("Bluetooth"), QStringLiteral("dot.radiowaves.left.and.right"),
            present && sharing.canSendByBluetooth(), [files] {
                if (!Platform::sharing().sendByBluetooth(files))
                    qCWarning(logSending) << "the Bluetooth sender did not start";
            });
    const bool opensElsewhere = present && !sharing.applicationsFor(files).isEmpty();
    QPointer<QWidget> anchorGuard(anchor);
    addItem(menu, QStringLiteral("More…"), QStringLiteral("ellipsis.circle"), opensElsewhere,
            [files, anchorGuard] { showMore(files, anchorGuard.data()); });

    menu->addSeparator();
    const bool anyPicture =
        std::any_of(files.begin(), files.end(), [](const QString& f) { return !CaptureStore::isVideo(f); });
    addItem(menu, QStringLiteral("Steps Document (PDF)"), QStringLiteral("doc.richtext"), anyPicture,
            [files] { StepsPDF::make(files); });

    addHeading(menu, QStringLiteral("Save a copy"));
    const QList<CloudDrive> found = drives ? *drives : CloudDrive::all();
    for (const CloudDrive& drive : found)
        addItem(menu, drive.name, QStringLiteral("externaldrive.badge.icloud"), present,
                [files, drive] { save(files, drive); });
    auto offered = [&found](QLatin1String name) {
        return std::any_of(found.begin(), found.end(),
                           [name](const CloudDrive& d) { return d.name.contains(name); });
    };
    auto openPage = [](const QString& page) {
        return [page] {
            if (!Platform::workspace().open(QUrl(page))) qCWarning(logSending) << "no browser opened" << page;
        };
    };
    if (!offered(QLatin1String("Google Drive")))
        addItem(menu, QStringLiteral("Get Google Drive…"), QStringLiteral("arrow.down.circle"), true,
                openPage(googleDrivePage));
    if (!offered(QLatin1String("OneDrive")))
        addItem(menu, QStringLiteral("Get Microsoft OneDrive…"), QStringLiteral("arrow.down.circle"), true,
                openPage(oneDrivePage));
    addItem(menu, QStringLiteral("Choose a Folder…"), QStringLiteral("folder"), present,
            [files] { chooseFolder(files); });
    return menu;
}

QMenu* ShareMenu::popUpBelow(const QStringList& files, QWidget* button) {
    return popUp(make(files, button), button->mapToGlobal(QPoint(0, button->height() + belowButton)));
}

QMenu* ShareMenu::popUpAt(const QStringList& files, QPoint global, QWidget* anchor) {
    return popUp(make(files, anchor), global);
}

QMenu* ShareMenu::current() {
    return lastMenu().data();
}

QStringList ShareMenu::filesOf(const QMenu* menu) {
    return menu ? menu->property(filesProperty).toStringList() : QStringList();
}

QMenu* ShareMenu::showMore(const QStringList& files, QWidget* anchor) {
    const QList<ShareApplication> apps = Platform::sharing().applicationsFor(files);
    if (apps.isEmpty()) return nullptr;
    auto* picker = new QMenu;
    picker->setObjectName(QStringLiteral("shareApplications"));
    picker->setProperty(filesProperty, files);
    for (const ShareApplication& app : apps) {
        QAction* item = addItem(picker, app.name, {}, true, [files, id = app.id] {
            if (!Platform::sharing().openWith(id, files))
                qCWarning(logSending) << "could not open the files in" << id;
        });
        if (!app.iconName.isEmpty()) item->setIcon(QIcon::fromTheme(app.iconName));
    }
    const bool besideAnchor = anchor && anchor->window() && anchor->window()->isVisible();
    const QPoint at =
        besideAnchor ? anchor->mapToGlobal(QPoint(0, anchor->height() + belowButton)) : QCursor::pos();
    return popUp(picker, at);
}

void ShareMenu::save(const QStringList& files, const CloudDrive& drive) {
    Toast::show(QStringLiteral("Saving to ") + drive.name + QStringLiteral("…"),
                QStringLiteral("arrow.down.circle"));
    using Copies = Outcome<QStringList>;
    auto* watcher = new QFutureWatcher<Copies>(QCoreApplication::instance());
    QObject::connect(watcher, &QFutureWatcher<Copies>::finished, watcher, [watcher, drive] {
        watcher->deleteLater();
        const Copies copies = watcher->result();
        if (!copies) {
            Toast::warn(
                QStringLiteral("Couldn't save to ") + drive.name +
                QStringLiteral(". Your disk may be full, or the folder moved. Try again, or choose another "
                               "folder."));
            return;
        }
        const qsizetype count = copies.value().size();
        Toast::show(count == 1 ? QStringLiteral("Saved to ") + drive.name
                               : QStringLiteral("Saved %1 to ").arg(count) + drive.name);
    });
    watcher->setFuture(QtConcurrent::run([files, drive] { return drive.save(files); }));
}

void ShareMenu::chooseFolder(const QStringList& files) {
    Platform::sharing().chooseFolder(QStringLiteral("Choose a Folder"), QStringLiteral("Save Here"),
                                     [files](std::optional<QString> folder) {
                                         if (!folder) return;
                                         const QString name = QFileInfo(*folder).fileName();
                                         save(files, CloudDrive{name.isEmpty() ? *folder : name, *folder});
                                     });
}

} // namespace ombrel
