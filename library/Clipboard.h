#pragma once
// Puts finished pictures on the clipboard: one picture as PNG data, several files (or a
// video) as file URLs.

#include <QByteArray>
#include <QStringList>

namespace ombrel {

class Clipboard {
public:
    // Clears the clipboard and puts the bytes there as PNG data.
    static void put(const QByteArray& png);
    // One picture file (not a video) whose bytes can be read goes on as PNG data;
    // otherwise the files go on as file URLs. Answers whether that worked.
    static bool put(const QStringList& files);
};

} // namespace ombrel
