// A small helper for end-to-end scripts: reads PNG files and shows plain test windows.
//   pngprobe size FILE                  prints WIDTHxHEIGHT
//   pngprobe color FILE X Y             prints #rrggbb of one pixel
//   pngprobe differing FILE X Y W H #rrggbb [TOLERANCE]
//                                       prints how many pixels of the rectangle differ from the colour
//   pngprobe compare FILE OTHER X Y W H [TOLERANCE]
//                                       prints how many pixels of the rectangle differ between the two
//   pngprobe window TITLE #rrggbb X Y W H
//                                       shows a plain window until killed
//   pngprobe longpage TITLE X Y W H     shows a window with a fixed header bar over a tall page of
//                                       numbered text lines that scrolls with the mouse wheel
//   pngprobe stripes FILE X TOP         reads the long page's line stripes down column X from row TOP:
//                                       prints "lines FIRST-LAST" when they come in page order, none
//                                       repeated or skipped, each its full height (the last may be
//                                       cut); otherwise says what is wrong and exits 1
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextStream>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdlib>

namespace {
int usage() {
    QTextStream(stderr) << "usage: pngprobe size|color|differing|window …\n";
    return 2;
}

QImage load(const QString& path) {
    QImage image(path);
    if (image.isNull()) {
        QTextStream(stderr) << "cannot read " << path << '\n';
        std::exit(1);
    }
    return image;
}

class Plain : public QWidget {
  public:
    explicit Plain(QColor c) : color(c) {}
    QColor color;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), color);
        // A darker band at the top and a marker at the bottom right, so a cut-off grab shows.
        p.fillRect(QRect(0, 0, width(), 20), color.darker(150));
        p.fillRect(QRect(width() - 20, height() - 20, 20, 20), Qt::black);
    }
};
constexpr int longPageHeaderPx = 48;
const QString longPageHeaderColour = QStringLiteral("#2050a0");

// A white page of 300 numbered lines of text, each with its own shade of grey stripe at the
// left, so every part of the page looks different from its neighbours.
class NumberedPage : public QWidget {
  public:
    static constexpr int lineHeight = 24;
    static constexpr int lineCount = 300;
    static QColor stripe(int line) { return QColor::fromHsv((line * 37) % 360, 200, 220); }
    explicit NumberedPage(QWidget* parent) : QWidget(parent) { setFixedSize(520, lineHeight * lineCount); }

  protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter p(this);
        p.fillRect(event->rect(), Qt::white);
        p.setPen(Qt::black);
        const int first = std::max(0, event->rect().top() / lineHeight);
        const int last = std::min(lineCount - 1, event->rect().bottom() / lineHeight);
        for (int i = first; i <= last; ++i) {
            const int top = i * lineHeight;
            p.fillRect(QRect(0, top, 12, lineHeight), stripe(i));
            p.drawText(QRect(20, top, width() - 20, lineHeight), Qt::AlignVCenter,
                       QStringLiteral("Line %1 of the long page: %2")
                           .arg(i + 1, 3, 10, QLatin1Char('0'))
                           .arg(QString(QLatin1Char('a' + i % 26)).repeated(5 + (i * 7) % 30)));
        }
    }
};
} // namespace

int main(int argc, char** argv) {
    QStringList a;
    for (int i = 1; i < argc; ++i)
        a << QString::fromLocal8Bit(argv[i]);
    if (a.isEmpty()) return usage();
    QTextStream out(stdout);
    if (a[0] == "size" && a.size() == 2) {
        const QImage i = load(a[1]);
        out << i.width() << 'x' << i.height() << '\n';
        return 0;
    }
    if (a[0] == "color" && a.size() == 4) {
        const QImage i = load(a[1]);
        out << QColor(i.pixel(a[2].toInt(), a[3].toInt())).name() << '\n';
        return 0;
    }
    if (a[0] == "differing" && a.size() >= 7) {
        const QImage i = load(a[1]);
        const QRect r(a[2].toInt(), a[3].toInt(), a[4].toInt(), a[5].toInt());
        const QColor want(a[6]);
        const int tolerance = a.size() > 7 ? a[7].toInt() : 0;
        long differing = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x) {
                const QColor c(i.pixel(x, y));
                if (std::abs(c.red() - want.red()) > tolerance ||
                    std::abs(c.green() - want.green()) > tolerance ||
                    std::abs(c.blue() - want.blue()) > tolerance)
                    ++differing;
            }
        out << differing << '\n';
        return 0;
    }
    if (a[0] == "compare" && a.size() >= 7) {
        const QImage i = load(a[1]), j = load(a[2]);
        const QRect r(a[3].toInt(), a[4].toInt(), a[5].toInt(), a[6].toInt());
        const int tolerance = a.size() > 7 ? a[7].toInt() : 0;
        long differing = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x) {
                const QColor c(i.pixel(x, y)), d(j.pixel(x, y));
                if (std::abs(c.red() - d.red()) > tolerance || std::abs(c.green() - d.green()) > tolerance ||
                    std::abs(c.blue() - d.blue()) > tolerance)
                    ++differing;
            }
        out << differing << '\n';
        return 0;
    }
    if (a[0] == "stripes" && a.size() == 4) {
        const QImage i = load(a[1]);
        const int x = a[2].toInt();
        auto lineAt = [&](int y) {
            for (int line = 0; line < NumberedPage::lineCount; ++line)
                if (qRgb(qRed(i.pixel(x, y)), qGreen(i.pixel(x, y)), qBlue(i.pixel(x, y))) ==
                    NumberedPage::stripe(line).rgb())
                    return line;
            return -1;
        };
        int first = -1, line = -1, run = 0;
        for (int y = a[3].toInt(); y < i.height(); ++y) {
            const int now = lineAt(y);
            if (now < 0) {
                out << "row " << y << " is no stripe of the page\n";
                return 1;
            }
            if (now == line) {
                ++run;
                continue;
            }
            if (line >= 0 && (now != line + 1 || run != NumberedPage::lineHeight)) {
                out << "line " << line + 1 << " is " << run << " rows tall and followed by line " << now + 1
                    << " at row " << y << '\n';
                return 1;
            }
            if (first < 0) first = now;
            line = now;
            run = 1;
        }
        out << "lines " << first + 1 << '-' << line + 1 << '\n';
        return 0;
    }
    if (a[0] == "window" && a.size() == 7) {
        QApplication app(argc, argv);
        Plain w{QColor(a[2])};
        w.setWindowTitle(a[1]);
        w.setGeometry(a[3].toInt(), a[4].toInt(), a[5].toInt(), a[6].toInt());
        w.show();
        return app.exec();
    }
    if (a[0] == "longpage" && a.size() == 6) {
        QApplication app(argc, argv);
        QWidget w;
        w.setWindowTitle(a[1]);
        auto* column = new QVBoxLayout(&w);
        column->setContentsMargins(0, 0, 0, 0);
        column->setSpacing(0);
        auto* header = new QLabel(QStringLiteral("  Fixed header"), &w);
        header->setFixedHeight(longPageHeaderPx);
        header->setAutoFillBackground(true);
        header->setStyleSheet(QStringLiteral("background:%1;color:white;").arg(longPageHeaderColour));
        column->addWidget(header);
        auto* scroll = new QScrollArea(&w);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setWidget(new NumberedPage(&w));
        scroll->verticalScrollBar()->setSingleStep(20);
        column->addWidget(scroll);
        w.setGeometry(a[2].toInt(), a[3].toInt(), a[4].toInt(), a[5].toInt());
        w.show();
        return app.exec();
    }
    return usage();
}
