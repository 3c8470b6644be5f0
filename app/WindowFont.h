#pragma once

#include <QFont>

namespace app {

/**
 * The windows' "MS Sans Serif" at @p pixelSize pixels. Where that face is missing (on Linux it
 * always is) a condensed sans-serif stands in: the windows' fixed label and button sizes were
 * laid out for its narrow letters, and the plain wide substitute cuts captions off.
 */
QFont windowFont(int pixelSize);

} // namespace app
