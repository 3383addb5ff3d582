#pragma once
// A temporary home with pictures and other files in it, and the program's alerts recorded
// instead of shown: what the chat sender's and the share menu's tests start from.

#include "support/TestEnv.h"

#include "ui/Permissions.h"

#include <QDir>
#include <QFile>
#include <QImage>

namespace ombrel::test {

class FilesTest : public LibraryTest {
  protected:
    static inline QStringList alerts;  // "title\nmessage" of each alert
    static inline int alertAnswer = 1; // the second button: "Not Now" where there is one
    static int recordAlert(const QString& title, const QString& message, const QStringList&) {
        alerts.append(title + '\n' + message);
        return alertAnswer;
    }

    void SetUp() override {
        LibraryTest::SetUp();
        alerts.clear();
        alertAnswer = 1;
        Permissions::setPresenter(&recordAlert);
    }
    void TearDown() override {
        Permissions::setPresenter(nullptr);
        LibraryTest::TearDown();
    }

    // A PNG of one colour at `name` under the temporary home, its folders made.
    QString picture(const QString& name, QColor colour = Qt::darkCyan, QSize size = QSize(320, 180)) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        const QString path = file(name, {});
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
};

} // namespace ombrel::test
