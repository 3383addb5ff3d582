#include "app/CaptureEffect.h"
#include "support/TestEnv.h"

#include <QTest>
#include <QtEndian>
#include <cmath>

using namespace ombrel;
using ombrel::test::LibraryTest;

namespace {
qint16 sampleAt(const QByteArray& wav, int index) {
    return qFromLittleEndian<qint16>(wav.constData() + 44 + 2 * index);
}
} // namespace

TEST(Chime, IsA16BitMonoWavOfTwoNotes) {
    const QByteArray wav = Chime::wav(true);
    ASSERT_GE(wav.size(), 44);
    EXPECT_EQ(wav.left(4), "RIFF");
    EXPECT_EQ(wav.mid(8, 8), "WAVEfmt ");
    EXPECT_EQ(qFromLittleEndian<quint32>(wav.constData() + 4), quint32(wav.size() - 8));
    EXPECT_EQ(qFromLittleEndian<quint16>(wav.constData() + 22), 1) << "mono";
    EXPECT_EQ(qFromLittleEndian<quint32>(wav.constData() + 24), 44100u);
    EXPECT_EQ(qFromLittleEndian<quint16>(wav.constData() + 34), 16);
    const int samples = (wav.size() - 44) / 2;
    EXPECT_EQ(samples, 2 * 3969) << "two notes of 0.09 s";
    // The attack starts from silence and the release ends in silence.
    EXPECT_EQ(sampleAt(wav, 0), 0);
    EXPECT_LT(std::abs(sampleAt(wav, 3968)), 20);
    EXPECT_GT(std::abs(sampleAt(wav, 3969 / 2)), 20);
    // Never louder than 0.32 × 1.25 of full scale.
    int loudest = 0;
    for (int i = 0; i < samples; ++i)
        loudest = std::max(loudest, std::abs(int(sampleAt(wav, i))));
    EXPECT_LE(loudest, int(0.32 * 1.25 * 32767) + 1);
    EXPECT_GT(loudest, 8000);
}

TEST(Chime, RisingStartsLowAndFallingStartsHigh) {
    // Count zero crossings in the first note: the higher note crosses more often.
    auto crossings = [](const QByteArray& wav) {
        int n = 0;
        for (int i = 1; i < 3969; ++i)
            if ((sampleAt(wav, i - 1) < 0) != (sampleAt(wav, i) < 0)) ++n;
        return n;
    };
    const int rising = crossings(Chime::wav(true));
    const int falling = crossings(Chime::wav(false));
    EXPECT_NEAR(rising, 2 * 659.25 * 0.09, 12);
    EXPECT_NEAR(falling, 2 * 987.77 * 0.09, 12);
}

using CaptureEffectTest = LibraryTest;

TEST_F(CaptureEffectTest, ShutterAndChimesPlayOnlyWhenTurnedOn) {
    CaptureEffect::play(QRect(0, 0, 800, 600));
    EXPECT_EQ(platform.sounds->events, QStringList{"camera-shutter"});
    EXPECT_TRUE(CaptureEffect::isFlashing());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !CaptureEffect::isFlashing(); }, 2000));
    Chime::start();
    ASSERT_EQ(platform.sounds->wavs.size(), 1);
    EXPECT_EQ(platform.sounds->volumes.first(), 0.5);

    CaptureEffect::setOn(false);
    CaptureEffect::play(QRect(0, 0, 800, 600));
    Chime::stop();
    EXPECT_EQ(platform.sounds->events.size(), 1);
    EXPECT_EQ(platform.sounds->wavs.size(), 1);
    EXPECT_FALSE(CaptureEffect::isFlashing());
}
