// How the editor ends: saving every page off the GUI thread, then copying, sending,
// sharing or closing, with the finished pictures kept in the library.
#include "EditorWindow.h"
#include "understanding/CommentDictation.h"

#include "editor/ShortcutsWindow.h"
#include "library/CaptureStore.h"
#include "library/Clipboard.h"
#include "markup/MarkupRender.h"
#include "platform/Log.h"
#include "platform/Platform.h"
#include "sending/ChatSender.h"
#include "sending/SendChoiceWindow.h"
#include "sending/ShareMenu.h"
#include "ui/Toast.h"

#include <QCloseEvent>
#include <QCursor>
#include <QFutureWatcher>
#include <QtConcurrent>

namespace ombrel {

namespace {

// What one page's save needs, copied so the work can run off the GUI thread.
struct SaveJob {
    Markup markup;
    QString path;
    MarkLook look;
};

struct SaveOutcome {
    QString path;
    bool written = false;
    bool rendered = false;
};

SaveOutcome runSave(const SaveJob& job) {
    const std::optional<QByteArray> png = MarkupRender::pngData(job.markup, job.look);
    if (!png) return {job.path, false, false}; // a page whose picture can't be made is skipped quietly
    if (!CaptureStore::save(*png, job.path)) return {job.path, false, true};
    MarkStore::save(job.markup, job.path);
    return {job.path, true, true};
}

} // namespace

// ---------- saving and endings ----------

QString EditorWindowController::saveURL(CapturePage& page) {
    if (!page.savedURL)
        page.savedURL = CaptureStore::newFileURL(page.canvas->markup().cropImageRect.has_value());
    return *page.savedURL;
}

static const char* const diskFullWarning =
    "Couldn't save the picture. Your disk may be full. Free up some space, then try again.";

void EditorWindowController::savedFiles(bool all, std::function<void(QStringList)> done) {
    QList<SaveJob> jobs;
    bool failed = false;
    const MarkLook look = MarkLook::current();
    for (int i = 0; i < pageCount(); ++i) {
        CapturePage& page = m_pages.at(size_t(i));
        if (!page.isIncluded || (!all && i != m_current)) continue;
        try {
            jobs.append({page.canvas->markup(), saveURL(page), look});
        } catch (const StoreError& e) {
            qCWarning(logEditor) << "no library file for a page:" << e.what();
            failed = true;
        }
    }
    ++m_savesRunning;
    // The watcher belongs to the editor, which lives until its saves have ended.
    auto* watcher = new QFutureWatcher<QList<SaveOutcome>>(this);
    connect(watcher, &QFutureWatcher<QList<SaveOutcome>>::finished, this,
            [this, watcher, done, failed]() mutable {
                QStringList files;
                for (const SaveOutcome& o : watcher->result()) {
                    if (o.written)
                        files.append(o.path);
                    else if (o.rendered) {
                        qCWarning(logEditor) << "couldn't write" << o.path;
                        failed = true;
                    }
                }
                watcher->deleteLater();
                --m_savesRunning;
                if (failed) Toast::warn(QString::fromLatin1(diskFullWarning), isVisible() ? this : nullptr);
                Q_EMIT saved(files);
                if (done) done(files);
                if (m_finished) closingSavesEnded(failed);
            });
    watcher->setFuture(QtConcurrent::run([jobs] {
        QList<SaveOutcome> outcomes;
        for (const SaveJob& job : jobs)
            outcomes.append(runSave(job));
        return outcomes;
    }));
}

void EditorWindowController::saveAll(std::function<void(QStringList)> done) {
    savedFiles(true, std::move(done));
}

void EditorWindowController::withChosenFiles(const QString& verb, std::function<void(QStringList)> act) {
    if (m_ending || m_finished) return; // one press, one ending
    // Whatever the ending, the pictures must be saved before it can act; a failed save
    // leaves the editor open to try again.
    auto guarded = [this, act = std::move(act)](const QStringList& files) {
        if (files.isEmpty()) {
            m_ending = false;
            return;
        }
        act(files);
    };
    int included = 0;
    QList<QImage> pictures;
    for (const CapturePage& p : m_pages)
        if (p.isIncluded) {
            ++included;
            pictures.append(p.canvas->markup().image);
        }
    if (included < 2) {
        m_ending = true;
        saveAll(guarded);
        return;
    }
    // With several pages the user chooses this picture or all of them.
    SendChoiceWindow::ask(verb, canvas()->markup().image, pictures, included, [this, guarded](bool all) {
        if (m_ending || m_finished) return;
        m_ending = true;
        savedFiles(all, guarded);
    });
}

void EditorWindowController::sendToChat() {
    if (m_handsBack) {
        withChosenFiles(QStringLiteral("Add to Ombrel Prompts"), [this](const QStringList&) {
            finish(false);
            Toast::show(QStringLiteral("Added to Ombrel Prompts."));
            Platform::workspace().openApplication(QStringLiteral("com.ombrel.prompts"));
        });
        return;
    }
    withChosenFiles(QStringLiteral("Send to your chat"), [this](const QStringList& files) {
        finish(false);
        // The chat gets the keyboard only once this window has gone from the screen, so the
        // paste cannot land in a window that is still closing.
        QTimer::singleShot(0, qApp, [files] { ChatSender::send(files); });
    });
}

void EditorWindowController::copy() {
    withChosenFiles(QStringLiteral("Copy"), [this](const QStringList& files) {
        Clipboard::put(files);
        const qint64 previous = m_previousPid;
        finish(false);
        if (previous) Platform::windows().activate(previous);
        Toast::show(files.size() == 1
                        ? QStringLiteral("Copied. Paste it anywhere.")
                        : QStringLiteral("Copied %1 pictures. Paste them anywhere.").arg(files.size()));
    });
}

void EditorWindowController::share() {
    withChosenFiles(QStringLiteral("Share"), [this](const QStringList& files) {
        if (files.isEmpty()) return;
        finish(false);
        ShareMenu::popUpAt(files, QCursor::pos());
    });
}

void EditorWindowController::closeEditor(bool byEscape) {
    if (m_finished || m_ending) return;
    // Only pages the user marked are kept: an unmarked capture is not written again. A
    // tile sheet is kept even without marks.
    bool anyMarked = false;
    m_includedBeforeClose.clear();
    for (CapturePage& page : m_pages) {
        m_includedBeforeClose.push_back(page.isIncluded);
        const bool keep = page.canvas->markup().hasAnnotations() || page.tilesSource;
        anyMarked = anyMarked || keep;
        page.isIncluded = page.isIncluded && keep;
    }
    if (anyMarked) saveAll({});
    if (byEscape && anyMarked) Toast::show(QStringLiteral("Closed. Your marked picture is in Recent."));
    finish(byEscape);
}

void EditorWindowController::finish(bool) {
    if (m_finished) return;
    m_finished = true;
    m_dictation->stop();
    m_cursorTimer.stop();
    m_resizeSettled.stop();
    m_thumb.reset();
    m_chipPreview.reset();
    if (ShortcutsWindow* keys = ShortcutsWindow::current()) keys->close();
    hide();
    if (onClose) onClose();
}

void EditorWindowController::closingSavesEnded(bool failed) {
    if (failed && m_finished) {
        // Nothing is lost: the pictures come back, to be saved again once there is room.
        m_finished = false;
        m_ending = false;
        m_deleteWhenSaved = false;
        for (size_t i = 0; i < m_pages.size() && i < m_includedBeforeClose.size(); ++i)
            m_pages[i].isIncluded = m_includedBeforeClose[i];
        bringToFront();
        Toast::warn(QString::fromLatin1(diskFullWarning), this);
        if (onReopen) onReopen();
        return;
    }
    if (m_deleteWhenSaved && m_savesRunning == 0) deleteLater();
}

void EditorWindowController::deleteWhenSaved() {
    m_deleteWhenSaved = true;
    if (m_savesRunning == 0) deleteLater();
}

void EditorWindowController::closeEvent(QCloseEvent* event) {
    if (!m_finished) {
        event->ignore();
        closeEditor(false);
        return;
    }
    QWidget::closeEvent(event);
}

} // namespace ombrel
