#pragma once
// The general clipboard as the program fills it: one picture as PNG data, or several
// files and videos as file URLs.

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
