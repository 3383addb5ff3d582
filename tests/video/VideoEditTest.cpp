// The edit model's rules: tidying and numbering notes, grouping spoken words into captions,
// what counts as a change and what is shown when.
#include "video/VideoEdit.h"

#include <gtest/gtest.h>

using namespace ombrel;

namespace {

VideoEdit::TextNote note(double time, const QString& text) {
    VideoEdit::TextNote n;
    n.time = time;
    n.x = 0.4;
    n.y = 0.3;
    n.text = text;
    return n;
}

QList<SpeechWord> evenWords(int count, double start = 0, double step = 0.3) {
    QList<SpeechWord> words;
    for (int i = 0; i < count; ++i)
        words.append({QStringLiteral("w%1").arg(i), start + i * step, 0.25});
    return words;
}

} // namespace

TEST(VideoEditTidying, SpacesAndStepNumbersGoAndTheFirstLetterIsCapital) {
    EXPECT_EQ(VideoEdit::tidied("   1.  open   the\n\tmenu  "), "Open the menu");
    EXPECT_EQ(VideoEdit::tidied("2)"), "");
    EXPECT_EQ(VideoEdit::tidied("12. ünd more"), "Ünd more");
    EXPECT_EQ(VideoEdit::tidied("version 2. stays"), "Version 2. stays") << "only a leading number";
}

TEST(VideoEditOrganising, NotesOfAThirtyOneSecondVideoAreNumberedInTimeOrder) {
    VideoEdit edit;
    edit.notes = {note(10, "second step"), note(2, "  1) first"), note(30, "last"), note(5, "   ")};
    edit.isMuted = true;
    const VideoEdit organised = edit.organised(31);
    ASSERT_EQ(organised.notes.size(), 3) << "the blank note is dropped";
    EXPECT_EQ(organised.notes[0].text, "1. First");
    EXPECT_EQ(organised.notes[0].time, 2);
    EXPECT_EQ(organised.notes[0].duration, 8.0) << "8 s until the next, capped at 8";
    EXPECT_EQ(organised.notes[1].text, "2. Second step");
    EXPECT_EQ(organised.notes[1].duration, 8.0);
    EXPECT_EQ(organised.notes[2].text, "3. Last");
    EXPECT_EQ(organised.notes[2].duration, 1.5) << "the video ends 1 s later, but the minimum is 1.5";
    for (const auto& n : organised.notes) {
        EXPECT_EQ(n.x, 0.05);
        EXPECT_EQ(n.y, 0.8);
    }
    EXPECT_TRUE(organised.isMuted) << "the rest of the edit stays";
    EXPECT_EQ(edit.notes.size(), 4) << "the edit itself is unchanged";
}

TEST(VideoEditCaptions, ElevenWordsWithoutPausesMakeACaptionOfTenAndOneOfOne) {
    const auto captions = VideoEdit::captionsFrom(evenWords(11));
    ASSERT_EQ(captions.size(), 2);
    EXPECT_EQ(captions[0].text.split(' ').size(), 10);
    EXPECT_EQ(captions[1].text, "w10");
    EXPECT_DOUBLE_EQ(captions[0].time, 0);
    EXPECT_DOUBLE_EQ(captions[1].time, 3.0);
    // The first spans 0 … 2.95 s, lingers half a second, and is cut at the next one's start.
    EXPECT_DOUBLE_EQ(captions[0].duration, 3.0);
    EXPECT_DOUBLE_EQ(captions[1].duration, 1.5) << "0.25 s + 0.5 s is below the minimum";
}

TEST(VideoEditCaptions, PausesLengthAndSentencesCloseACaption) {
    // A pause of more than 0.8 s.
    auto words = evenWords(3);
    words.append({"later", 0.6 + 0.25 + 0.85, 0.3});
    EXPECT_EQ(VideoEdit::captionsFrom(words).size(), 2);
    // A sentence of three words or more ends its caption; one of fewer words does not.
    const QList<SpeechWord> sentence{
        {"Click", 0, 0.2}, {"the", 0.2, 0.2}, {"button.", 0.4, 0.2}, {"Then", 0.6, 0.2}};
    EXPECT_EQ(VideoEdit::captionsFrom(sentence).first().text, "Click the button.");
    const QList<SpeechWord> short_{{"Yes.", 0, 0.2}, {"then", 0.3, 0.2}};
    ASSERT_EQ(VideoEdit::captionsFrom(short_).size(), 1);
    EXPECT_EQ(VideoEdit::captionsFrom(short_).first().text, "Yes. then");
    // Past 58 characters.
    QList<SpeechWord> long_;
    for (int i = 0; i < 6; ++i)
        long_.append({QString(12, QChar('a' + i)), i * 0.3, 0.25});
    const auto split = VideoEdit::captionsFrom(long_);
    ASSERT_EQ(split.size(), 2);
    EXPECT_EQ(split[0].text.size(), 4 * 12 + 3) << "a fifth word would make 64 characters";
}

TEST(VideoEditCaptions, ALastShortCaptionLingersAndOneJustBeforeTheNextIsCut) {
    const auto lonely = VideoEdit::captionsFrom({{"Hi", 5, 0.4}});
    ASSERT_EQ(lonely.size(), 1);
    EXPECT_DOUBLE_EQ(lonely[0].duration, 1.5);
    const auto close = VideoEdit::captionsFrom({{"One", 0, 0.1}, {"Two", 1.0, 0.3}});
    ASSERT_EQ(close.size(), 2) << "the gap of 0.9 s parts them";
    EXPECT_DOUBLE_EQ(close[0].duration, 1.0) << "cut at the next one's start although the minimum is 1.5";
}

TEST(VideoEditState, OnlyTextCropAndMuteAreChangesAndOnlyTextIsShown) {
    VideoEdit edit;
    EXPECT_FALSE(edit.hasChanges());
    edit.notes.append(note(1, ""));
    edit.captions.append({0, 2, ""});
    EXPECT_FALSE(edit.hasChanges()) << "a note left empty is nothing to save";
    EXPECT_TRUE(edit.noteIndexes(1.5).isEmpty());
    EXPECT_FALSE(edit.captionIndex(1));

    edit.notes.append(note(1, "shown"));
    edit.captions.append({0.5, 2, "words"});
    EXPECT_TRUE(edit.hasChanges());
    EXPECT_EQ(edit.noteIndexes(1.0), QList<int>{1}) << "from its time…";
    EXPECT_TRUE(edit.noteIndexes(4.0).isEmpty()) << "…until, not including, its end";
    EXPECT_EQ(edit.captionIndex(0.5), 1);
    EXPECT_FALSE(edit.captionIndex(2.5));

    VideoEdit cropped;
    cropped.crop = QRectF(0, 0, 0.5, 0.5);
    EXPECT_TRUE(cropped.hasChanges());
    VideoEdit muted;
    muted.isMuted = true;
    EXPECT_TRUE(muted.hasChanges());
}

TEST(VideoTextStyles, UnknownNamesFallBackAndTextWithoutBackgroundGetsAShadow) {
    VideoTextStyle style;
    EXPECT_TRUE(style.backgroundColor());
    EXPECT_FALSE(style.attributes(40).shadow) << "a note on its background needs no shadow";
    style.color = "Mauve";
    EXPECT_EQ(style.textColor(), QColor(Qt::white));
    style.background = "Tartan";
    EXPECT_FALSE(style.backgroundColor());
    style.color = "Black";
    const auto a = style.attributes(40);
    ASSERT_TRUE(a.shadow);
    EXPECT_EQ(a.shadow->color.rgb(), QColor(Qt::white).rgb()) << "black text gets a light shadow";
    EXPECT_DOUBLE_EQ(a.shadow->blurRadius, 6);

    // The size multiplies the point size; handwriting is a fifth larger.
    style.size = 1.4;
    EXPECT_DOUBLE_EQ(style.fontAt(40).pointSizeF(), 56);
    style.font = "Handwriting";
    EXPECT_NEAR(style.fontAt(40).pointSizeF(), 56 * 1.2, 1e-9);
}
