#include "GlassWindow.h"

#include "ui/Glass.h"

#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace ombrel {

namespace {
constexpr qreal cornerRadius = 18;
}

GlassWindow::GlassWindow(int width) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowTitle(QStringLiteral("Ombrel Capture"));
    setFixedWidth(width);
    auto* glass = new GlassView(cornerRadius, this);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(glass);
    m_column = new QVBoxLayout(glass);
    m_column->setContentsMargins(30, 26, 30, 24);
    m_column->setSpacing(8);
}

QLabel* GlassWindow::label(const QString& text, int pointSize, bool bold, double opacity) {
    auto* l = new QLabel(text);
    l->setWordWrap(true);
    l->setTextFormat(Qt::PlainText);
    l->setStyleSheet(QStringLiteral("color: rgba(255,255,255,%1); font-size: %2pt; font-weight: %3;")
                         .arg(qRound(opacity * 255))
                         .arg(pointSize)
                         .arg(bold ? 600 : 400));
    return l;
}

QPushButton* GlassWindow::button(const QString& title, bool main) {
    auto* b = new QPushButton(title);
    b->setCursor(Qt::PointingHandCursor);
    setMain(b, main);
    return b;
}

void GlassWindow::setMain(QPushButton* b, bool main) {
    b->setProperty("main", main);
    b->setDefault(main);
    b->setStyleSheet(glassButtonStyle(main));
}

void GlassWindow::present() {
    // Wrapped lines make the height depend on the width, which is fixed.
    int wanted = hasHeightForWidth() ? heightForWidth(width()) : sizeHint().height();
    if (wanted <= 0) wanted = sizeHint().height();
    resize(width(), wanted);
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry();
        resize(width(), std::min(wanted, area.height() - 40));
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    show();
    raise();
    activateWindow();
}

void GlassWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    // Return presses the main button, as in a dialog.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        for (QPushButton* b : findChildren<QPushButton*>())
            if (b->property("main").toBool() && b->isVisible()) {
                b->click();
                return;
            }
    }
    QWidget::keyPressEvent(event);
}

void GlassWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) m_grabbedAt = event->position().toPoint();
}

void GlassWindow::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) move(event->globalPosition().toPoint() - m_grabbedAt);
}

void GlassWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    roundCornersWithoutCompositor(this, cornerRadius);
}

void GlassWindow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    Q_EMIT closed();
}

} // namespace ombrel
