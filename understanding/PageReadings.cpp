#include "PageReadings.h"

#include "understanding/ElementMap.h"

#include <QFutureWatcher>
#include <QPointer>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent>

namespace ombrel {

PageReadings::PageReadings(const QImage& picture, std::optional<AccessibilityReader::Source> source, QObject* parent)
    : QObject(parent), m_picture(picture), m_source(source) {}

QThreadPool& PageReadings::pool() {
    // Threads enough that an element reading never waits behind two text readings; kept
    // alive so each keeps its loaded recogniser.
    static QThreadPool* readings = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(4);
        p->setExpiryTimeout(-1);
        return p;
    }();
    return *readings;
}

void PageReadings::start(bool withAddresses) {
    const QImage picture = m_picture;
    if (!m_started) {
        m_started = true;
        // The quick reading answers most searches, so it goes first and ahead of the careful one.
        m_quick = QtConcurrent::run(&pool(), [picture] {
            QThread::currentThread()->setPriority(QThread::NormalPriority);
            return TextFinder::read(picture, false);
        });
        m_careful = QtConcurrent::run(&pool(), [picture] {
            QThread::currentThread()->setPriority(QThread::LowPriority);
            return TextFinder::read(picture, true);
        });
        const std::optional<AccessibilityReader::Source> source = m_source;
        const QSize size = picture.size();
        m_elements = QtConcurrent::run(&pool(), [source, size] {
            QThread::currentThread()->setPriority(QThread::NormalPriority);
            return source ? ElementMap::merged(AccessibilityReader::elements(*source, size)) : Elements{};
        });
        when<Elements>(true, m_elements, this, [this](const Elements& list) { Q_EMIT elementsRead(list); });
    }
    if (withAddresses && !m_addressesStarted) {
        m_addressesStarted = true;
        const std::optional<AccessibilityReader::Source> source = m_source;
        m_addresses = QtConcurrent::run(&pool(), [source] {
            return source ? AccessibilityReader::pageAddresses(*source) : QStringList{};
        });
    }
}

template <class T>
void PageReadings::when(bool started, const QFuture<T>& future, QObject* receiver,
                        std::function<void(const T&)> then) {
    if (!started)
        return;
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
