#pragma once
// The general clipboard.

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QUrl>

namespace ombrel {

class Pasteboard {
  public:
    virtual ~Pasteboard() = default;

    // Clears the clipboard and offers `png` as image/png (and as an image for programs
    // that ask for other formats). Stays available while this program runs.
    virtual void putPng(const QByteArray& png) = 0;

    // Clears the clipboard and offers the files as text/uri-list and the file-manager
    // copy format. False when no file was given.
    virtual bool putFiles(const QList<QUrl>& files) = 0;

    // The picture on the clipboard, from image data or from a single copied image file;
    // a null image when there is none.
    virtual QImage image() = 0;

    // The raw PNG bytes last offered, for tests and diagnostics; empty when the
    // clipboard holds something else.
    virtual QByteArray png() = 0;

    // The file URLs on the clipboard, if any.
    virtual QList<QUrl> files() = 0;
};

} // namespace ombrel
