#pragma once
// A private world for one test: a temporary library folder, settings file and trash,
// with fake platform services installed.

#include "platform/fake/FakePlatform.h"

#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <ostream>

QT_BEGIN_NAMESPACE
// Readable failure messages for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& l, std::ostream* os) {
    *os << '[' << l.join(QStringLiteral(", ")).toStdString() << ']';
}
QT_END_NAMESPACE

namespace ombrel::test {

class LibraryTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Writes `bytes` to `relative` below the library folder and sets its modification time.
    QString makeFile(const QString& relative, const QDateTime& modified, const QByteArray& bytes = "x");
    QString libraryPath(const QString& relative = QString()) const;

    QTemporaryDir dir;
    FakePlatformHandles platform;
};

} // namespace ombrel::test
