#pragma once

#include <QFont>

namespace app {

/** The windows' own font, "MS Sans Serif" (or its stand-in), at @p pixelSize pixels. */
QFont windowFont(int pixelSize);

} // namespace app
