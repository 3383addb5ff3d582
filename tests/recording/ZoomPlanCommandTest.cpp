#include "recording/ZoomPlanCommand.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

using namespace ombrel;

namespace {

QString problemWith(const QByteArray& json) {
    const auto parsed = parseZoomEvents(json);
    const QString* problem = std::get_if<QString>(&parsed);
    return problem ? *problem : QString();
}

class ZoomPlanCommand : public ::testing::Test {
  protected:
    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly)) ADD_FAILURE() << "cannot write " << path.toStdString();
        f.write(bytes);
        return path;
    }
    QJsonObject readPlan(const QString& path) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) ADD_FAILURE() << "no plan at " << path.toStdString();
        return QJsonDocument::fromJson(f.readAll()).object();
    }
    QTemporaryDir dir;
};

} // namespace

TEST(ZoomEventsParsing, NamesWhatIsWrongWithMalformedEvents) {
    const std::pair<QByteArray, QString> rows[] = {
        {"{\"clicks\": [", "not valid JSON"},
        {"[1, 2]", "one JSON object"},
        {R"({"duration": "ten"})", "\"duration\""},
        {R"({"duration": -1})", "\"duration\""},
        {R"({"duration": 1e9})", "12 hours"},
        {R"({"clicks": {"time": 1}})", "\"clicks\""},
        {R"({"clicks": [{"time": 1, "x": 0.5, "y": 0.5}, {"time": 2, "x": 0.5}]})", "clicks[1]"},
        {R"({"pointer": [{"time": "0", "x": 0.5, "y": 0.5}]})", "pointer[0]"},
        {R"({"pointer": [7]})", "pointer[0]"},
        {R"({"scrolls": [1, null]})", "scrolls[1]"},
        {R"({"scrolls": 3})", "\"scrolls\""},
        // Without a duration the plan would run past the last event.
        {R"({"pointer": [{"time": 1e8, "x": 0.5, "y": 0.5}]})", "12 hours"},
    };
    for (const auto& [json, problem] : rows)
        EXPECT_TRUE(problemWith(json).contains(problem))
            << json.toStdString() << ": " << problemWith(json).toStdString();
}

TEST(ZoomEventsParsing, AcceptsMissingKeysPointsOutsideTheAreaAndTimesOutOfOrder) {
    const auto empty = parseZoomEvents("{}");
    ASSERT_TRUE(std::holds_alternative<ZoomEvents>(empty));
    EXPECT_FALSE(std::get<ZoomEvents>(empty).durationSeconds);

    const auto odd = parseZoomEvents(R"({"duration": null,
        "clicks": [{"time": 3, "x": 1.7, "y": -0.2}, {"time": 1, "x": 0.5, "y": 0.5}],
        "pointer": [{"time": 2, "x": -3, "y": 4}, {"time": 0.5, "x": 0.1, "y": 0.1}, {"time": -1, "x": 0, "y": 0}],
        "scrolls": [4, 2], "extra": true})");
    ASSERT_TRUE(std::holds_alternative<ZoomEvents>(odd));
    const ZoomEvents& events = std::get<ZoomEvents>(odd);
    EXPECT_EQ(events.clicks.size(), 2u);
    EXPECT_EQ(events.clicks[0].x, 1.7) << "kept as given";
    EXPECT_EQ(events.pointer.size(), 3u);
    EXPECT_EQ(events.scrollTimes, (std::vector<double>{4, 2}));

    const ZoomPlan plan(events.clicks, events.pointer, events.scrollTimes, events.durationSeconds);
    EXPECT_EQ(plan.frames().size(), size_t(std::trunc(9.0 / ZoomPlan::step)) + 2);
    for (const ZoomPlan::Camera& c : plan.frames())
        ASSERT_TRUE(std::isfinite(c.scale) && std::isfinite(c.x) && std::isfinite(c.y));
}

TEST_F(ZoomPlanCommand, WritesTheStepFramesAndClicks) {
    const QString events = write("events.json", R"({"duration": 10,
        "clicks": [{"time": 2, "x": 0.25, "y": 0.75}],
        "pointer": [{"time": 0, "x": 0.2, "y": 0.7}, {"time": 5, "x": 0.6, "y": 0.4}],
        "scrolls": [6]})");
    const QString planPath = dir.filePath("plan.json");
    ASSERT_EQ(zoomPlanCommand({events, "--output", planPath}), 0);

    const QJsonObject plan = readPlan(planPath);
    EXPECT_DOUBLE_EQ(plan.value("step").toDouble(), 1.0 / 30);
    const QJsonArray frames = plan.value("frames").toArray();
    EXPECT_EQ(frames.size(), 302);
    double highest = 0;
    for (const QJsonValue& frame : frames) {
        ASSERT_EQ(frame.toArray().size(), 3);
        highest = std::max(highest, frame.toArray().at(0).toDouble());
    }
    EXPECT_GT(highest, 1.7) << "the click zooms in";
    // Unzoomed, the first frame centres on the pointer 0.15 s ahead, on the way to the click.
    EXPECT_EQ(frames.first().toArray(),
              (QJsonArray{1.0, 0.2 + (0.25 - 0.2) * (0.15 / 2), 0.7 + (0.75 - 0.7) * (0.15 / 2)}));
    const QJsonArray clicks = plan.value("clicks").toArray();
    ASSERT_EQ(clicks.size(), 1);
    EXPECT_EQ(clicks.first().toObject(), (QJsonObject{{"time", 2.0}, {"x", 0.25}, {"y", 0.75}}));
}

TEST_F(ZoomPlanCommand, RefusesBadArgumentsAndInputWithoutWritingAPlan) {
    const QString good = write("good.json", R"({"clicks": [{"time": 1, "x": 0.5, "y": 0.5}]})");
    const QString bad = write("bad.json", R"({"clicks": [{"time": 1}]})");
    const QString plan = dir.filePath("plan.json");

    EXPECT_EQ(zoomPlanCommand({}), 2);
    EXPECT_EQ(zoomPlanCommand({good}), 2) << "no --output";
    EXPECT_EQ(zoomPlanCommand({good, "--output"}), 2);
    EXPECT_EQ(zoomPlanCommand({good, good, "--output", plan}), 2);
    EXPECT_EQ(zoomPlanCommand({good, "--speed", "2", "--output", plan}), 2);
    EXPECT_EQ(zoomPlanCommand({dir.filePath("none.json"), "--output", plan}), 1);
    EXPECT_EQ(zoomPlanCommand({bad, "--output", plan}), 1);
    EXPECT_EQ(zoomPlanCommand({good, "--video", dir.filePath("none.mp4"), "--output", plan}), 1);
    EXPECT_FALSE(QFile::exists(plan));

    EXPECT_EQ(zoomPlanCommand({good, "--output", dir.filePath("no/such/folder/plan.json")}), 1);

    // A video that cannot be read leaves the plan without content, but it is still made.
    const QString notVideo = write("not-a-video.mp4", "plain text");
    EXPECT_EQ(zoomPlanCommand({good, "--video", notVideo, "--output", plan}), 0);
    EXPECT_EQ(readPlan(plan).value("frames").toArray().size(), int(std::trunc(7.0 / ZoomPlan::step)) + 2);
}
