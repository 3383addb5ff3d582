#pragma once
// Scales a fractional part of a picture up to a full picture with bilinear filtering, so that
// a camera gliding by less than a pixel per frame moves the picture smoothly instead of in
// whole-pixel steps.

#include <QRectF>
#include <cstdint>

extern "C" {
struct AVFrame;
}

namespace ombrel::DemoZoom {

// One 8-bit plane: `width` × `height` samples, rows `stride` bytes apart.
struct Plane {
    uint8_t* data = nullptr;
    int stride = 0;
    int width = 0;
    int height = 0;
};

// Fills `to` with the part `from` of `source`, in sample units with the origin at the top left
// (fractional edges allowed), stretched to the whole of `to`. Every output sample takes the
// source at its own centre, mixing the four nearest source samples; beyond the source's
// edges the edge samples continue.
void resamplePlane(const Plane& source, QRectF from, const Plane& to);

// The same for a YUV 4:2:0 picture: `from` is in luma pixels; the half-size colour planes
// take the same part at half the coordinates. `to` must have the source's format.
void resamplePicture(const AVFrame* source, QRectF from, AVFrame* to);

} // namespace ombrel::DemoZoom
