#pragma once
// The readings of one picture shown in the editor: a quick and a careful text reading, its
// user-interface elements (from accessibility when it has a source, and from its pixels),
// and the addresses of the browser pages on it. Each runs once, in the background; results come back on the
// GUI thread.

#include "understanding/AccessibilityReader.h"
#include "understanding/TextFinder.h"

#include <QFuture>
#include <QImage>
#include <QObject>
#include <QThreadPool>
#include <functional>

namespace ombrel {

class PageReadings : public QObject {
    Q_OBJECT
  public:
    using Lines = QList<TextFinder::Line>;
    using Elements = QList<ScreenElement>;

    // `source` absent: the picture came from elsewhere; its elements are only those found
    // in its pixels, and no page addresses are read.
    PageReadings(const QImage& picture, std::optional<AccessibilityReader::Source> source,
                 QObject* parent = nullptr);

    // Starts every reading not yet started: both text readings, the elements (when the page
    // reads them) and, when `withAddresses`, the page addresses.
    void start(bool withAddresses);
    bool isStarted() const { return m_started; }
    bool hasSource() const { return m_source.has_value(); }

    // Call `then` on the GUI thread with the reading once it is done (at once when it is).
    // Nothing is called after `receiver` is gone. The readings must have been started.
    void whenQuick(QObject* receiver, std::function<void(const Lines&)> then);
    void whenCareful(QObject* receiver, std::function<void(const Lines&)> then);
    // The page's element list once it is complete: the accessibility elements followed by
    // the elements found in the pixels, without near-duplicates (the accessibility element
    // survives where both found the same rectangle).
    void whenElements(QObject* receiver, std::function<void(const Elements&)> then);
    void whenAddresses(QObject* receiver, std::function<void(const QStringList&)> then);

    // The threads the readings run on: the quick text readings, the careful ones, and the
    // element and address readings, each with its own priority.
    enum class Lane { Quick, Careful, Accessibility };
    static QThreadPool& pool(Lane lane);
    // Waits until no reading of any page runs, so that nothing still uses the platform's
    // services when they are taken down (at the end of a test).
    static void waitForAll();
    // Scheduling niceness of the text-reading lanes (the accessibility lane keeps the
    // program's own): the quick reading is asked for by the user, the careful one is
    // background work.
    static constexpr int quickNiceness = 2;
    static constexpr int carefulNiceness = 10;

  Q_SIGNALS:
    // An element list is ready, on the GUI thread: first the accessibility elements alone,
    // then, after the careful text reading, the complete list.
    void elementsRead(const QList<ombrel::ScreenElement>& elements);

  private:
    template <class T>
    void when(bool started, const QFuture<T>& future, QObject* receiver, std::function<void(const T&)> then);

    QImage m_picture;
    std::optional<AccessibilityReader::Source> m_source;
    bool m_started = false;
    bool m_addressesStarted = false;
    QFuture<Lines> m_quick, m_careful;
    QFuture<Elements> m_accessible, m_elements;
    QFuture<QStringList> m_addresses;
};

} // namespace ombrel
