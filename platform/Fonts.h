#pragma once

#include <QFont>
#include <QString>

namespace platform {

/** The face the program's windows and chart were laid out with; Linux never has it. */
inline constexpr char kDefaultFaceName[] = "MS Sans Serif";

/**
 * A font asked for by face name. For the default face a condensed sans-serif stands in, whose
 * narrow letters fit the fixed caption and label sizes; for any other missing face the font
 * system substitutes as usual.
 */
QFont fontForFace(const QString& name);

/** The windows' own font, the default face (or its stand-in), @p pixelSize pixels high. */
QFont windowFont(int pixelSize);

} // namespace platform
