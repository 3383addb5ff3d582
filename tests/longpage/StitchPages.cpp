#include "StitchPages.h"

#include <QFont>
#include <QPainter>
#include <QStringList>

#include <algorithm>
#include <cstring>

namespace ombrel::test {

namespace {
constexpr int signatureWidthPx = 64;
} // namespace

GreyRows::GreyRows(int rowCount, std::uint32_t seed, int maxValue) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> value(0, maxValue);
    rows_.resize(std::size_t(rowCount));
    for (auto& row : rows_) {
        row.resize(signatureWidthPx);
        for (auto& sample : row)
            sample = std::uint8_t(value(random));
    }
}

GreyRows GreyRows::fromRows(std::vector<std::vector<std::uint8_t>> rows) {
    GreyRows made;
    made.rows_ = std::move(rows);
    return made;
}

QImage GreyRows::frame(int first, int count) const {
    QImage image(signatureWidthPx, count, QImage::Format_Grayscale8);
    for (int y = 0; y < count; ++y)
        std::memcpy(image.scanLine(y), row(first + y).data(), signatureWidthPx);
    return image;
}

QImage GreyRows::frame(const GreyRows& header, int offset, int viewport, const GreyRows& footer) const {
    QImage image(signatureWidthPx, header.rowCount() + viewport + footer.rowCount(),
                 QImage::Format_Grayscale8);
    int y = 0;
    for (int i = 0; i < header.rowCount(); ++i)
        std::memcpy(image.scanLine(y++), header.row(i).data(), signatureWidthPx);
    for (int i = 0; i < viewport; ++i)
        std::memcpy(image.scanLine(y++), row(offset + i).data(), signatureWidthPx);
    for (int i = 0; i < footer.rowCount(); ++i)
        std::memcpy(image.scanLine(y++), footer.row(i).data(), signatureWidthPx);
    return image;
}

TextWindow TextWindow::make(int widthPx, int pageHeightPx, int lineHeightPx, int viewportPx,
                            std::uint32_t seed) {
    static const QStringList words{
        QStringLiteral("the"),    QStringLiteral("window"), QStringLiteral("scrolls"),
        QStringLiteral("slowly"), QStringLiteral("over"),   QStringLiteral("a"),
        QStringLiteral("long"),   QStringLiteral("page"),   QStringLiteral("of"),
        QStringLiteral("text"),   QStringLiteral("while"),  QStringLiteral("frames"),
        QStringLiteral("are"),    QStringLiteral("taken"),  QStringLiteral("joined"),
        QStringLiteral("in"),     QStringLiteral("order"),  QStringLiteral("Quartz"),
        QStringLiteral("jumps"),  QStringLiteral("gyp"),    QStringLiteral("fox"),
        QStringLiteral("WALTZ"),  QStringLiteral("bright"), QStringLiteral("vexing"),
        QStringLiteral("mkdir"),  QStringLiteral("--help"), QStringLiteral("42"),
        QStringLiteral("0.3s"),
    };
    std::mt19937 random(seed);
    TextWindow window;
    window.viewportPx = viewportPx;

    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(lineHeightPx * 2 / 3);

    window.page = QImage(widthPx, pageHeightPx, QImage::Format_RGB32);
    window.page.fill(Qt::white);
    {
        QPainter painter(&window.page);
        painter.setFont(font);
        painter.setPen(Qt::black);
        int lineNumber = 1;
        for (int topPx = 0; topPx + lineHeightPx <= pageHeightPx; topPx += lineHeightPx) {
            if (random() % 7 == 0) continue; // a blank line between paragraphs
            QString text = QString::number(lineNumber++) + QStringLiteral(".");
            const int wordCount = 2 + int(random() % 12);
            for (int i = 0; i < wordCount; ++i)
                text += QLatin1Char(' ') + words[int(random() % words.size())];
            const int indentPx = 6 + int(random() % 4) * 18;
            painter.drawText(indentPx, topPx + lineHeightPx * 3 / 4, text);
        }
    }

    auto bar = [&](int heightPx, QColor fill, QColor ink, const QString& label) {
        QImage image(widthPx, heightPx, QImage::Format_RGB32);
        image.fill(fill);
        QPainter painter(&image);
        painter.setFont(font);
        painter.setPen(ink);
        painter.drawText(QRect(0, 0, widthPx, heightPx), Qt::AlignCenter, label);
        return image;
    };
    window.header = bar(60, QColor(0xdd, 0xe3, 0xea), Qt::black, QStringLiteral("Reading list - Ombrel"));
    window.footer = bar(40, QColor(0x30, 0x34, 0x3a), Qt::white, QStringLiteral("Reply · Share · Page 1"));
    return window;
}

QImage TextWindow::frameAt(int offsetPx) const {
    QImage frame(page.width(), header.height() + viewportPx + footer.height(), QImage::Format_RGB32);
    QPainter painter(&frame);
    painter.drawImage(0, 0, header);
    painter.drawImage(QPoint(0, header.height()), page, QRect(0, offsetPx, page.width(), viewportPx));
    painter.drawImage(0, header.height() + viewportPx, footer);
    return frame;
}

QImage TextWindow::expected(int pageRowsPx) const {
    QImage picture(page.width(), header.height() + pageRowsPx, QImage::Format_RGB32);
    QPainter painter(&picture);
    painter.drawImage(0, 0, header);
    painter.drawImage(QPoint(0, header.height()), page, QRect(0, 0, page.width(), pageRowsPx));
    return picture;
}

int firstDifferentRow(const QImage& a, const QImage& b) {
    const QImage left = a.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage right = b.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (left.width() != right.width()) return 0;
    const int rows = std::min(left.height(), right.height());
    for (int y = 0; y < rows; ++y)
        if (std::memcmp(left.constScanLine(y), right.constScanLine(y), std::size_t(left.width()) * 4) != 0)
            return y;
    // Equal as far as the shorter goes: the first row only one of them has.
    return left.height() == right.height() ? -1 : rows;
}

} // namespace ombrel::test
