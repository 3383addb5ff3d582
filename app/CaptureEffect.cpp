#include "CaptureEffect.h"

#include "platform/Defaults.h"
#include "platform/Platform.h"
#include "platform/ScreenSpace.h"
#include "ui/Glass.h"

#include <QPainter>
#include <QPointer>
#include <QPropertyAnimation>
#include <QWidget>
#include <QtEndian>
#include <cmath>

namespace ombrel {

namespace {

QPointer<QWidget>& flashPanel() {
    static QPointer<QWidget> panel;
    return panel;
}

class FlashPanel : public QWidget {
  public:
    FlashPanel() { makeFloatingOverlay(this, true); }

  protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), Qt::white); }
};

void appendLE16(QByteArray& out, quint16 v) {
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}
void appendLE32(QByteArray& out, quint32 v) {
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

} // namespace

bool CaptureEffect::isOn() {
    return !Defaults::get(Keys::noShutterEffect);
}
void CaptureEffect::setOn(bool on) {
    Defaults::set(Keys::noShutterEffect, !on);
}
bool CaptureEffect::isFlashing() {
    return flashPanel() != nullptr;
}

void CaptureEffect::play(const QRect& screenGlobal) {
    if (!isOn()) return;
    Platform::sounds().playEvent(QStringLiteral("camera-shutter"));
    if (QWidget* old = flashPanel()) {
        old->hide();
        old->deleteLater();
    }
    auto* panel = new FlashPanel;
    panel->setGeometry(ScreenSpace::toLogical(screenGlobal));
    panel->setWindowOpacity(flashAlpha);
    panel->show();
    flashPanel() = panel;
    auto* fade = new QPropertyAnimation(panel, "windowOpacity", panel);
    fade->setDuration(flashMs);
    fade->setStartValue(flashAlpha);
    fade->setEndValue(0.0);
    QObject::connect(fade, &QPropertyAnimation::finished, panel, [panel] {
        panel->hide();
        panel->deleteLater();
    });
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}

QByteArray Chime::wav(bool rising) {
    const double notes[2] = {rising ? 659.25 : 987.77, rising ? 987.77 : 659.25};
    const double noteSeconds = 0.09; // the release reaches zero here
    const int perNote = int(std::round(noteSeconds * sampleRate));
    QByteArray pcm;
    pcm.reserve(perNote * 2 * 2);
    for (double f : notes) {
        for (int i = 0; i < perNote; ++i) {
            const double t = double(i) / sampleRate;
            const double attack = std::min(1.0, t / 0.008);
            const double release = std::min(1.0, (0.09 - t) / 0.05);
            const double amplitude = 0.32 * attack * std::max(0.0, release);
            double value = (std::sin(2 * M_PI * f * t) + 0.25 * std::sin(4 * M_PI * f * t)) * amplitude;
            value = std::clamp(value, -1.0, 1.0);
            appendLE16(pcm, quint16(qint16(std::lround(value * 32767))));
        }
    }
    QByteArray out("RIFF");
    appendLE32(out, quint32(36 + pcm.size()));
    out.append("WAVEfmt ");
    appendLE32(out, 16);
    appendLE16(out, 1); // PCM
    appendLE16(out, 1); // mono
    appendLE32(out, sampleRate);
    appendLE32(out, sampleRate * 2);
    appendLE16(out, 2);
    appendLE16(out, 16);
    out.append("data");
    appendLE32(out, quint32(pcm.size()));
    out.append(pcm);
    return out;
}

void Chime::start() {
    if (CaptureEffect::isOn()) Platform::sounds().playWav(wav(true), volume);
}

void Chime::stop() {
    if (CaptureEffect::isOn()) Platform::sounds().playWav(wav(false), volume);
}

} // namespace ombrel
