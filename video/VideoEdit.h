#pragma once
// Everything the user does to a recording in the video editor, as one plain value: the
// crop, mute, text notes shown at moments, captions and the look of captions. The
// recording itself is never changed; "Save Version" renders it with its edit into the next
// version's file. Also the looks of notes and captions with their option tables, the
// tidying and numbering of notes ("Organise Steps") and the grouping of spoken words into
// captions.
//
// Positions are unit coordinates of the video picture: x from 0 (left) to 1 (right), y from
// 0 (top) to 1 (bottom). Times and durations are seconds from the start of the video.

#include "platform/Speech.h" // SpeechWord: one word heard, as transcription gives it

#include <QColor>
#include <QFont>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <optional>

namespace ombrel {

// A soft shadow behind text: its colour, blur radius and offset, all in the units of the
// picture the text is drawn on (y downward).
struct TextShadow {
    QColor color;
    double blurRadius = 0;
    QPointF offset;
};

// How text is drawn: the face, the colour, and for text without a background a shadow and
// (captions only) an outline of `strokeWidth` around every letter.
struct TextAttributes {
    QFont font; // its point size is the size in the units of the picture drawn on
    QColor color;
    std::optional<TextShadow> shadow;
    QColor strokeColor;
    double strokeWidth = 0; // 0: no outline
};

struct NamedMultiplier {
    const char* name;
    double multiplier;
};

struct NamedColour {
    const char* name;
    QColor colour;
};

// The look of a text note, or of the words of captions.
struct VideoTextStyle {
    QString font = QStringLiteral("System");
    double size = 1.0;
    QString color = QStringLiteral("White");
    QString background = QStringLiteral("Ombrel");

    // The tables, in the order they are offered.
    static const QStringList& fonts();
    static const QList<NamedMultiplier>& sizes();
    static const QList<NamedColour>& colors();
    static const QList<NamedColour>& backgrounds(); // "None" has an invalid colour

    // The semibold face for the style's font at pointSize · size ("Handwriting" is 1.2 times
    // larger). "System" is DejaVu Sans, "Rounded" Comfortaa, "Serif" DejaVu Serif, "Mono"
    // DejaVu Sans Mono and "Handwriting" the face of sticky notes; a face that is not
    // installed, and any other name, gives the system face.
    QFont fontAt(double pointSize) const;
    // White for a name not in the table.
    QColor textColor() const;
    // None for "None" and for a name not in the table.
    std::optional<QColor> backgroundColor() const;
    // The face and colour; without a background also a shadow (white at 0.85 behind black
    // text, else black at 0.85) of blur 0.15 · pointSize, one unit below the text.
    TextAttributes attributes(double pointSize) const;

    // The style most recently chosen, for the next note. Lives for the run of the program.
    static VideoTextStyle last;

    friend bool operator==(const VideoTextStyle&, const VideoTextStyle&) = default;
};

// How all captions of a video look.
struct CaptionStyle {
    QString look = QStringLiteral("TV Bar");
    bool fullWidth = true; // a bar across the whole width rather than a box around the words
    QString position = QStringLiteral("Bottom");
    VideoTextStyle text{QStringLiteral("System"), 1.0, QStringLiteral("White"), QStringLiteral("Black")};

    // The designs offered, in order.
    static const QList<CaptionStyle>& looks();
    static const QStringList& positions();
    static CaptionStyle last;

    friend bool operator==(const CaptionStyle&, const CaptionStyle&) = default;
};

struct VideoEdit {
    struct TextNote {
        double time = 0;
        double x = 0, y = 0; // the note's top-left corner
        QString text;
        double duration = 3.0;
        VideoTextStyle style = VideoTextStyle::last;

        bool isShown(double t) const { return time <= t && t < time + duration; }
        friend bool operator==(const TextNote&, const TextNote&) = default;
    };
    struct Caption {
        double time = 0;
        double duration = 0;
        QString text;

        bool isShown(double t) const { return time <= t && t < time + duration; }
        friend bool operator==(const Caption&, const Caption&) = default;
    };

    std::optional<QRectF> crop; // unit coordinates of the part of the picture to keep
    bool isMuted = false;
    QList<TextNote> notes;
    QList<Caption> captions; // in time order
    CaptionStyle captionStyle = CaptionStyle::last;

    // A crop, mute, a note with text or a caption with text.
    bool hasChanges() const;
    // The first caption with text shown at `t`.
    std::optional<int> captionIndex(double t) const;
    // The indexes of the notes with text shown at `t`, in list order.
    QList<int> noteIndexes(double t) const;
    QList<TextNote> notesAt(double t) const;

    // "Organise Steps": notes without text dropped, the rest in time order, numbered
    // "1. ", "2. "… before their tidied text, lined up at (0.05, 0.8), each shown until
    // the next (the video's end for the last) but at least 1.5 s and at most 8 s.
    VideoEdit organised(double videoLength) const;
    // One line, single spaces, no leading step number ("3) ", "12. "), a capital first letter.
    static QString tidied(const QString& text);
    // Groups spoken words into readable captions: a new caption after a pause of more than
    // 0.8 s, at 10 words, past 58 characters, or after a sentence of three words or more.
    // Each lingers half a second, lasts at least 1.5 s and never overlaps the next.
    static QList<Caption> captionsFrom(const QList<SpeechWord>& words);

    friend bool operator==(const VideoEdit&, const VideoEdit&) = default;
};

} // namespace ombrel
