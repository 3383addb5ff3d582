// The recorder's rules (video size, pointer positions, voice level) and its ways of finishing,
// recorded for real from the fake platform's pictures and tone into MPEG-4 files.
#include "recording/ScreenRecorder.h"
#include "RecordingTestSupport.h"
#include "library/CaptureStore.h"
#include "recording/RecordingWriter.h"
#include "recording/VideoThumbnails.h"
#include "recording/VoiceLevel.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

namespace ombrel {
struct ScreenRecorderInspector {
    static void addClick(ScreenRecorder& r, ZoomPlan::Click c) { r.m_clicks.push_back(c); }
    static void finish(ScreenRecorder& r, const QString& failure) { r.finish(failure); }
};
} // namespace ombrel

using namespace ombrel;
using Inspect = ScreenRecorderInspector;

namespace {

// Counts the pictures that decode, at 16 × 9 grey.
int decodablePictures(const QString& path, double seconds) {
    VideoThumbnails video(path, 16, 9);
    std::vector<uint8_t> grey;
    int count = 0;
    for (double t = 0; t < seconds; t += 1.0 / 30)
        count += video.greyFrameNear(t, 0.001, grey) ? 1 : 0;
    return count;
}

// The mean height of the dark text lines the fake screen shows, down one column of a
// 320 × 180 grey picture near `t`, above the moving block at the bottom: 4 rows unzoomed,
// more the more the picture is enlarged.
double lineHeightNear(const QString& path, double t) {
    VideoThumbnails video(path, 320, 180);
    std::vector<uint8_t> grey;
    if (!video.greyFrameNear(t, 0.05, grey)) return 0;
    int runs = 0, dark = 0;
    for (int y = 0; y < 140; ++y) {
        const bool isDark = grey[size_t(y) * 320 + 100] < 128;
        dark += isDark ? 1 : 0;
        runs += isDark && (y == 0 || grey[size_t(y - 1) * 320 + 100] >= 128) ? 1 : 0;
    }
    return runs ? double(dark) / runs : 0;
}

} // namespace

TEST(RecordingRules, VideoSizeKeepsTheLongEdgeWithin2560AndBothSidesEven) {
    const struct {
        QSizeF points;
        double scale;
        QSize expected;
    } rows[] = {{{3840, 2160}, 2.0, {2560, 1440}}, {{1440, 900}, 2.0, {2560, 1600}},
                {{1920, 1080}, 1.0, {1920, 1080}}, {{1001, 601}, 1.0, {1000, 600}},
                {{600, 3000}, 1.0, {512, 2560}},   {{0, 0}, 1.0, {}}};
    for (const auto& row : rows)
        EXPECT_EQ(ScreenRecorder::videoSize(row.points, row.scale), row.expected)
            << row.points.width() << " x " << row.points.height() << " at " << row.scale;
}

TEST(RecordingRules, PointerPositionsAreFractionsOfTheRecordedAreaAndNothingOutsideIt) {
    const QRectF window(100, 50, 400, 300); // a window's frame, taken when the recording began
    const auto at = [&](double x, double y) {
        return ScreenRecorder::normalised({x, y}, window).value_or(QPointF(-1, -1));
    };
    EXPECT_EQ(at(300, 200), QPointF(0.5, 0.5));
    EXPECT_EQ(at(100, 50), QPointF(0, 0));
    EXPECT_NEAR(at(490, 53).y(), 0.01, 1e-9) << "y grows downward from the top edge";
    for (const QPointF outside : {QPointF(500, 200), QPointF(300, 350), QPointF(99, 200), QPointF(300, 49)})
        EXPECT_FALSE(ScreenRecorder::normalised(outside, window))
            << outside.x() << ", " << outside.y() << ": the right and bottom edges lie outside too";
    EXPECT_FALSE(ScreenRecorder::normalised({0, 0}, QRectF()));
}

TEST(RecordingRules, VoiceLevelIsEightTimesTheRootMeanSquareOfFloatSoundOnly) {
    EXPECT_EQ(VoiceLevel::ofSamples(nullptr, 0), 0.0);
    const std::vector<float> quiet(480, 0.05f);
    EXPECT_NEAR(VoiceLevel::ofSamples(quiet.data(), qsizetype(quiet.size())), 0.4, 1e-6);
    const std::vector<float> loud{0.9f, -0.9f, 0.9f, -0.9f};
    EXPECT_EQ(VoiceLevel::ofSamples(loud.data(), 4), 1.0) << "capped at 1";

    AudioChunk chunk{AudioChunk::SampleFormat::Float32, 2, 48000, quiet.data(), 240};
    EXPECT_NEAR(VoiceLevel::of(chunk), 0.4, 1e-6) << "both channels are measured";
    chunk.frames = 0;
    EXPECT_EQ(VoiceLevel::of(chunk), 0.0);
    const std::vector<int16_t> pcm(480, 8000);
    EXPECT_EQ(VoiceLevel::of({AudioChunk::SampleFormat::Int16, 1, 48000, pcm.data(), 480}), 0.0)
        << "only float sound is measured";
}

TEST(RecordingWriterTest, ARecordingCutOffWithoutFinishingStillPlaysItsCompleteFragments) {
    QTemporaryDir dir;
    const QString path = dir.filePath("cut.mp4");
    {
        RecordingWriter::Settings settings;
        settings.videoSize = QSize(160, 90);
        auto writer = RecordingWriter::open(path, settings);
        ASSERT_TRUE(writer) << writer.message().toStdString();
        QImage picture(160, 90, QImage::Format_RGB32);
        for (int i = 0; i < 150; ++i) { // five seconds: fragments begin at 0, 2 and 4 s
            picture.fill(QColor::fromHsv(i * 2 % 360, 200, 200));
            ASSERT_TRUE(writer.value()->addPicture(picture, i));
        }
        // Dropped without finish(), as a killed program would leave it.
    }
    ASSERT_GT(QFileInfo(path).size(), 0);
    EXPECT_GE(decodablePictures(path, 5), 60) << "at least the first two whole fragments";
}

TEST(RecordingWriterTest, PicturesOfAnotherShapeAreFittedWithBarsAndTheVideoKeepsItsSize) {
    QTemporaryDir dir;
    const QString path = dir.filePath("bars.mp4");
    RecordingWriter::Settings settings;
    settings.videoSize = QSize(160, 90);
    auto writer = RecordingWriter::open(path, settings);
    ASSERT_TRUE(writer);
    QImage tall(50, 90, QImage::Format_RGB32); // a window that became narrow
    tall.fill(Qt::white);
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(writer.value()->addPicture(tall, i));
    ASSERT_TRUE(writer.value()->finish());
    VideoThumbnails video(path, 160, 90);
    std::vector<uint8_t> grey;
    ASSERT_TRUE(video.greyFrameNear(0.1, 0.1, grey));
    EXPECT_LT(grey[45 * 160 + 5], 40) << "black bar on the left";
    EXPECT_GT(grey[45 * 160 + 80], 215) << "the picture in the middle";
    EXPECT_FALSE(RecordingWriter::open(dir.filePath("odd.mp4"), {QSize(161, 90)}));
}

class ScreenRecorderTest : public ombrel::test::LibraryTest {
  protected:
    void SetUp() override {
        LibraryTest::SetUp();
        QDir().mkpath(dir.filePath("tmp"));
    }
    QString temporary(const QString& name = "ombrel-recording-test.mp4") {
        return dir.filePath("tmp/" + name);
    }

    struct Result {
        bool finished = false;
        std::optional<QString> file;
        QString error;
        int finishing = 0;
    };
    void watch(ScreenRecorder& r, Result& result) {
        r.onFinish = [&result](std::optional<QString> file, const QString& error) {
            result.finished = true;
            result.file = std::move(file);
            result.error = error;
        };
        r.onFinishing = [&result] { ++result.finishing; };
    }
    // Starts recording and answers the start's error, empty when it started.
    QString start(ScreenRecorder& r, const ScreenRecorder::Target& target, bool microphone) {
        bool started = false;
        QString error;
        r.start(target, microphone, [&](const QString& e) {
            started = true;
            error = e;
        });
        EXPECT_TRUE(QTest::qWaitFor([&] { return started; }, 5000));
        return error;
    }
    // Records for `seconds` from the fake display, running `during` halfway through.
    void record(ScreenRecorder& r, bool microphone, double seconds,
                const std::function<void()>& during = {}) {
        const QString error =
            start(r, ScreenRecorder::Target::screen({1, QRect(0, 0, 640, 360), true, "screen"}), microphone);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        QTest::qWait(int(seconds * 500));
        if (during) during();
        QTest::qWait(int(seconds * 500));
        r.stop();
    }
};

TEST_F(ScreenRecorderTest, AnEmptyOrMissingRawFileSavesNothingAndSaysWhy) {
    QFile(temporary()).open(QIODevice::WriteOnly); // 0 bytes
    ScreenRecorder recorder(false, temporary());
    Result result;
    watch(recorder, result);
    Inspect::finish(recorder, QString());
    EXPECT_TRUE(result.finished);
    EXPECT_FALSE(result.file);
    EXPECT_FALSE(result.error.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(temporary())) << "the empty file is deleted";
    EXPECT_TRUE(CaptureStore::all().isEmpty());

    ScreenRecorder failed(false, temporary("ombrel-recording-missing.mp4"));
    watch(failed, result);
    Inspect::finish(failed, QStringLiteral("The display went away."));
    EXPECT_EQ(result.error, QStringLiteral("The display went away."))
        << "the capture's own failure is passed on";
}

TEST_F(ScreenRecorderTest, ARecordingThatTakesLongToCloseIsMovedOnlyOnceClosedAndWithoutSamplesIsSavedPlain) {
    // A microphone that takes longer to stop than the recorder's stop timer: the file must
    // not move while the encoder is still writing its tail.
    platform.recording->microphoneStopDelayMs = ScreenRecorder::stopWaitMs + 1500;
    ScreenRecorder recorder(true, temporary());
    Result result;
    watch(recorder, result);
    record(recorder, true, 0.8); // the pointer stays off the recorded area: no samples
    QTest::qWait(ScreenRecorder::stopWaitMs + 500);
    EXPECT_FALSE(result.finished) << "finished while the file was still being closed";
    EXPECT_TRUE(QFileInfo::exists(temporary()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return result.finished; }, 20000));
    ASSERT_TRUE(result.file) << result.error.toStdString();
    EXPECT_EQ(result.finishing, 0) << "no zooming without samples";
    EXPECT_TRUE(result.file->startsWith(CaptureStore::folder())) << "a new library file";
    EXPECT_TRUE(CaptureStore::isVideo(*result.file));
    EXPECT_FALSE(QFileInfo::exists(temporary())) << "moved, not copied";
    EXPECT_TRUE(ombrel::test::probe(*result.file).audio);
    EXPECT_NEAR(VideoThumbnails(*result.file, 16, 9).durationSeconds().value_or(0), 0.8, 0.35);
    EXPECT_GE(decodablePictures(*result.file, 0.8), 15)
        << "the whole recording at about 30 pictures a second";
    EXPECT_NEAR(lineHeightNear(*result.file, 0.7), lineHeightNear(*result.file, 0.0), 0.5)
        << "never enlarged";
}

TEST_F(ScreenRecorderTest, ClicksInsideTheAreaAreSampledAndTheSavedVideoIsZoomed) {
    platform.recording->pointerAt = QPoint(160, 90);
    ScreenRecorder recorder(true, temporary());
    Result result;
    watch(recorder, result);
    record(recorder, false, 1.0, [&] {
        ASSERT_TRUE(platform.recording->monitor);
        platform.recording->monitor->press(QPoint(160, 90));
        platform.recording->monitor->press(QPoint(2500, 100)); // another screen: not ours
        platform.recording->monitor->scroll();
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return result.finished; }, 30000));
    ASSERT_TRUE(result.file) << result.error.toStdString();
    EXPECT_EQ(result.finishing, 1);
    ASSERT_EQ(recorder.clicks().size(), 1u);
    EXPECT_EQ(QPointF(recorder.clicks()[0].x, recorder.clicks()[0].y), QPointF(0.25, 0.25));
    EXPECT_EQ(recorder.scrolls().size(), 1u);
    EXPECT_GE(recorder.pointer().size(), 10u) << "20 samples a second";
    EXPECT_FALSE(QFileInfo::exists(temporary()));
    EXPECT_FALSE(ombrel::test::probe(*result.file).audio);
    const double before = lineHeightNear(*result.file, 0.0), after = lineHeightNear(*result.file, 0.95);
    EXPECT_GT(after, before * 1.3) << "by the end the picture is enlarged around the click";
    EXPECT_EQ(recorder.outputSize(), QSize(640, 360))
        << "the display's size, although its pictures are smaller";
}

TEST_F(ScreenRecorderTest, AZoomThatFailsLeavesThePlainRecordingInTheLibrary) {
    const QByteArray only("not a video at all, but the user's only copy");
    QFile raw(temporary());
    ASSERT_TRUE(raw.open(QIODevice::WriteOnly) && raw.write(only) == only.size());
    raw.close();
    ScreenRecorder recorder(true, temporary());
    Inspect::addClick(recorder, {0.5, 0.5, 0.5});
    Result result;
    watch(recorder, result);
    Inspect::finish(recorder, QString());
    ASSERT_TRUE(QTest::qWaitFor([&] { return result.finished; }, 10000));
    EXPECT_EQ(result.finishing, 1);
    ASSERT_TRUE(result.file) << result.error.toStdString();
    QFile saved(*result.file);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), only);
    EXPECT_EQ(CaptureStore::all().size(), 1) << "no half-written zoom left beside it";
    EXPECT_FALSE(QFileInfo::exists(temporary()));
}

TEST_F(ScreenRecorderTest, AStartThatCannotOpenTheDisplaySaysWhyAndWritesNothing) {
    platform.recording->failOpen = QStringLiteral("That display is no longer connected.");
    ScreenRecorder recorder(false, temporary());
    EXPECT_EQ(
        start(recorder, ScreenRecorder::Target::screen({7, QRect(0, 0, 800, 600), true, "screen"}), false),
        QStringLiteral("That display is no longer connected."));
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_FALSE(QFileInfo::exists(temporary()));
}

TEST_F(ScreenRecorderTest, AWindowRecordingMeasuresThePointerAgainstTheFrameTakenAtTheStart) {
    WindowInfo window;
    window.id = 0x500001;
    window.frameGlobal = QRect(100, 100, 400, 300);
    platform.windows->windowList = {window};
    platform.recording->pointerAt = QPoint(300, 250); // the middle of the window
    ScreenRecorder recorder(true, temporary());
    Result result;
    watch(recorder, result);
    start(recorder, ScreenRecorder::Target::window(window), false);
    QTest::qWait(300);
    // The window moves away; its samples still count against where it was.
    platform.windows->windowList[0].frameGlobal = QRect(600, 400, 400, 300);
    platform.recording->pointerAt = QPoint(200, 175);
    QTest::qWait(300);
    recorder.stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return result.finished; }, 20000));
    EXPECT_EQ(recorder.outputSize(), QSize(400, 300));
    const auto& pointer = recorder.pointer();
    ASSERT_FALSE(pointer.empty());
    EXPECT_TRUE(pointer.front().x == 0.5 && pointer.front().y == 0.5);
    EXPECT_TRUE(pointer.back().x == 0.25 && pointer.back().y == 0.25);
    for (size_t i = 1; i < pointer.size(); ++i)
        EXPECT_GT(pointer[i].time, pointer[i - 1].time);
}
