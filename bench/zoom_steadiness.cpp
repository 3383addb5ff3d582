// How steady the zoom camera is over a 40-second session of reading a documentation page
// (bench/ReadingSession.h): direction reversals of the camera centre per zoomed minute, the
// moments the camera zooms in and out, and the time the plan takes.
//   bench_zoom_steadiness [PAGE.png]     (default bench/pages/article.png)
#include "ReadingSession.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTextStream>

using namespace ombrel;

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTextStream out(stdout);
    const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(OMBREL_PAGE_PICTURE);
    const QImage page(path);
    if (page.isNull()) {
        out << "couldn't read the page picture " << path << '\n';
        return 1;
    }
    const bench::ReadingSession session = bench::readingSession(page);
    QElapsedTimer timer;
    timer.start();
    const ZoomPlan plan = bench::planOf(session);
    const double planMs = double(timer.nsecsElapsed()) / 1e6;
    const bench::Steadiness s = bench::steadinessOf(plan);
    const ZoomPlan withoutMap(session.clicks, session.pointer, {}, session.durationSeconds);
    const bench::Steadiness plain = bench::steadinessOf(withoutMap);

    out << "reading session: " << session.pointer.size() << " pointer samples, " << session.clicks.size()
        << " clicks, " << session.durationSeconds << " s; planned in " << QString::number(planMs, 'f', 2)
        << " ms\n";
    out << "with the page's content map: zoomed " << QString::number(s.zoomedMinutes() * 60, 'f', 2) << " s, "
        << s.reversals << " reversals = " << QString::number(s.reversalsPerZoomedMinute(), 'f', 1)
        << " per zoomed minute\n";
    out << "without a content map: zoomed " << QString::number(plain.zoomedMinutes() * 60, 'f', 2) << " s, "
        << plain.reversals << " reversals = " << QString::number(plain.reversalsPerZoomedMinute(), 'f', 1)
        << " per zoomed minute\n";
    out << "zoomed in (scale >= 1.05) during:";
    for (const auto& [from, to] : s.zoomedSpans)
        out << ' ' << QString::number(from, 'f', 3) << "-" << QString::number(to, 'f', 3);
    out << " s\n";
    // A fingerprint of the scale track: the zoom timing in full, frame by frame.
    double scaleSum = 0;
    for (size_t i = 0; i < plan.frames().size(); ++i)
        scaleSum += plan.frames()[i].scale * double(i % 97 + 1);
    out << "scale track fingerprint " << QString::number(scaleSum, 'f', 9) << '\n';
    return 0;
}
