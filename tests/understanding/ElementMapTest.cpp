// The rules over element lists: names, merging, hit-testing and the query language.
#include "understanding/ElementMap.h"

#include "support/TestEnv.h"

using namespace ombrel;
using Kind = ScreenElement::Kind;

namespace {

ScreenElement el(Kind kind, const QString& title, QRectF rect) {
    return {kind, title, rect};
}

QStringList titles(const QList<ScreenElement>& list) {
    QStringList out;
    for (const ScreenElement& e : list)
        out.append(e.title);
    return out;
}

} // namespace

TEST(ScreenElementLabel, CutsLongTitlesAndNamesOnlyPointableKinds) {
    const QString sixtyOne(61, QLatin1Char('x'));
    const QString label = el(Kind::Button, sixtyOne, {}).label();
    EXPECT_EQ(label, QStringLiteral("Button \u201C") + QString(57, QLatin1Char('x')) +
                         QStringLiteral("\u2026\u201D"));
    EXPECT_EQ(el(Kind::Link, "Docs", {}).hoverName(), QStringLiteral("Link \u201CDocs\u201D"));
    EXPECT_EQ(el(Kind::Section, "Sidebar", {}).hoverName(), "Section");
    EXPECT_EQ(el(Kind::Image, "", {}).label(), QString());
}

TEST(ElementMapMerged, KeepsTheFirstOfElementsCloserThanSixPixelsAndTwelveInSize) {
    const QList<ScreenElement> list{
        el(Kind::Button, "first", {100, 100, 50, 20}),
        el(Kind::Text, "near", {105, 95, 61, 31}),         // 5 px away, 11 px bigger: merged away
        el(Kind::Button, "six right", {106, 100, 50, 20}), // 6 px in x: kept
        el(Kind::Button, "taller", {100, 100, 50, 32}),    // 12 px taller: kept
    };
    EXPECT_EQ(titles(ElementMap::merged(list)), (QStringList{"first", "six right", "taller"}));
}

TEST(ElementMapHitTest, PicksTheSmallestEarliestElementWithRightAndBottomEdgesOutside) {
    const QList<ScreenElement> list{
        el(Kind::Section, "form", {0, 0, 400, 300}),
        el(Kind::Button, "login", {50, 50, 100, 40}),
        el(Kind::Link, "twin a", {200, 200, 50, 50}),
        el(Kind::Link, "twin b", {200, 200, 50, 50}),
    };
    EXPECT_EQ(ElementMap::element({60, 60}, list)->title, "login");
    EXPECT_EQ(ElementMap::element({50, 50}, list)->title, "login"); // top-left corner is inside
    EXPECT_EQ(ElementMap::element({150, 60}, list)->title, "form"); // right edge is outside
    EXPECT_EQ(ElementMap::element({210, 249.9}, list)->title, "twin a");
    EXPECT_FALSE(ElementMap::element({400, 10}, list));
}

TEST(ElementMapFind, KindWordsFillerWordsAndRanking) {
    const QList<ScreenElement> list{
        el(Kind::Button, "Login with Google", {0, 0, 200, 40}),
        el(Kind::Button, "Login", {0, 50, 300, 40}), // larger, but exactly titled
        el(Kind::Button, "Cancel", {0, 100, 60, 20}),
        el(Kind::Link, "Login help", {0, 150, 80, 20}),
        el(Kind::Image, "", {0, 200, 100, 100}),
        el(Kind::Image, "Logo", {0, 300, 20, 20}),
        el(Kind::Text, "Save changes", {0, 400, 100, 20}),
    };
    // An exact title before a longer one; only buttons when the kind is given.
    EXPECT_EQ(titles(ElementMap::find("login button", list)), (QStringList{"Login", "Login with Google"}));
    // Filler words go; the kind alone gives every element of it, smallest first.
    EXPECT_EQ(titles(ElementMap::find("the buttons", list)),
              (QStringList{"Cancel", "Login with Google", "Login"}));
    EXPECT_EQ(titles(ElementMap::find("all images", list)), (QStringList{"Logo", ""}));
    // No element of the kind matches: all words, then the text words across kinds.
    EXPECT_EQ(titles(ElementMap::find("help link", list)), (QStringList{"Login help"}));
    EXPECT_EQ(titles(ElementMap::find("save button", list)), (QStringList{"Save changes"}));
    // Case, spaces and punctuation do not matter.
    EXPECT_EQ(titles(ElementMap::find("SAVE-CHANGES", list)), (QStringList{"Save changes"}));
    EXPECT_TRUE(ElementMap::find("the a this", list).isEmpty());
    EXPECT_TRUE(ElementMap::find("?!", list).isEmpty());
    EXPECT_TRUE(ElementMap::find("nothing like it", list).isEmpty());
}

TEST(ElementMapFind, CutsTheSortedResultsToTheLimit) {
    QList<ScreenElement> list;
    for (int i = 0; i < 250; ++i)
        list.append(el(Kind::Button, QStringLiteral("b%1").arg(i), {0, 0, 10.0 + (250 - i), 10}));
    const QList<ScreenElement> found = ElementMap::find("buttons", list);
    ASSERT_EQ(found.size(), 200);
    EXPECT_EQ(found.first().title, "b249"); // the smallest first
    EXPECT_EQ(found.last().title, "b50");
    EXPECT_EQ(ElementMap::find("buttons", list, 3).size(), 3);
}
