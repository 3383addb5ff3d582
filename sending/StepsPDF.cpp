#include "StepsPDF.h"

#include "library/CaptureStore.h"
#include "platform/Log.h"
#include "platform/Platform.h"
#include "ui/Permissions.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QFutureWatcher>
#include <QImageReader>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QThread>
#include <QUrl>
#include <QtConcurrent>
#include <algorithm>
#include <memory>

namespace ombrel {

namespace {

// Space between the heading, the picture and the footer.
constexpr double gap = 14;

QImage loadPicture(const QString& path) {
    QImageReader reader(path);
    reader.setAutoTransform(true); // photos from phones carry their rotation separately
    const QSize size = reader.size();
    if (size.isValid() && std::max(size.width(), size.height()) > StepsPDF::maxEdge)
        reader.setScaledSize(size.scaled(StepsPDF::maxEdge, StepsPDF::maxEdge, Qt::KeepAspectRatio));
    QImage image = reader.read();
    if (image.isNull()) {
        qCInfo(logSending) << "not a picture for the steps document:" << path << reader.errorString();
        return {};
    }
    // Opaque, with white behind transparency, as on the page.
    if (image.hasAlphaChannel()) {
        QImage flat(image.size(), QImage::Format_RGB32);
        flat.fill(Qt::white);
        QPainter(&flat).drawImage(0, 0, image);
        return flat;
    }
    return image.convertToFormat(QImage::Format_RGB32);
}

QFont systemFont(double points, QFont::Weight weight) {
    QFont font;
    font.setPointSizeF(points);
    font.setWeight(weight);
    return font;
}

// The document being written: pages are added one by one, and the file appears whole when
// it is finished.
class StepsPages {
  public:
    StepsPages(const QString& path, const QString& title, qsizetype count) : m_file(path), m_count(count) {
        if (!m_file.open(QIODevice::WriteOnly)) {
            qCWarning(logSending) << "cannot write the steps document" << path << m_file.errorString();
            return;
        }
        m_pdf = std::make_unique<QPdfWriter>(&m_file);
        m_pdf->setResolution(72); // a unit of drawing is a point
        m_pdf->setPageLayout(
            QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(), QPageLayout::Point));
        m_pdf->setTitle(title);
        m_pdf->setCreator(StepsPDF::creator);
        const double margin = StepsPDF::margin, width = StepsPDF::pageWidth - 2 * margin;
        const double headingHeight = QFontMetricsF(m_headingFont, m_pdf.get()).height();
        const double footerHeight = QFontMetricsF(m_footerFont, m_pdf.get()).height();
        m_heading = QRectF(margin, margin, width, headingHeight);
        m_footer = QRectF(margin, StepsPDF::pageHeight - margin - footerHeight, width, footerHeight);
        m_area =
            QRectF(margin, m_heading.bottom() + gap, width, m_footer.top() - gap - m_heading.bottom() - gap);
        if (!m_painter.begin(m_pdf.get())) qCWarning(logSending) << "cannot draw the steps document" << path;
        m_painter.setRenderHint(QPainter::SmoothPixmapTransform);
    }

    bool isOpen() const { return m_painter.isActive(); }

    void add(const QImage& image) {
        if (!isOpen()) return;
        if (m_added++ > 0) m_pdf->newPage();
        m_painter.setFont(m_headingFont);
        m_painter.setPen(Qt::black);
        m_painter.drawText(m_heading, Qt::AlignLeft | Qt::AlignTop,
                           QStringLiteral("Step %1 of %2").arg(m_added).arg(m_count));
        m_painter.setFont(m_footerFont);
        m_painter.setPen(QColor(128, 128, 128));
        m_painter.drawText(m_footer, Qt::AlignLeft | Qt::AlignBottom, StepsPDF::footer);
        m_painter.drawImage(StepsPDF::pictureRect(image.size(), m_area), image);
    }

    // Ends the document: true when it has a page and was saved whole.
    bool finish() {
        if (!isOpen() || !m_painter.end() || m_added == 0) return false;
        m_pdf.reset();
        if (!m_file.commit()) {
            qCWarning(logSending) << "cannot save the steps document" << m_file.fileName()
                                  << m_file.errorString();
            return false;
        }
        return QFileInfo::exists(m_file.fileName());
    }

  private:
    QSaveFile m_file;
    std::unique_ptr<QPdfWriter> m_pdf;
    QPainter m_painter;
    const QFont m_headingFont = systemFont(StepsPDF::headingPoints, QFont::DemiBold);
    const QFont m_footerFont = systemFont(StepsPDF::footerPoints, QFont::Normal);
    QRectF m_heading, m_footer, m_area;
    qsizetype m_count;
    qsizetype m_added = 0;
};

} // namespace

QRectF StepsPDF::pictureRect(QSize imageSize, const QRectF& area) {
    if (imageSize.isEmpty() || area.isEmpty()) return {};
    const double scale =
        std::min({area.width() / imageSize.width(), area.height() / imageSize.height(), 1.0});
    const QSizeF size(imageSize.width() * scale, imageSize.height() * scale);
    return QRectF(QPointF(area.left() + (area.width() - size.width()) / 2, area.top()), size);
}

QStringList StepsPDF::pictureFiles(const QStringList& files) {
    QStringList pictures;
    for (const QString& file : files)
        if (!CaptureStore::isVideo(file) && QImageReader(file).canRead()) pictures.append(file);
    return pictures;
}

bool StepsPDF::write(const QList<QImage>& images, const QString& title, const QString& path) {
    if (images.isEmpty()) return false;
    StepsPages pages(path, title, images.size());
    for (const QImage& image : images)
        pages.add(image);
    return pages.finish();
}

bool StepsPDF::writeFiles(const QStringList& files, const QString& title, const QString& path) {
    const QStringList pictures = pictureFiles(files);
    if (pictures.isEmpty()) return false;
    StepsPages pages(path, title, pictures.size());
    // A few pictures at a time, decoded side by side, drawn in order.
    const qsizetype batch = std::max(2, QThread::idealThreadCount());
    for (qsizetype from = 0; from < pictures.size() && pages.isOpen(); from += batch) {
        const QList<QImage> loaded =
            QtConcurrent::blockingMapped<QList<QImage>>(pictures.mid(from, batch), &loadPicture);
        for (const QImage& image : loaded)
            if (!image.isNull()) pages.add(image); // a file that only looked like a picture is left out
    }
    return pages.finish();
}

void StepsPDF::make(const QStringList& files) {
    auto cannot = [] {
        Permissions::show(QStringLiteral("Couldn't make the document"),
                          QStringLiteral("There were no pictures to put in it."));
    };
    if (std::all_of(files.begin(), files.end(), [](const QString& f) { return CaptureStore::isVideo(f); })) {
        cannot();
        return;
    }
    QString path;
    try {
        path = CaptureStore::newStepsURL();
    } catch (const StoreError& error) {
        qCWarning(logSending) << "no name for the steps document:" << error.what();
        cannot();
        return;
    }
    auto* watcher = new QFutureWatcher<bool>(QCoreApplication::instance());
    QObject::connect(watcher, &QFutureWatcher<bool>::finished, watcher, [watcher, path, cannot] {
        watcher->deleteLater();
        if (!watcher->result()) {
            cannot();
            return;
        }
        CaptureStore::noteChange();
        if (!Platform::workspace().open(QUrl::fromLocalFile(path)))
            qCWarning(logSending) << "no application opened the steps document" << path;
    });
    watcher->setFuture(
        QtConcurrent::run([files, path] { return writeFiles(files, QStringLiteral("Steps"), path); }));
}

} // namespace ombrel
