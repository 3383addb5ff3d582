// What the editor does with screen understanding: the find field, Auto-Blur, and the
// readings of each page (text, elements and the browser page's address) that feed them
// and the pointing of the Select tool.
#include "EditorWindow.h"

#include "library/CaptureStore.h"
#include "understanding/ElementMap.h"

#include <QLineEdit>

namespace ombrel {

void EditorWindowController::buildUnderstandingControls(QLayout* row) {
    m_find = new QLineEdit;
    m_find->setObjectName(QStringLiteral("findField"));
    m_find->setPlaceholderText(QStringLiteral("Find: login button, images…"));
    m_find->setToolTip(
        QStringLiteral("Understands words on screen and kinds of thing, like \"login button\" or "
                       "\"images\". Press Return."));
    m_find->setClearButtonEnabled(true);
    m_find->setAccessibleName(QStringLiteral("Find"));
    // Wide enough to show its placeholder whole, which says what it understands.
    m_find->setMinimumWidth(m_find->fontMetrics().horizontalAdvance(m_find->placeholderText()) + 48);
    m_find->installEventFilter(this); // Escape gives the keys back to the canvas
    connect(m_find, &QLineEdit::returnPressed, this, &EditorWindowController::findOnPage);
    m_find->setProperty("baseTip", m_find->toolTip());
    row->addWidget(m_find);
    addButton(
        row, QStringLiteral("Auto-Blur"),
        QStringLiteral("Finds emails, card and phone numbers, passwords and keys, and blurs them for you"),
        [this] { autoBlur(); });
}

void EditorWindowController::startReadings(CapturePage& page) {
    if (!page.readings) return;
    const bool firstTime = !page.readings->isStarted();
    const bool withAddresses = page.readings->hasSource() && PageAddress::isOn();
    page.readings->start(withAddresses);
    if (!firstTime || !withAddresses) return;
    QPointer<CanvasView> canvas = page.canvas;
    // The address of the browser page on the picture becomes its page link, unless the
    // page already has links of its own.
    page.readings->whenAddresses(page.canvas, [this, canvas](const QStringList& addresses) {
        if (!canvas || addresses.isEmpty() || !canvas->markup().links.isEmpty() || !PageAddress::isOn())
            return;
        for (const QString& url : addresses)
            canvas->markupForEditing().links.append(Markup::PageLink{url, true});
        canvas->update();
        if (canvas == this->canvas()) rebuildNotes();
    });
}

void EditorWindowController::findOnPage() {
    const QString query = m_find->text();
    if (query.trimmed().isEmpty()) return;
    CapturePage& page = m_pages.at(size_t(m_current));
    startReadings(page);
    setStatus(QStringLiteral("Looking…"));
    QPointer<CanvasView> canvas = page.canvas;
    QPointer<PageReadings> readings = page.readings;
    const QSize size = canvas->markup().imageSize();

    // Shows the outcome and adds the marks, unless the user has typed on since.
    auto show = [this, canvas, query](const QList<Markup::Box>& boxes) {
        if (!canvas || m_find->text() != query) return;
        if (boxes.isEmpty())
            setProblem(QStringLiteral("Couldn't see \"%1\". Try the words on it.").arg(query));
        else
            setStatus(QStringLiteral("Found %1. Add a comment below.").arg(boxes.size()));
        canvas->add(boxes);
    };
    auto textBoxes = [](const QList<QRectF>& rects) {
        QList<Markup::Box> boxes;
        for (const QRectF& r : rects)
            boxes.append(Markup::Box(r));
        return boxes;
    };
    if (!readings) {
        show({});
        return;
    }
    readings->whenElements(canvas, [=, this](const QList<ScreenElement>& elements) {
        QList<Markup::Box> boxes;
        for (const ScreenElement& e : ElementMap::find(query, elements)) {
            const QString label = e.label();
            boxes.append(
                Markup::Box(e.imageRect, {}, false, label.isEmpty() ? std::nullopt : std::optional(label)));
        }
        if (!boxes.isEmpty() || !readings) {
            show(boxes);
            return;
        }
        readings->whenQuick(canvas, [=, this](const PageReadings::Lines& quick) {
            const QList<QRectF> found = TextFinder::find(query, quick, size);
            if (!found.isEmpty() || !readings) {
                show(textBoxes(found));
                return;
            }
            if (m_find->text() == query)
                setStatus(QStringLiteral("Looking closer. This can take a moment on a busy Mac…"));
            readings->whenCareful(canvas, [=](const PageReadings::Lines& careful) {
                show(textBoxes(TextFinder::find(query, careful, size)));
            });
        });
    });
}

void EditorWindowController::autoBlur() {
    CapturePage& page = m_pages.at(size_t(m_current));
    startReadings(page);
    setStatus(QStringLiteral("Reading carefully. This can take a moment on a busy Mac…"));
    QPointer<CanvasView> canvas = page.canvas;
    if (!page.readings) {
        setProblem(QStringLiteral("Found nothing to blur. Have a quick look yourself."));
        return;
    }
    const QSize size = canvas->markup().imageSize();
    page.readings->whenCareful(canvas, [this, canvas, size](const PageReadings::Lines& lines) {
        const QList<QRectF> areas = TextFinder::privateAreas(lines, size);
        if (areas.isEmpty()) {
            setProblem(QStringLiteral("Found nothing to blur. Have a quick look yourself."));
            return;
        }
        setStatus(QStringLiteral("Blurred %1. It can miss things, so have a quick look.").arg(areas.size()));
        QList<Markup::Box> boxes;
        for (const QRectF& r : areas)
            boxes.append(Markup::Box(r, {}, true));
        canvas->add(boxes);
    });
}

} // namespace ombrel
