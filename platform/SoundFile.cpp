#include "SoundFile.h"

#include <QFile>
#include <QSaveFile>
#include <QtEndian>
#include <algorithm>

namespace ombrel::SoundFile {

Outcome<Mono> read(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Outcome<Mono>::fail(Failure::Permanent,
                                   QStringLiteral("Couldn't read the sound: ") + file.errorString());
    const QByteArray bytes = file.readAll();
    const auto bad = [] {
        return Outcome<Mono>::fail(Failure::Permanent,
                                   QStringLiteral("The sound is not a 16-bit mono WAV file."));
    };
    if (bytes.size() < 12 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WAVE") return bad();
    const char* data = bytes.constData();
    qsizetype at = 12;
    std::optional<int> rate;
    while (at + 8 <= bytes.size()) {
        const QByteArray id = bytes.mid(at, 4);
        const quint32 size = qFromLittleEndian<quint32>(data + at + 4);
        const qsizetype body = at + 8;
        if (id == "fmt " && size >= 16 && body + 16 <= bytes.size()) {
            const quint16 format = qFromLittleEndian<quint16>(data + body);
            const quint16 channels = qFromLittleEndian<quint16>(data + body + 2);
            const quint32 samplesPerSecond = qFromLittleEndian<quint32>(data + body + 4);
            const quint16 bits = qFromLittleEndian<quint16>(data + body + 14);
            if (format != 1 || channels != 1 || bits != 16 || samplesPerSecond == 0) return bad();
            rate = int(samplesPerSecond);
        } else if (id == "data") {
            if (!rate) return bad();
            const qsizetype n = std::min<qsizetype>(size, bytes.size() - body) / 2;
            Mono sound;
            sound.rate = *rate;
            sound.samples.resize(size_t(n));
            for (qsizetype i = 0; i < n; ++i)
                sound.samples[size_t(i)] = qFromLittleEndian<qint16>(data + body + 2 * i);
            return Outcome<Mono>::ok(std::move(sound));
        }
        at = body + qsizetype(size) + qsizetype(size & 1);
    }
    return bad();
}

Outcome<bool> write(const QString& path, const qint16* samples, size_t count, int rate) {
    QByteArray bytes;
    const quint32 dataSize = quint32(count * 2);
    bytes.reserve(44 + qsizetype(dataSize));
    const auto u32 = [&](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        bytes.append(b, 4);
    };
    const auto u16 = [&](quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        bytes.append(b, 2);
    };
    bytes.append("RIFF");
    u32(36 + dataSize);
    bytes.append("WAVEfmt ");
    u32(16);
    u16(1); // PCM
    u16(1); // mono
    u32(quint32(rate));
    u32(quint32(rate) * 2);
    u16(2);
    u16(16);
    bytes.append("data");
    u32(dataSize);
    for (size_t i = 0; i < count; ++i)
        u16(quint16(samples[i]));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return Outcome<bool>::fail(Failure::Permanent,
                                   QStringLiteral("Couldn't write the sound: ") + file.errorString());
    return Outcome<bool>::ok(true);
}

} // namespace ombrel::SoundFile
