#include "PageReadings.h"

#include "understanding/ElementMap.h"
#include "understanding/VisualReader.h"

#include <QFutureWatcher>
#include <QPointer>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace ombrel {

PageReadings::PageReadings(const QImage& picture, std::optional<AccessibilityReader::Source> source,
                           QObject* parent)
    : QObject(parent), m_picture(picture), m_source(source) {}

namespace {

// Threads of a lane run at its priority for good: a thread's priority can be lowered but
// not raised again, so each lane keeps threads of its own. The careful reading is
// background work that may take seconds; the element reading mostly waits for the other
// application, which must not be starved of the processor while it answers.
void lowerPriority(int niceness) {
    const pid_t thread = pid_t(syscall(SYS_gettid));
    if (getpriority(PRIO_PROCESS, id_t(thread)) < niceness) setpriority(PRIO_PROCESS, id_t(thread), niceness);
}

QThreadPool* makePool(int threads) {
    auto* p = new QThreadPool;
    p->setMaxThreadCount(threads);
    p->setExpiryTimeout(-1); // kept alive, so each thread keeps its loaded recogniser
    return p;
}

} // namespace

QThreadPool& PageReadings::pool(Lane lane) {
    static QThreadPool* quick = makePool(1);
    static QThreadPool* careful = makePool(1);
    static QThreadPool* accessibility = makePool(2);
    switch (lane) {
    case Lane::Quick:
        return *quick;
    case Lane::Careful:
        return *careful;
    case Lane::Accessibility:
        break;
    }
    return *accessibility;
}

void PageReadings::waitForAll() {
    // The careful lane waits on the accessibility lane and the quick one, so it goes first;
    // a continuation it queued then finishes before the lanes it ran on are waited for.
    for (Lane lane : {Lane::Careful, Lane::Accessibility, Lane::Quick, Lane::Careful})
        pool(lane).waitForDone();
}

void PageReadings::start(bool withAddresses) {
    const QImage picture = m_picture;
    if (!m_started) {
        m_started = true;
        // The quick reading answers most searches, so it goes first and ahead of the careful one.
        m_quick = QtConcurrent::run(&pool(Lane::Quick), [picture] {
            lowerPriority(quickNiceness);
            return TextFinder::read(picture, false);
        });
        // The careful reading takes the quick one's lines where it reads at the picture's own
        // size, and reads only the bands of small letters again, enlarged. It waits for the
        // quick reading, which then has every recogniser to itself.
        const QFuture<Lines> quick = m_quick;
        m_careful = QtConcurrent::run(&pool(Lane::Careful), [picture, quick] {
            lowerPriority(carefulNiceness);
            return TextFinder::readCarefully(picture, QFuture<Lines>(quick).result());
        });
        const std::optional<AccessibilityReader::Source> source = m_source;
        const QSize size = picture.size();
        m_accessible = QtConcurrent::run(&pool(Lane::Accessibility), [source, size] {
            return source ? ElementMap::merged(AccessibilityReader::elements(*source, size)) : Elements{};
        });
        // Pointing can use the accessibility elements at once; the pixels are read after the
        // careful text reading, whose lines tell buttons from panels, on its background lane.
        when<Elements>(true, m_accessible, this, [this](const Elements& list) { Q_EMIT elementsRead(list); });
        const QFuture<Elements> accessible = m_accessible;
        m_elements = m_careful.then(&pool(Lane::Careful), [picture, accessible](const Lines& lines) {
            Elements all = QFuture<Elements>(accessible).result();
            all.append(VisualReader::elements(picture, lines));
            return ElementMap::merged(all);
        });
        when<Elements>(true, m_elements, this, [this](const Elements& list) { Q_EMIT elementsRead(list); });
    }
    if (withAddresses && !m_addressesStarted) {
        m_addressesStarted = true;
        const std::optional<AccessibilityReader::Source> source = m_source;
        // After the element reading, so the two do not share the other application's
        // answers and run out of time together.
        // A browser still busy redrawing under the editor may not answer in time: it is
        // asked once more when the text readings, which share the processor with it, are done.
        const QFuture<Lines> careful = m_careful;
        m_addresses = m_accessible.then(&pool(Lane::Accessibility), [source, careful](const Elements&) {
            if (!source) return QStringList{};
            QStringList addresses = AccessibilityReader::pageAddresses(*source);
            if (addresses.isEmpty()) {
                QFuture<Lines>(careful).waitForFinished();
                addresses = AccessibilityReader::pageAddresses(*source);
            }
            return addresses;
        });
    }
}

template <class T>
void PageReadings::when(bool started, const QFuture<T>& future, QObject* receiver,
                        std::function<void(const T&)> then) {
    if (!started) return;
    if (future.isFinished()) {
        then(future.result());
        return;
    }
    auto* watcher = new QFutureWatcher<T>(receiver);
    connect(watcher, &QFutureWatcher<T>::finished, receiver, [watcher, then = std::move(then)] {
        const T result = watcher->result();
        watcher->deleteLater();
        then(result);
    });
    watcher->setFuture(future);
}

void PageReadings::whenQuick(QObject* receiver, std::function<void(const Lines&)> then) {
    when<Lines>(m_started, m_quick, receiver, std::move(then));
}

void PageReadings::whenCareful(QObject* receiver, std::function<void(const Lines&)> then) {
    when<Lines>(m_started, m_careful, receiver, std::move(then));
}

void PageReadings::whenElements(QObject* receiver, std::function<void(const Elements&)> then) {
    when<Elements>(m_started, m_elements, receiver, std::move(then));
}

void PageReadings::whenAddresses(QObject* receiver, std::function<void(const QStringList&)> then) {
    when<QStringList>(m_addressesStarted, m_addresses, receiver, std::move(then));
}

} // namespace ombrel
