#include "DesktopEntries.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTextStream>

namespace ombrel {

namespace {

struct Parsed {
    DesktopEntry entry;
    QString wmClass;
    bool hidden = false;
};

// The keys of the [Desktop Entry] group that matter here (unlocalised values).
Parsed parse(const QString& path) {
    Parsed p;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        p.hidden = true;
        return p;
    }
    QTextStream in(&file);
    bool inMain = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inMain = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inMain) continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0) continue;
        const QString key = line.left(eq).trimmed(), value = line.mid(eq + 1).trimmed();
        if (key == QLatin1String("Name"))
            p.entry.name = value;
        else if (key == QLatin1String("Icon"))
            p.entry.icon = value;
        else if (key == QLatin1String("StartupWMClass"))
            p.wmClass = value;
        else if (key == QLatin1String("Hidden") && value == QLatin1String("true"))
            p.hidden = true;
    }
    return p;
}

} // namespace

DesktopEntries::DesktopEntries(const QStringList& dataDirs) {
    for (const QString& dataDir : dataDirs) {
        const QDir dir(dataDir + QStringLiteral("/applications"));
        for (const QString& fileName : dir.entryList({QStringLiteral("*.desktop")}, QDir::Files)) {
            const Parsed p = parse(dir.filePath(fileName));
            if (p.hidden || p.entry.name.isEmpty()) continue;
            DesktopEntry e = p.entry;
            e.id = fileName.chopped(8);
            const QString id = e.id.toLower();
            for (const QString& key : {id, p.wmClass.toLower(), id.section(QLatin1Char('.'), -1)})
                if (!key.isEmpty() && !m_byKey.contains(key)) m_byKey.insert(key, e);
        }
    }
}

const DesktopEntries& DesktopEntries::installed() {
    static const DesktopEntries entries(
        QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation));
    return entries;
}

const DesktopEntry* DesktopEntries::find(const QString& identifier) const {
    if (identifier.isEmpty()) return nullptr;
    QString key = identifier.toLower();
    if (key.endsWith(QLatin1String(".desktop"))) key.chop(8);
    if (auto it = m_byKey.constFind(key); it != m_byKey.constEnd()) return &*it;
    if (auto it = m_byKey.constFind(key.section(QLatin1Char('.'), -1)); it != m_byKey.constEnd()) return &*it;
    return nullptr;
}

} // namespace ombrel
