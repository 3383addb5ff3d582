// Private details in recognised text: fixed patterns, then phone numbers.
#include "TextFinder.h"

#include <QLocale>
#include <QRegularExpression>

#include <phonenumbers/phonenumbermatch.h>
#include <phonenumbers/phonenumbermatcher.h>
#include <phonenumbers/phonenumberutil.h>

namespace ombrel::TextFinder {

namespace {

// A byte offset into the UTF-8 form of a text as a position in the text; none when it falls
// inside a character.
std::optional<qsizetype> positionOf(const QByteArray& utf8, int byteOffset) {
    if (byteOffset < 0 || byteOffset > utf8.size()) return std::nullopt;
    if (byteOffset < utf8.size() && (uchar(utf8.at(byteOffset)) & 0xC0) == 0x80) return std::nullopt;
    return QString::fromUtf8(utf8.left(byteOffset)).size();
}

bool onBoundary(const QString& text, qsizetype position) {
    return position <= 0 || position >= text.size() || !text.at(position).isLowSurrogate();
}

// The region whose national formats count as phone numbers: the user's, else the United States'.
std::string userRegion() {
    const QString code = QLocale::territoryToCode(QLocale::system().territory());
    return code.size() == 2 ? code.toStdString() : std::string("US");
}

// A pattern as the matching reads it: the case-insensitive option makes the upper-case
// classes take lower-case letters too, and Unicode properties give \d, \s and \b their
// meaning over all scripts.
QRegularExpression compiled(const QString& pattern) {
    return QRegularExpression(pattern, QRegularExpression::CaseInsensitiveOption |
                                           QRegularExpression::UseUnicodePropertiesOption);
}

// Where the secret after a label stands among the private patterns.
constexpr qsizetype labelledSecretPattern = 2;

QList<TextRange> phoneNumbers(const QString& text) {
    using namespace i18n::phonenumbers;
    QList<TextRange> out;
    const QByteArray utf8 = text.toUtf8();
    const std::string source(utf8.constData(), size_t(utf8.size()));
    const PhoneNumberUtil& util = *PhoneNumberUtil::GetInstance();
    // The user's own region first, then numbers written in international form ("+44 …").
    for (const std::string& region : {userRegion(), std::string("ZZ")}) {
        PhoneNumberMatcher matcher(util, source, region, PhoneNumberMatcher::VALID, 65535);
        PhoneNumberMatch match;
        while (matcher.HasNext() && matcher.Next(&match)) {
            const auto start = positionOf(utf8, match.start());
            const auto end = positionOf(utf8, match.start() + match.length());
            if (!start || !end) continue;
            const TextRange range{*start, *end};
            if (!out.contains(range)) out.append(range);
        }
    }
    return out;
}

} // namespace

const QStringList& privatePatterns() {
    static const QStringList patterns{
        // E-mail addresses.
        QStringLiteral(R"([A-Z0-9._%+-]+@[A-Z0-9.-]+\.[A-Z]{2,})"),
        // Card and account numbers: 13 to 19 digits, single spaces or hyphens between them.
        QStringLiteral(R"(\b(?:\d[ -]?){12,18}\d\b)"),
        // A secret after a label, with the label and the sign.
        QStringLiteral(R"(\b(?:password|passcode|secret|token|api[ _-]?key|pin)\s*[:=]\s*\S+)"),
        // Access keys and tokens with well-known prefixes.
        QStringLiteral(R"(\b(?:sk|pk|rk|ghp|gho|xox[abps]|AKIA|eyJ)[-_A-Z0-9]{12,})"),
        // Long mixed tokens: 24 or more key characters with a digit and a letter.
        QStringLiteral(R"(\b(?=[-_A-Z0-9]*\d)(?=[-_A-Z0-9]*[A-Z])[-_A-Z0-9]{24,}\b)"),
    };
    return patterns;
}

QList<TextRange> privateRanges(const QString& text) {
    // Compiled once per process.
    static const QList<QRegularExpression> expressions = [] {
        QList<QRegularExpression> list;
        for (const QString& p : privatePatterns()) {
            QRegularExpression re = compiled(p);
            if (re.isValid()) // a pattern that does not compile is left out
                list.append(re);
        }
        return list;
    }();
    QList<TextRange> out;
    for (const QRegularExpression& re : expressions) {
        QRegularExpressionMatchIterator it = re.globalMatch(text);
        while (it.hasNext()) {
            const QRegularExpressionMatch m = it.next();
            const TextRange range{m.capturedStart(), m.capturedEnd()};
            if (range.end > range.start && onBoundary(text, range.start) && onBoundary(text, range.end))
                out.append(range);
        }
    }
    out.append(phoneNumbers(text));
    return out;
}

namespace {

// The two lines stand side by side on one row, the second after the first: a label and
// the field beside it, which the reading keeps apart.
bool sideBySide(const Line& first, const Line& second) {
    const std::optional<QRectF> a = first.box({0, first.text.size()});
    const std::optional<QRectF> b = second.box({0, second.text.size()});
    if (!a || !b || b->left() < a->right()) return false;
    const double shared = std::min(a->bottom(), b->bottom()) - std::max(a->top(), b->top());
    return shared >= 0.5 * std::min(a->height(), b->height());
}

// A secret after a label that ends one line, written in the next one beside it: the
// label's part in the first line and the secret in the second.
QList<std::pair<TextRange, TextRange>> labelledAcross(const Line& first, const Line& second) {
    static const QRegularExpression label = compiled(privatePatterns().at(labelledSecretPattern));
    QList<std::pair<TextRange, TextRange>> out;
    const qsizetype secondStart = first.text.size() + 1;
    QRegularExpressionMatchIterator it = label.globalMatch(first.text + QLatin1Char(' ') + second.text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        if (m.capturedStart() < first.text.size() && m.capturedEnd() > secondStart)
            out.append({{m.capturedStart(), first.text.size()}, {0, m.capturedEnd() - secondStart}});
    }
    return out;
}

} // namespace

QList<QRectF> privateAreas(const QList<Line>& lines, QSize imageSize) {
    QList<QRectF> out;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const Line& line = lines.at(i);
        QList<QRectF> found;
        for (const TextRange& r : privateRanges(line.text))
            if (auto box = rect(r, line, imageSize)) found.append(*box);
        if (i + 1 < lines.size() && sideBySide(line, lines.at(i + 1)))
            for (const auto& [labelPart, secretPart] : labelledAcross(line, lines.at(i + 1))) {
                if (auto box = rect(labelPart, line, imageSize)) found.append(*box);
                if (auto box = rect(secretPart, lines.at(i + 1), imageSize)) found.append(*box);
            }
        out.append(found);
    }
    return out;
}

} // namespace ombrel::TextFinder
