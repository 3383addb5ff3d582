#include "Attention.h"
#include "Glass.h"

#include "platform/Platform.h"

#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPointer>
#include <QVariantAnimation>
#include <QWidget>

namespace ombrel {

namespace {

constexpr int reachPx = 60; // how far the rings grow beyond the place

class Rings : public QWidget {
  public:
    explicit Rings(const QRect& target) : m_target(target) {
        makeFloatingOverlay(this, true);
        setGeometry(target.adjusted(-reachPx, -reachPx, reachPx, reachPx));
        auto* anim = new QVariantAnimation(this);
        anim->setStartValue(0.0);
        anim->setEndValue(double(Attention::pulses));
        anim->setDuration(Attention::pulses * Attention::pulseMs);
        connect(anim, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
            m_phase = v.toDouble();
            // Without a compositor a translucent window shows black: only the rings may show.
            if (Platform::isInstalled() && !Platform::windows().isCompositing())
                setMask(QRegion(rings().toFillPolygon().toPolygon()));
            update();
        });
        connect(anim, &QVariantAnimation::finished, this, &QWidget::close);
        setAttribute(Qt::WA_DeleteOnClose);
        anim->start(QAbstractAnimation::DeleteWhenStopped);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QColor ring = GlassPalette::accent.lighter(130);
        ring.setAlphaF(0.9 * (1 - pulse()));
        p.setPen(QPen(ring, ringWidth));
        p.setBrush(Qt::NoBrush);
        p.drawPath(growingRing());
        // A steady outline on the place itself while the rings run.
        QColor steady = GlassPalette::accent.lighter(130);
        steady.setAlphaF(0.8);
        p.setPen(QPen(steady, ringWidth - 1));
        p.drawPath(steadyRing());
    }

  private:
    static constexpr qreal ringWidth = 4;
    qreal pulse() const { return m_phase - std::floor(m_phase); } // 0 → 1 within each pulse
    QRectF core() const { return QRectF(rect()).adjusted(reachPx, reachPx, -reachPx, -reachPx); }
    QPainterPath growingRing() const {
        const qreal grow = 6 + pulse() * (reachPx - 8);
        const QRectF r = core().adjusted(-grow, -grow, grow, grow);
        QPainterPath path;
        path.addRoundedRect(r, r.height() / 2.5, r.height() / 2.5);
        return path;
    }
    QPainterPath steadyRing() const {
        QPainterPath path;
        path.addRoundedRect(core().adjusted(-4, -4, 4, 4), 8, 8);
        return path;
    }
    // Where the window paints: both outlines, as wide as their pens.
    QPainterPath rings() const {
        QPainterPathStroker stroker;
        stroker.setWidth(ringWidth + 2);
        return stroker.createStroke(growingRing()).united(stroker.createStroke(steadyRing()));
    }

    QRect m_target;
    qreal m_phase = 0;
};

QPointer<QWidget>& showing() {
    static QPointer<QWidget> rings;
    return rings;
}

} // namespace

void Attention::pointAt(const QRect& globalRect) {
    if (showing()) showing()->close();
    if (globalRect.isEmpty()) return;
    auto* rings = new Rings(globalRect);
    showing() = rings;
    rings->show();
}

QWidget* Attention::current() {
    return showing();
}

} // namespace ombrel
