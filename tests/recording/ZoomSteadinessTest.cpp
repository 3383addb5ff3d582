// The zoom camera over real page content: it must glide, not shake, and still show content.
#include "RecordingTestSupport.h"
#include "bench/ReadingSession.h"

#include <gtest/gtest.h>

using namespace ombrel;
using namespace ombrel::test;

namespace {

// The share of true cells in the part of the grid that a camera shows.
double shownContent(const ContentMap::Cells& cells, const ZoomPlan::Camera& c) {
    const double half = 0.5 / c.scale;
    const double x0 = std::clamp(c.x - half, 0.0, 1.0 - 2 * half),
                 y0 = std::clamp(c.y - half, 0.0, 1.0 - 2 * half);
    int shown = 0, all = 0;
    for (int r = 0; r < ContentMap::rows; ++r)
        for (int col = 0; col < ContentMap::columns; ++col) {
            const double cx = (col + 0.5) / ContentMap::columns, cy = (r + 0.5) / ContentMap::rows;
            if (cx < x0 || cx > x0 + 2 * half || cy < y0 || cy > y0 + 2 * half) continue;
            ++all;
            shown += cell(cells, r, col) ? 1 : 0;
        }
    return all ? double(shown) / all : 0;
}

} // namespace

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
    const ContentMap::Cells cells = ContentMap::cells(page);
    const ZoomPlan blind(session.clicks, session.pointer, {}, session.durationSeconds);
    ASSERT_EQ(blind.frames().size(), plan.frames().size());
    double shown = 0, shownBlind = 0;
    for (size_t i = 0; i < plan.frames().size(); ++i) {
        shown += shownContent(cells, plan.frames()[i]);
        shownBlind += shownContent(cells, blind.frames()[i]);
    }
    EXPECT_GT(shown / double(plan.frames().size()), shownBlind / double(plan.frames().size()) + 0.03);
}
