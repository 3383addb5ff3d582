#pragma once
// Pictures, recordings and folders in a temporary home for the share menu's tests, with the
// alerts recorded instead of shown.

#include "support/TestEnv.h"

#include "ui/Permissions.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>

namespace ombrel::test {

class ShareTest : public LibraryTest {
  protected:
    static inline QStringList alerts; // title and message of each alert
    static int recordAlert(const QString& title, const QString& message, const QStringList&) {
        alerts << title << message;
        return 0;
    }

    void SetUp() override {
        LibraryTest::SetUp();
        alerts.clear();
        Permissions::setPresenter(&recordAlert);
    }
    void TearDown() override {
        Permissions::setPresenter(nullptr);
        LibraryTest::TearDown();
    }

    QString folder(const QString& relative) {
        const QString path = dir.filePath(relative);
        QDir().mkpath(path);
        return path;
    }
    QString picture(const QString& name, QColor colour = Qt::darkCyan, QSize size = QSize(320, 180)) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        const QString path = dir.filePath(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        image.save(path, "PNG");
        return path;
    }
    QString file(const QString& name, const QByteArray& bytes = "not a picture") {
        const QString path = dir.filePath(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return path;
    }
    static QByteArray bytesOf(const QString& path) {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }

    // What a poppler tool prints; the tools come with the project's setup.
    static QString run(const QString& program, const QStringList& args) {
        QProcess p;
        p.start(program, args);
        if (!p.waitForFinished(30000) || p.exitCode() != 0)
            ADD_FAILURE() << program.toStdString() << " failed (is poppler-utils installed?): "
                          << p.readAllStandardError().toStdString();
        return QString::fromUtf8(p.readAllStandardOutput());
    }
    static QString pageText(const QString& pdf, int page) {
        const QString n = QString::number(page);
        return run(QStringLiteral("pdftotext"), {"-f", n, "-l", n, "-layout", pdf, "-"}).simplified();
    }
};

} // namespace ombrel::test
