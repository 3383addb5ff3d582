#include "markup/MarkStore.h"
#include "library/CaptureStore.h"
#include "markup/MarkStyle.h"
#include "markup/MarkupSetup.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace ombrel;
using ombrel::test::LibraryTest;

namespace {

QImage picture(QColor fill = Qt::white, int w = 60, int h = 40) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(fill);
    return image;
}

Markup sample() {
    Markup m(picture(), std::nullopt, Qt::red);
    m.boxes = {Markup::Box(QRectF(10, 20.5, 30, 40), "see https://x.example/a", false, QString("OK button"),
                           QPointF(0.1, 0.30000000000000004), 2),
               Markup::Box(QRectF(1, 2, 3, 4), "", true, {}, {}, 0)};
    m.comment = "The whole page";
    m.cropImageRect = QRectF(0, 0, 50.25, 30);
    m.links = {{"https://a.example/x", false}, {"https://b.example/y", true}};
    return m;
}

void setModified(const QString& path, const QDateTime& when) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::Append));
    ASSERT_TRUE(f.setFileTime(when, QFileDevice::FileModificationTime));
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

const QByteArray goodBox = R"({"rect":[[1,2],[3,4]],"note":"n","hides":false,"paper":1})";

QByteArray withBox(const QByteArray& box) {
    return R"({"comment":"","boxes":[)" + box + "]}";
}

} // namespace

using MarksFormat = LibraryTest;

TEST_F(MarksFormat, EncodesTheDocumentedShapeCompactlyWithShortestNumbers) {
    Markup m(picture(), std::nullopt, Qt::red);
    m.boxes = {Markup::Box(QRectF(10, 20.5, 30, 0.1), "a/b", false, {}, {}, 2)};
    m.comment = "c";
    const QByteArray json = *MarkStore::encode(MarkStore::Saved::of(m));
    // Optional keys only when present; links always (possibly empty); integral numbers bare.
    EXPECT_EQ(json, R"({"boxes":[{"hides":false,"note":"a/b","paper":2,"rect":[[10,20.5],[30,0.1]]}],)"
                    R"("comment":"c","links":[]})");
}

TEST_F(MarksFormat, RoundTripsEveryFieldExactly) {
    const MarkStore::Saved saved = MarkStore::Saved::of(sample());
    ASSERT_EQ(saved.address, QString("https://b.example/y"));
    const auto json = MarkStore::encode(saved);
    ASSERT_TRUE(json);
    const auto back = MarkStore::decode(*json);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, saved);
    // Bit-exact, not just fuzzy-equal.
    EXPECT_EQ(back->boxes[0].notePosition->y(), 0.30000000000000004);
    const QJsonObject box = QJsonDocument::fromJson(*json).object()["boxes"].toArray()[0].toObject();
    EXPECT_EQ(box["element"].toString(), "OK button");
    EXPECT_FALSE(
        QJsonDocument::fromJson(*json).object()["boxes"].toArray()[1].toObject().contains("element"));
}

TEST_F(MarksFormat, NotANumberCannotBeWritten) {
    Markup m = sample();
    m.boxes[0].imageRect.setWidth(std::numeric_limits<double>::quiet_NaN());
    EXPECT_FALSE(MarkStore::encode(MarkStore::Saved::of(m)));
    m = sample();
    m.cropImageRect = QRectF(0, 0, std::numeric_limits<double>::infinity(), 1);
    EXPECT_FALSE(MarkStore::encode(MarkStore::Saved::of(m)));
}

TEST_F(MarksFormat, ReadsAnyKeyOrderUnknownKeysEscapedSlashesAndNullOptionals) {
    const auto saved = MarkStore::decode(
        R"({"version":7,"links":[{"included":true,"url":"https:\/\/p.example\/q","extra":1}],)"
        R"("boxes":[{"paper":3,"hides":true,"note":"a\/b","rect":[[0.5,1e2],[3,4]],"element":null,"z":[]}],)"
        R"("address":null,"crop":[[1,2],[3,4]],"comment":"x"})");
    ASSERT_TRUE(saved);
    MarkStore::Saved expected;
    expected.boxes = {Markup::Box(QRectF(0.5, 100, 3, 4), "a/b", true, std::nullopt, std::nullopt, 3)};
    expected.comment = "x";
    expected.cropImageRect = QRectF(1, 2, 3, 4);
    expected.links = QList<Markup::PageLink>{{"https://p.example/q", true}};
    EXPECT_EQ(*saved, expected);

    const auto minimal = MarkStore::decode(R"({"boxes":[],"comment":""})");
    ASSERT_TRUE(minimal);
    EXPECT_FALSE(minimal->links) << "links absent stays absent";
    EXPECT_FALSE(minimal->cropImageRect);
}

TEST_F(MarksFormat, RejectsEveryBrokenRule) {
    const QList<QByteArray> broken{
        "",
        "{",
        R"({"boxes":[],"comment":"")",                                 // truncated
        R"([{"boxes":[],"comment":""}])",                              // not an object
        R"({"comment":""})",                                           // no boxes
        R"({"boxes":[]})",                                             // no comment
        R"({"boxes":{},"comment":""})",                                // boxes not a list
        R"({"boxes":[],"comment":null})",                              // required null
        R"({"boxes":[],"comment":7})",                                 // wrong type
        withBox(R"({"rect":[[1,2],[3,4]],"note":"n","hides":false})"), // no paper
        withBox(R"({"rect":[[1,2],[3,4]],"note":"n","paper":1})"),     // no hides
        withBox(R"({"rect":[[1,2],[3,4]],"hides":false,"paper":1})"),  // no note
        withBox(R"({"note":"n","hides":false,"paper":1})"),            // no rect
        withBox(R"({"rect":[[1,2],[3,4]],"note":"n","hides":false,"paper":1.5})"),
        withBox(R"({"rect":[[1,2],[3,4]],"note":"n","hides":false,"paper":"1"})"),
        withBox(R"({"rect":[[1,2],[3,4]],"note":"n","hides":"false","paper":1})"),
        withBox(R"({"rect":[[1,2],[3,4]],"note":5,"hides":false,"paper":1})"),
        withBox(R"({"rect":[1,2,3,4],"note":"n","hides":false,"paper":1})"),
        withBox(R"({"rect":[[1,2],[3]],"note":"n","hides":false,"paper":1})"),
        withBox(R"({"rect":[[1,2],[3,"4"]],"note":"n","hides":false,"paper":1})"),
        withBox(R"({"rect":{"x":1},"note":"n","hides":false,"paper":1})"),
        withBox(R"({"rect":[[1,2],[3,4]],"note":"n","hides":false,"paper":1,"element":3})"),
        withBox(R"({"rect":[[1,2],[3,4]],"note":"n","hides":false,"paper":1,"notePosition":[1]})"),
        withBox("7"),
        R"({"boxes":[],"comment":"","crop":[[0,0]]})",
        R"({"boxes":[],"comment":"","address":["x"]})",
        R"({"boxes":[],"comment":"","links":[{"url":"u"}]})",
        R"({"boxes":[],"comment":"","links":[{"url":1,"included":true}]})",
        R"({"boxes":[],"comment":"","links":{"url":"u","included":true}})",
    };
    for (const QByteArray& json : broken)
        EXPECT_FALSE(MarkStore::decode(json)) << json.toStdString();
    EXPECT_TRUE(MarkStore::decode(withBox(goodBox))) << "the good box itself is fine";
}

TEST_F(MarksFormat, HugeOrDeeplyNestedDocumentsReadAsNothing) {
    QByteArray deep = R"({"boxes":[],"comment":"","x":)";
    deep += QByteArray(200000, '[') + QByteArray(200000, ']') + "}";
    EXPECT_FALSE(MarkStore::decode(deep));

    QByteArray huge = R"({"boxes":[],"comment":")";
    huge += QByteArray(MarkStore::maxFileBytes, 'a') + R"("})";
    EXPECT_FALSE(MarkStore::decode(huge));
    const QString path = libraryPath(".marks/huge.json");
    writeAll(path, huge);
    EXPECT_FALSE(MarkStore::read(path));
}

using MarkStoreFiles = LibraryTest;

TEST_F(MarkStoreFiles, NothingIsWrittenForAPictureWithoutMarksOrLinks) {
    const QString pic = makeFile("2026-12-04/Shot_V1.png", QDateTime::currentDateTime());
    Markup m(picture(), std::nullopt, Qt::red);
    m.comment = " \n ";
    MarkStore::save(m, pic);
    EXPECT_FALSE(QFileInfo::exists(CaptureStore::marksFolder()));

    m.links = {{"https://only.example", false}};
    MarkStore::save(m, pic);
    EXPECT_TRUE(QFileInfo::exists(MarkStore::marksFile(pic))) << "links alone are worth keeping";
}

TEST_F(MarkStoreFiles, SideFilesAreNamedAfterThePictureInTheHiddenFolder) {
    const QString pic = libraryPath("2026-12-04/Ombrel Capture Image_1.2_V3.png");
    EXPECT_EQ(MarkStore::marksFile(pic), libraryPath(".marks/Ombrel Capture Image_1.2_V3.json"));
    EXPECT_EQ(MarkStore::unmarkedCopy(pic), libraryPath(".marks/Ombrel Capture Image_1.2_V3.png"));
    EXPECT_EQ(MarkStore::marksFile(libraryPath("x/a.jpg")), MarkStore::marksFile(libraryPath("y/a.png")));
}

TEST_F(MarkStoreFiles, SavingAgainReplacesTheMarksButKeepsTheFirstUnmarkedCopy) {
    const QString pic = makeFile("2026-12-04/Shot_V1.png", QDateTime::currentDateTime());
    Markup first = sample();
    first.image = picture(Qt::blue);
    MarkStore::save(first, pic);
    Markup second = sample();
    second.image = picture(Qt::green);
    second.comment = "changed";
    MarkStore::save(second, pic);

    const auto loaded = MarkStore::load(pic);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->unmarked.pixelColor(5, 5), QColor(Qt::blue));
    EXPECT_EQ(loaded->saved.comment, "changed");
    EXPECT_EQ(loaded->saved, MarkStore::Saved::of(second));
    const QStringList left = QDir(CaptureStore::marksFolder()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(left, QStringList({"Shot_V1.json", "Shot_V1.png"})) << "no temporary files are left";
}

TEST_F(MarkStoreFiles, MarksTenSecondsOlderThanThePictureAreStale) {
    const QDateTime marksTime = QDateTime::currentDateTime().addSecs(-100);
    const QString pic = makeFile("2026-12-04/Shot_V1.png", marksTime);
    MarkStore::save(sample(), pic);
    setModified(MarkStore::marksFile(pic), marksTime);

    setModified(pic, marksTime.addMSecs(9'999));
    EXPECT_TRUE(MarkStore::load(pic));
    setModified(pic, marksTime.addSecs(10));
    EXPECT_FALSE(MarkStore::load(pic));
    setModified(pic, marksTime.addSecs(-3600));
    EXPECT_TRUE(MarkStore::load(pic)) << "marks newer than the picture are fine";
    EXPECT_NE(MarkStore::words(pic), "") << "words ignore the dates";
}

TEST_F(MarkStoreFiles, MissingOrBrokenSideFilesLoadNothing) {
    const QString pic = makeFile("2026-12-04/Shot_V1.png", QDateTime::currentDateTime());
    EXPECT_FALSE(MarkStore::load(pic)) << "no marks file";
    MarkStore::save(sample(), pic);
    ASSERT_TRUE(MarkStore::load(pic));

    EXPECT_FALSE(MarkStore::load(libraryPath("2026-12-04/gone.png"))) << "no picture";

    QFile::remove(MarkStore::unmarkedCopy(pic));
    EXPECT_FALSE(MarkStore::load(pic)) << "no unmarked copy";
    writeAll(MarkStore::unmarkedCopy(pic), "not a png");
    EXPECT_FALSE(MarkStore::load(pic)) << "unreadable unmarked copy";

    MarkStore::save(sample(), libraryPath("2026-12-04/Other.png"));
    const QString other = makeFile("2026-12-04/Other.png", QDateTime::currentDateTime());
    writeAll(MarkStore::marksFile(other), withBox(R"({"rect":[[1,2],[3,4]],"note":"n","hides":false})"));
    EXPECT_FALSE(MarkStore::load(other)) << "a box without paper";
    EXPECT_EQ(MarkStore::words(other), "");
}

TEST_F(MarkStoreFiles, AppliedRecordRebuildsTheMarkup) {
    const Markup original = sample();
    HighlightPalette::setCurrentName("Blue");
    const Markup back = MarkStore::Saved::of(original).applied(original.image, std::nullopt);
    EXPECT_EQ(back.boxes, original.boxes);
    EXPECT_EQ(back.comment, original.comment);
    EXPECT_EQ(back.cropImageRect, original.cropImageRect);
    EXPECT_EQ(back.links, original.links);
    EXPECT_EQ(back.color, HighlightPalette::colorNamed("Blue"));

    MarkStore::Saved onlyAddress;
    onlyAddress.address = "https://old.example";
    const Markup old = onlyAddress.applied(original.image, std::nullopt);
    EXPECT_EQ(old.links, (QList<Markup::PageLink>{{"https://old.example", true}}));
}

TEST_F(MarkStoreFiles, WordsJoinCommentAddressLinksNotesAndElementsInOrder) {
    const QString pic = makeFile("2026-12-04/Shot_V1.png", QDateTime::currentDateTime());
    MarkStore::save(sample(), pic);
    EXPECT_EQ(MarkStore::words(pic),
              "The whole page https://b.example/y https://a.example/x https://b.example/y "
              "see https://x.example/a  OK button");
    EXPECT_EQ(MarkStore::words(libraryPath("2026-12-04/none.png")), "");

    writeAll(MarkStore::marksFile(libraryPath("a.png")), R"({"boxes":[],"comment":"hi"})");
    EXPECT_EQ(MarkStore::words(libraryPath("a.png")), "hi ") << "no address gives an empty word";
}

TEST_F(MarkStoreFiles, LibrarySearchFindsWordsWrittenOnPictures) {
    const QString pic =
        makeFile("2026-12-04/Ombrel Capture Image_120004122026_V1.png", QDateTime::currentDateTime());
    Markup m(picture(), std::nullopt, Qt::red);
    m.boxes = {Markup::Box(QRectF(0, 0, 5, 5), "Invoice total", false, {}, {}, 0)};
    MarkStore::save(m, pic);
    EXPECT_TRUE(CaptureStore::search("invoice").isEmpty()) << "no reader installed yet";
    installMarkupIntoLibrary();
    EXPECT_EQ(CaptureStore::search("invoice"), QStringList({pic}));
}
