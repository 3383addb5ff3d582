// The signed manifest: a bundle verifies only with a trusted key, this program's names,
// and exactly the files that were signed.
#include "updates/Manifest.h"
#include "UpdateFixtures.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace ombrel;
using ombrel::test::makeBundle;
using ombrel::test::makeKeyPair;
using ombrel::test::writeFile;

namespace {
const QString team = QStringLiteral("7QK4M2X9TD");
const QString identifier = QStringLiteral("com.ombrel.capture");
} // namespace

class ManifestTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(makeKeyPair(path("maker.pem"), path("trusted/maker.pem")));
        ASSERT_TRUE(makeKeyPair(path("stranger.pem")));
        bundle = path("ombrel-capture");
        makeBundle(bundle, QStringLiteral("2.0"));
    }
    QString path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
    // Why the bundle fails its check, or "" when it passes.
    QString check(const QString& withIdentifier = identifier, const QString& withTeam = team) {
        const Outcome<Manifest> checked =
            Signing::checkBundle(bundle, path("trusted"), withIdentifier, withTeam);
        return checked ? QString() : checked.message();
    }

    QTemporaryDir dir;
    QString bundle;
};

TEST_F(ManifestTest, AnyChangeAfterSigningIsFound) {
    const QString desktop = bundle + QStringLiteral("/share/applications/com.ombrel.capture.desktop");
    const QString program = bundle + QStringLiteral("/bin/ombrel-capture");
    const QString link = bundle + QStringLiteral("/share/doc/desktop-entry");
    const struct {
        const char* what;
        std::function<void()> make;
        QString found;
    } changes[]{
        {"a changed file", [&] { writeFile(desktop, "[Desktop Entry]\nExec=evil\n"); },
         QStringLiteral("“share/applications/com.ombrel.capture.desktop” was changed")},
        {"an extra file", [&] { writeFile(bundle + QStringLiteral("/bin/helper"), "x"); },
         QStringLiteral("“bin/helper” isn't in the manifest")},
        {"a missing file", [&] { QFile::remove(desktop); },
         QStringLiteral("“share/applications/com.ombrel.capture.desktop” is missing")},
        {"a file made executable",
         [&] { QFile::setPermissions(desktop, QFile::permissions(desktop) | QFile::ExeOwner); },
         QStringLiteral("“share/applications/com.ombrel.capture.desktop” was changed")},
        {"a link pointing elsewhere",
         [&] { QFile::remove(link), QFile::link(QStringLiteral("../../bin"), link); },
         QStringLiteral("“share/doc/desktop-entry” was changed")},
        {"the program replaced by a link",
         [&] {
             QFile::rename(program, program + QStringLiteral("-real")),
                 QFile::link(QStringLiteral("ombrel-capture-real"), program);
         },
         QStringLiteral("“bin/ombrel-capture” was changed")},
    };
    for (const auto& c : changes) {
        QDir(bundle).removeRecursively();
        makeBundle(bundle, QStringLiteral("2.0"));
        ASSERT_TRUE(Signing::signBundle(bundle, path("maker.pem"), team));
        ASSERT_EQ(check(), QString()) << "before " << c.what;
        c.make();
        EXPECT_EQ(check(), c.found) << c.what;
    }
}

TEST_F(ManifestTest, OnlyATrustedKeyAndThisProgramsNamesPass) {
    ASSERT_TRUE(Signing::signBundle(bundle, path("stranger.pem"), team));
    EXPECT_EQ(check(), QStringLiteral("no trusted key signed the manifest"));

    ASSERT_TRUE(Signing::signBundle(bundle, path("maker.pem"), QStringLiteral("OTHERTEAM1")));
    EXPECT_EQ(check(), QStringLiteral("the manifest names the team “OTHERTEAM1”, not “7QK4M2X9TD”"));
    ASSERT_TRUE(Signing::signBundle(bundle, path("maker.pem"), team));
    EXPECT_EQ(check(identifier, QString()),
              QStringLiteral("the manifest names the team “7QK4M2X9TD”, not “”"));
    EXPECT_EQ(check(QStringLiteral("com.example.other")),
              QStringLiteral("the manifest names “com.ombrel.capture”, not “com.example.other”"));

    // The manifest edited by hand after signing: its signature no longer holds.
    const QString manifestPath = bundle + QStringLiteral("/share/ombrel-capture/manifest.json");
    QFile manifest(manifestPath);
    ASSERT_TRUE(manifest.open(QIODevice::ReadOnly));
    QByteArray json = manifest.readAll();
    manifest.close();
    writeFile(manifestPath, json.replace("\"2.0\"", "\"9.0\""));
    EXPECT_EQ(check(), QStringLiteral("no trusted key signed the manifest"));

    QFile::remove(bundle + QStringLiteral("/share/ombrel-capture/manifest.sig"));
    EXPECT_EQ(check(), QStringLiteral("no signed manifest"));
}
