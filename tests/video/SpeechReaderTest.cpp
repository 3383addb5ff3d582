// The reading of speech from a recording, against the fake recogniser that hears a "word" in
// every loud run of the sound: the parts a recording is heard in, words heard twice where
// parts overlap, parts that fail, temporary files, silence and the language setting.
#include "VideoFiles.h"
#include "support/TestEnv.h"

#include "platform/PrivateFiles.h"
#include "platform/SoundFile.h"
#include "video/SpeechReader.h"

#include <QDir>
#include <algorithm>
#include <cmath>
#include <vector>

using namespace ombrel;
using namespace ombrel::test;

namespace {

// A 16 kHz sound of `seconds` with a loud tone over each (start, length) span.
QString soundWithBursts(const QString& path, double seconds, const QList<std::pair<double, double>>& bursts) {
    std::vector<qint16> samples(size_t(seconds * 16000), 0);
    for (const auto& [start, length] : bursts)
        for (size_t i = size_t(start * 16000); i < size_t((start + length) * 16000) && i < samples.size();
             ++i)
            samples[i] = qint16(8000 * std::sin(double(i) * 0.3));
    EXPECT_TRUE(SoundFile::write(path, samples.data(), samples.size(), 16000).isOk());
    return path;
}

QStringList leftovers() {
    return QDir(PrivateFiles::folder())
        .entryList({QStringLiteral("ombrel-speech-*"), QStringLiteral("ombrel-part-*")}, QDir::Files);
}

QList<double> timesOf(const QList<SpeechWord>& words) {
    QList<double> times;
    for (const SpeechWord& w : words)
        times.append(std::round(w.time * 100) / 100);
    return times;
}

} // namespace

class SpeechReaderTest : public LibraryTest {
  protected:
    void SetUp() override {
        LibraryTest::SetUp();
        qputenv("XDG_RUNTIME_DIR", dir.filePath(QStringLiteral("run")).toUtf8());
        QDir().mkpath(dir.filePath(QStringLiteral("run")));
    }
    QString file(const QString& name) { return dir.filePath(name); }
};

TEST_F(SpeechReaderTest, PartsAreElevenSecondsEveryTenAndTheLastEndsWithTheSound) {
    using Parts = QList<std::pair<double, double>>;
    EXPECT_EQ(SpeechReader::partRanges(25), (Parts{{0, 11}, {10, 11}, {20, 5}}));
    EXPECT_EQ(SpeechReader::partRanges(20), (Parts{{0, 11}, {10, 10}}));
    EXPECT_EQ(SpeechReader::partRanges(4), (Parts{{0, 4}}));
    EXPECT_TRUE(SpeechReader::partRanges(0).isEmpty());
}

TEST_F(SpeechReaderTest, AWordHeardInTwoOverlappingPartsIsKeptOnce) {
    QList<SpeechWord> kept;
    SpeechReader::addHeard(kept, {{"one", 2.0, 0.4}, {"two", 10.3, 0.4}});
    // The next part hears "two" again, a word that starts just before it ends, and more.
    SpeechReader::addHeard(kept, {{"two", 10.3, 0.4}, {"close", 10.66, 0.2}, {"three", 15, 0.3}});
    EXPECT_EQ(timesOf(kept), (QList<double>{2.0, 10.3, 10.66, 15.0}));

    // Through the whole reader: a 25 s recording, words in both overlaps and a word cut at a
    // part's end (10.9 to 11.3 s), which the next part hears whole.
    const QString sound = soundWithBursts(
        file("talk.wav"), 25, {{2.0, 0.4}, {10.3, 0.4}, {10.9, 0.4}, {15, 0.4}, {20.5, 0.4}, {24, 0.5}});
    const SpeechReader::Result heard = SpeechReader::words(sound);
    ASSERT_FALSE(heard.error.has_value()) << heard.error->description.toStdString();
    EXPECT_EQ(timesOf(heard.words), (QList<double>{2.0, 10.3, 10.9, 15.0, 20.5, 24.0}));
    // The parts are heard side by side, in any order: two of 11 s and the last of 5 s.
    QList<double> lengths;
    for (const auto& [file, seconds] : platform.speech->filesHeard)
        lengths.append(std::round(seconds * 100) / 100);
    std::sort(lengths.begin(), lengths.end());
    EXPECT_EQ(lengths, (QList<double>{5, 11, 11}));
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(", ").toStdString();
}

TEST_F(SpeechReaderTest, AFailingPartIsSkippedAndOnlyNoWordsAtAllReportsTheFailure) {
    const QString sound = soundWithBursts(file("talk.wav"), 25, {{2.0, 0.4}, {15, 0.4}, {22, 0.4}});
    // The part from 10 s is the one loud 5 s into its sound (the word at 15 s).
    platform.speech->failFor = [](const SoundFile::Mono& part) {
        return part.samples.size() > 5 * 16000 + 3200 && part.samples[5 * 16000 + 3200] != 0;
    };
    SpeechReader::Result heard = SpeechReader::words(sound);
    EXPECT_FALSE(heard.error.has_value());
    EXPECT_EQ(timesOf(heard.words), (QList<double>{2.0, 22.0}));
    EXPECT_TRUE(leftovers().isEmpty());

    platform.speech->filesHeard.clear();
    platform.speech->failFor = [](const SoundFile::Mono&) { return true; };
    heard = SpeechReader::words(sound);
    EXPECT_TRUE(heard.words.isEmpty());
    ASSERT_TRUE(heard.error.has_value());
    EXPECT_EQ(heard.error->description, "The recogniser broke down.");
    EXPECT_FALSE(heard.error->notAvailable);
    EXPECT_TRUE(leftovers().isEmpty()) << "temporary files are deleted after errors too";
}

TEST_F(SpeechReaderTest, SilenceAndRecordingsWithoutSoundGiveNoWordsAndNoError) {
    const SpeechReader::Result quiet = SpeechReader::words(soundWithBursts(file("quiet.wav"), 12, {}));
    EXPECT_TRUE(quiet.words.isEmpty());
    EXPECT_FALSE(quiet.error.has_value());

    const QString mute = file("mute.mp4");
    if (!makeVideo(mute, QSize(64, 36), 2, 0)) GTEST_SKIP() << "the ffmpeg program is missing or failed";
    platform.speech->filesHeard.clear();
    const SpeechReader::Result none = SpeechReader::words(mute);
    EXPECT_TRUE(none.words.isEmpty());
    EXPECT_FALSE(none.error.has_value());
    EXPECT_TRUE(platform.speech->filesHeard.isEmpty());

    const SpeechReader::Result broken = SpeechReader::words(file("missing.mp4"));
    ASSERT_TRUE(broken.error.has_value());
    EXPECT_TRUE(leftovers().isEmpty());
}

TEST_F(SpeechReaderTest, TheLanguageSettingIsUsedAndALanguageWithoutAModelIsNotAvailable) {
    EXPECT_FALSE(SpeechReader::language().has_value());
    SpeechReader::setLanguage(QStringLiteral("fr-FR"));
    EXPECT_EQ(SpeechReader::language(), QStringLiteral("fr-FR"));
    SpeechReader::setLanguage(std::nullopt);
    EXPECT_FALSE(Defaults::has(SpeechReader::languageKey.name)) << "none removes the key";

    const QString sound = soundWithBursts(file("talk.wav"), 5, {{1, 0.5}});
    SpeechReader::setLanguage(QStringLiteral("de-DE"));
    EXPECT_EQ(SpeechReader::words(sound).words.size(), 1);
    EXPECT_EQ(platform.speech->languagesAsked, QList<QString>{"de-DE"});

    platform.speech->unavailable = {QStringLiteral("hi-IN")};
    SpeechReader::setLanguage(QStringLiteral("hi-IN"));
    const SpeechReader::Result heard = SpeechReader::words(sound);
    ASSERT_TRUE(heard.error.has_value());
    EXPECT_TRUE(heard.error->notAvailable);
    EXPECT_EQ(platform.speech->languagesAsked.size(), 1)
        << "nothing is exported for a language without a model";
    EXPECT_TRUE(leftovers().isEmpty());
}
