#include "FlowLayout.h"

#include <QWidget>

namespace ombrel {

FlowLayout::FlowLayout(QWidget* parent, int spacing) : QLayout(parent) {
    setSpacing(spacing);
    setContentsMargins(0, 0, 0, 0);
}

FlowLayout::~FlowLayout() {
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

void FlowLayout::addItem(QLayoutItem* item) {
    m_items.append(item);
}

QLayoutItem* FlowLayout::takeAt(int index) {
    if (index < 0 || index >= m_items.size()) return nullptr;
    m_breaks.removeAll(index);
    for (int& b : m_breaks)
        if (b > index) --b;
    return m_items.takeAt(index);
}

void FlowLayout::addBreak() {
    m_breaks.append(int(m_items.size()));
}

void FlowLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    arrange(rect, true);
}

QSize FlowLayout::sizeHint() const {
    // The width at which nothing wraps but at the breaks: the widest of those rows.
    int width = 0;
    int row = 0;
    for (int i = 0; i < m_items.size(); ++i) {
        QLayoutItem* item = m_items.at(i);
        if (m_breaks.contains(i)) row = 0;
        if (item->isEmpty()) continue;
        row += (row > 0 ? spacing() : 0) + item->sizeHint().width();
        width = std::max(width, row);
    }
    const QMargins m = contentsMargins();
    width += m.left() + m.right();
    return QSize(width, heightForWidth(width));
}

QSize FlowLayout::minimumSize() const {
    QSize size;
    for (QLayoutItem* item : m_items)
        if (!item->isEmpty()) size = size.expandedTo(item->minimumSize());
    const QMargins m = contentsMargins();
    return size + QSize(m.left() + m.right(), m.top() + m.bottom());
}

int FlowLayout::arrange(const QRect& rect, bool apply) const {
    const QMargins m = contentsMargins();
    const QRect area = rect.adjusted(m.left(), m.top(), -m.right(), -m.bottom());
    int x = area.x();
    int y = area.y();
    int rowHeight = 0;
    // The items of the row being filled, placed once the row's height is known so they
    // are centred on it.
    QList<std::pair<QLayoutItem*, QPoint>> row;
    auto placeRow = [&] {
        if (apply)
            for (const auto& [item, at] : row) {
                const QSize size = item->sizeHint().boundedTo(QSize(area.width(), QWIDGETSIZE_MAX));
                item->setGeometry(QRect(QPoint(at.x(), at.y() + (rowHeight - size.height()) / 2), size));
            }
        row.clear();
    };
    for (int i = 0; i < m_items.size(); ++i) {
        QLayoutItem* item = m_items.at(i);
        if (item->isEmpty()) continue;
        const QSize size = item->sizeHint().boundedTo(QSize(area.width(), QWIDGETSIZE_MAX));
        const bool breaks = m_breaks.contains(i) && !row.isEmpty();
        if (!row.isEmpty() && (breaks || x + size.width() > area.right() + 1)) {
            placeRow();
            x = area.x();
            y += rowHeight + spacing();
            rowHeight = 0;
        }
        row.append({item, QPoint(x, y)});
        x += size.width() + spacing();
        rowHeight = std::max(rowHeight, size.height());
    }
    placeRow();
    return y + rowHeight - rect.y() + m.bottom();
}

} // namespace ombrel
