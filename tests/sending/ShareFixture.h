#pragma once
// Folders for the share menu's tests, and what the poppler tools read in a document.

#include "FilesFixture.h"

#include <QProcess>

namespace ombrel::test {

class ShareTest : public FilesTest {
  protected:
    QString folder(const QString& relative) {
        const QString path = dir.filePath(relative);
        QDir().mkpath(path);
        return path;
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
