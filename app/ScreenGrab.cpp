#include "ScreenGrab.h"
#include "ImageImport.h"

#include "platform/Platform.h"

#include <QFutureWatcher>
#include <QtConcurrent>

namespace ombrel {

Outcome<Capture> grabDisplayNow(const DisplayInfo& display) {
    auto grabbed = Platform::screens().grabDisplay(display.id, captureSize(display.globalRectPx.size()));
    if (!grabbed) return Outcome<Capture>::fail(grabbed.failure(), grabbed.message());
    return Outcome<Capture>::ok(Capture{grabbed.take(), display.globalRectPx, 0});
}

Outcome<Capture> grabWindowNow(const WindowInfo& window) {
    QSize size = Platform::screens().windowSize(window.id);
    if (size.isEmpty()) size = window.frameGlobal.size();
    if (size.isEmpty())
        return Outcome<Capture>::fail(Failure::Permanent, QStringLiteral("That window is closed or hidden."));
    auto grabbed = Platform::screens().grabWindow(window.id, captureSize(size));
    if (!grabbed) return Outcome<Capture>::fail(grabbed.failure(), grabbed.message());
    return Outcome<Capture>::ok(Capture{grabbed.take(), window.frameGlobal, window.pid});
}

namespace {
void runOffThread(std::function<Outcome<Capture>()> work, QObject* context, CaptureDone done) {
    auto* watcher = new QFutureWatcher<Outcome<Capture>>(context);
    QObject::connect(watcher, &QFutureWatcher<Outcome<Capture>>::finished, context, [watcher, done] {
        done(watcher->result());
        watcher->deleteLater();
    });
    watcher->setFuture(QtConcurrent::run(std::move(work)));
}
} // namespace

void grabDisplay(const DisplayInfo& display, QObject* context, CaptureDone done) {
    runOffThread([display] { return grabDisplayNow(display); }, context, std::move(done));
}

void grabWindow(const WindowInfo& window, QObject* context, CaptureDone done) {
    runOffThread([window] { return grabWindowNow(window); }, context, std::move(done));
}

} // namespace ombrel
