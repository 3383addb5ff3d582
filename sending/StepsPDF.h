#pragma once
// The steps document: a PDF with one picture per A4 page, each headed "Step i of M", so a
// sequence of screens can be handed over as a how-to. Made from the share menu, stored in
// the library under its "Steps_" name and opened in the default viewer.

#include <QImage>
#include <QList>
#include <QRectF>
#include <QString>
#include <QStringList>

namespace ombrel {

class StepsPDF {
  public:
    // A4 in points, and the margin at the sides, the top and the bottom.
    static constexpr double pageWidth = 595;
    static constexpr double pageHeight = 842;
    static constexpr double margin = 36;
    static constexpr double headingPoints = 18;
    static constexpr double footerPoints = 9;
    // Pictures are loaded at most this long on their long edge, as pictures brought in are.
    static constexpr int maxEdge = 2400;
    static inline const QString creator = QStringLiteral("Ombrel Capture");
    static inline const QString footer = QStringLiteral("Made with Ombrel Capture");

    // Makes the document of the pictures among `files` (recordings are left out) in the
    // background, stores it in the library and opens it with the default application. With
    // no picture that loads, the alert "Couldn't make the document" says so.
    static void make(const QStringList& files);

    // Writes one page per picture to `path`, whole or not at all, with `title` and the
    // creator in the document's information. True when the file exists afterwards; false
    // for no pictures. Any thread.
    static bool write(const QList<QImage>& images, const QString& title, const QString& path);
    // The same for the pictures among `files`, in order: recordings and files that are not
    // pictures are left out, and the pictures are loaded a few at a time on every core
    // (opaque, at most `maxEdge` on the long edge), so a long set never sits in memory whole.
    static bool writeFiles(const QStringList& files, const QString& title, const QString& path);
    // The files among `files` that are pictures by their first bytes, in order.
    static QStringList pictureFiles(const QStringList& files);

    // Where a picture of `imageSize` pixels goes within `area` (points): as large as fits,
    // keeping its shape, but never more than a point per pixel; centred across, at the top.
    static QRectF pictureRect(QSize imageSize, const QRectF& area);
};

} // namespace ombrel
