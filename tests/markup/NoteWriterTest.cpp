#include "markup/NoteWriter.h"
#include "platform/Platform.h"
#include "platform/linux/HunspellSpelling.h"
#include "support/TestEnv.h"

#include <QRegularExpression>

using namespace ombrel;

TEST(NoteWriterCleaned, QuotesAroundTheAnswerGoAndRunawayOrEmptyAnswersGiveTheCommentBack) {
    const QString typed = QStringLiteral("the save buton is grey"); // 22 characters: the limit is 126
    EXPECT_EQ(NoteWriter::cleaned("\n  \"The Save button is grey.\"  \n", typed), "The Save button is grey.");
    EXPECT_EQ(NoteWriter::cleaned(QStringLiteral("\u201C The Save button is grey. \u201D"), typed),
              "The Save button is grey.");
    // Quotes that do not pair up, or that are the whole answer, stay.
    EXPECT_EQ(NoteWriter::cleaned("\"Save\" is grey.", typed), "\"Save\" is grey.");
    EXPECT_EQ(NoteWriter::cleaned(QStringLiteral("\u201CThe button\u201C"), typed),
              QStringLiteral("\u201CThe button\u201C"));
    EXPECT_EQ(NoteWriter::cleaned("\"\"", typed), "\"\"") << "two characters are not a quoted answer";
    EXPECT_EQ(NoteWriter::cleaned("\" \"", typed), typed) << "quotes around nothing leave nothing";
    EXPECT_EQ(NoteWriter::cleaned("   \n", typed), typed);
    EXPECT_EQ(NoteWriter::cleaned(QString(126, 'x'), typed), QString(126, 'x'));
    EXPECT_EQ(NoteWriter::cleaned(QString(127, 'x'), typed), typed);
    EXPECT_EQ(NoteWriter::cleaned(QString(400, 'x'), QString(20, 'y')), QString(20, 'y'));
}

// The spell checker and language guess of this system (Hunspell with the installed English
// and German dictionaries, libexttextcat).
class NoteWriterSpelling : public ombrel::test::LibraryTest {
  protected:
    void SetUp() override {
        LibraryTest::SetUp();
        PlatformServices s;
        s.spelling = std::make_unique<HunspellSpelling>();
        Platform::install(std::move(s));
    }
};

TEST_F(NoteWriterSpelling, EnglishCommentsCountTheirMisspelledWords) {
    ASSERT_FALSE(Platform::spelling().languages().filter(QRegularExpression("^en_")).isEmpty())
        << "hunspell-en-gb or hunspell-en-us is not installed";
    EXPECT_TRUE(NoteWriter::spellingLanguage("The login button does not work when I click it twice.")
                    .startsWith("en_"));
    EXPECT_EQ(NoteWriter::misspelledCount("The login button does not work when I click it twice."), 0);
    EXPECT_EQ(NoteWriter::misspelledCount("The login buton does not wrok when I clik it twice."), 3);
    // Words with digits, apostrophes and a curly apostrophe are words like any other.
    EXPECT_EQ(
        NoteWriter::misspelledCount(QStringLiteral("It doesn\u2019t load on 1080p screens, v2 of the page.")),
        0);
    const QString text = QStringLiteral("Pleese press Save");
    const QList<WordRange> wrong = NoteWriter::misspelledRanges(text);
    ASSERT_EQ(wrong.size(), 1);
    EXPECT_EQ(text.mid(wrong.first().start, wrong.first().length), "Pleese");
    EXPECT_TRUE(
        Platform::spelling().suggestions("Pleese", NoteWriter::spellingLanguage(text)).contains("Please"));
}

TEST_F(NoteWriterSpelling, GermanCommentsAreCheckedInGerman) {
    ASSERT_TRUE(Platform::spelling().languages().contains("de_DE")) << "hunspell-de-de is not installed";
    const QString right =
        QStringLiteral("Der Knopf zum Speichern funktioniert nicht, wenn ich zweimal klicke.");
    EXPECT_EQ(NoteWriter::spellingLanguage(right).left(3), "de_");
    EXPECT_EQ(NoteWriter::misspelledCount(right), 0) << "German words are not English mistakes";
    EXPECT_EQ(NoteWriter::misspelledCount(
                  QStringLiteral("Der Knopf zum Speichern funktionirt nicht, wenn ich zweimall klicke.")),
              2);
    EXPECT_EQ(NoteWriter::misspelledCount(QStringLiteral("Die Größe der Schrift ändert sich nicht.")), 0)
        << "umlauts and ß are read as letters";
}
