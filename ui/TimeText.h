#pragma once
// Times shown to the user: "mm:ss" under an hour, else "h:mm:ss"; seconds are cut, not
// rounded, and negative or unknown times are "00:00".

#include <QString>

namespace ombrel {

QString formatTime(double seconds);

} // namespace ombrel
