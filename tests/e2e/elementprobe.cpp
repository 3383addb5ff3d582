// A helper for the screen-understanding end-to-end script:
//   elementprobe form X Y        shows a Qt window titled "form" at X,Y with known elements
//   elementprobe read PID X Y W H
//                                prints, one per line, the elements that the accessibility
//                                reader finds for a capture of that area of the process
//                                (KIND|TITLE|x,y,w,h in picture pixels), then
//                                "address|URL" for each browser page on it
#include "platform/Platform.h"
#include "understanding/AccessibilityReader.h"
#include "understanding/ElementMap.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextStream>
#include <QVBoxLayout>
#include <QWidget>

using namespace ombrel;

namespace {

int showForm(int x, int y) {
    auto* window = new QWidget;
    window->setWindowTitle(QStringLiteral("form"));
    auto* layout = new QVBoxLayout(window);
    auto* welcome = new QLabel(QStringLiteral("Welcome back"));
    QFont big = welcome->font();
    big.setPixelSize(22);
    welcome->setFont(big);
    layout->addWidget(welcome);
    auto* email = new QLineEdit;
    email->setPlaceholderText(QStringLiteral("Email address"));
    email->setAccessibleName(QStringLiteral("Email address"));
    layout->addWidget(email);
    layout->addWidget(new QCheckBox(QStringLiteral("Remember me")));
    auto* login = new QPushButton(QStringLiteral("Log in"));
    login->setMinimumHeight(36);
    layout->addWidget(login);
    layout->addWidget(new QPushButton(QStringLiteral("Cancel")));
    window->setGeometry(x, y, 420, 300);
    window->show();
    return QApplication::exec();
}

int read(qint64 pid, QRectF area) {
    Platform::install(makeNativePlatform());
    QTextStream out(stdout);
    const AccessibilityReader::Source source{qint32(pid), area};
    const QSize size = area.size().toSize();
    for (const ScreenElement& e : ElementMap::merged(AccessibilityReader::elements(source, size))) {
        const QRectF r = e.imageRect;
        out << ScreenElement::rawValue(e.kind) << '|' << e.title << '|' << r.x() << ',' << r.y() << ','
            << r.width() << ',' << r.height() << '\n';
    }
    for (const QString& address : AccessibilityReader::pageAddresses(source))
        out << "address|" << address << '\n';
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 3 && args[0] == QLatin1String("form"))
        return showForm(args[1].toInt(), args[2].toInt());
    if (args.size() == 6 && args[0] == QLatin1String("read"))
        return read(args[1].toLongLong(),
                    QRectF(args[2].toDouble(), args[3].toDouble(), args[4].toDouble(), args[5].toDouble()));
    QTextStream(stderr) << "usage: elementprobe form X Y | read PID X Y W H\n";
    return 2;
}
