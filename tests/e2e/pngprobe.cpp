// A small helper for end-to-end scripts: reads PNG files and shows plain test windows.
//   pngprobe size FILE                  prints WIDTHxHEIGHT
//   pngprobe color FILE X Y             prints #rrggbb of one pixel
//   pngprobe differing FILE X Y W H #rrggbb [TOLERANCE]
//                                       prints how many pixels of the rectangle differ from the colour
//   pngprobe window TITLE #rrggbb X Y W H
//                                       shows a plain window until killed
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTextStream>
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
} // namespace

int main(int argc, char** argv) {
    QStringList a;
    for (int i = 1; i < argc; ++i)
        a << QString::fromLocal8Bit(argv[i]);
    if (a.isEmpty())
        return usage();
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
                if (std::abs(c.red() - want.red()) > tolerance || std::abs(c.green() - want.green()) > tolerance ||
                    std::abs(c.blue() - want.blue()) > tolerance)
                    ++differing;
            }
        out << differing << '\n';
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
    return usage();
}
