#pragma once
// A layout that places its widgets left to right and starts a new row when the next one
// would not fit, so a narrow window shows every control whole on more rows.

#include <QLayout>
#include <QList>

namespace ombrel {

class FlowLayout : public QLayout {
  public:
    explicit FlowLayout(QWidget* parent = nullptr, int spacing = 6);
    ~FlowLayout() override;

    void addItem(QLayoutItem* item) override;
    int count() const override { return int(m_items.size()); }
    QLayoutItem* itemAt(int index) const override { return m_items.value(index); }
    QLayoutItem* takeAt(int index) override;
    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return arrange(QRect(0, 0, width, 0), false); }
    void setGeometry(const QRect& rect) override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    // Starts a new row before the next widget whatever room is left.
    void addBreak();

  private:
    int arrange(const QRect& rect, bool apply) const;

    QList<QLayoutItem*> m_items;
    QList<int> m_breaks; // indexes of items that begin a row
};

} // namespace ombrel
