#include "TimeText.h"

#include <algorithm>
#include <cmath>

namespace ombrel {

QString formatTime(double seconds) {
    const long long s = std::max(0LL, std::isfinite(seconds) ? (long long)std::trunc(seconds) : 0LL);
    if (s < 3600) return QString::asprintf("%02lld:%02lld", s / 60, s % 60);
    return QString::asprintf("%lld:%02lld:%02lld", s / 3600, (s / 60) % 60, s % 60);
}

} // namespace ombrel
