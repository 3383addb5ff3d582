// The zoom camera over real page content: it must glide, not shake, and still show content.
#include "RecordingTestSupport.h"
#include "bench/ReadingSession.h"

#include <gtest/gtest.h>

using namespace ombrel;
using namespace ombrel::test;

TEST(ZoomSteadiness, ReadingADocumentationPageGlidesWithoutShakingAndKeepsContentInView) {
    const QImage page(QStringLiteral(OMBREL_PAGE_PICTURE));
    ASSERT_FALSE(page.isNull());
    const bench::ReadingSession session = bench::readingSession(page);
    const ZoomPlan plan = bench::planOf(session);
    const bench::Steadiness steadiness = bench::steadinessOf(plan);
    ASSERT_GT(steadiness.zoomedMinutes(), 0.25) << "the session is zoomed in for most of its 40 s";
    EXPECT_LT(steadiness.reversalsPerZoomedMinute(), 60) << steadiness.reversals << " reversals";

    // Steady, but still steered by the content: on average the views show clearly more of the
    // page's text than those of a camera that knows nothing of the content.
    const ContentMap map = mapOf(ContentMap::cells(page));
    // The share of content cells in the part of the page that a camera shows.
    const auto shownContent = [&](const ZoomPlan::Camera& c) {
        const double size = 1 / c.scale, x0 = std::clamp(c.x - size / 2, 0.0, 1 - size),
                     y0 = std::clamp(c.y - size / 2, 0.0, 1 - size);
        return ContentMapInspector::share(map, 0, x0, y0, x0 + size, y0 + size);
    };
    const ZoomPlan blind(session.clicks, session.pointer, {}, session.durationSeconds);
    ASSERT_EQ(blind.frames().size(), plan.frames().size());
    double shown = 0, shownBlind = 0;
    for (size_t i = 0; i < plan.frames().size(); ++i) {
        shown += shownContent(plan.frames()[i]);
        shownBlind += shownContent(blind.frames()[i]);
    }
    EXPECT_GT(shown / double(plan.frames().size()), shownBlind / double(plan.frames().size()) + 0.03);
}
