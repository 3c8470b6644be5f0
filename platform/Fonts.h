#pragma once

#include <QFont>
#include <QString>

namespace platform {

/** The face the program's windows and chart were laid out with; Linux never has it. */
inline constexpr char kDefaultFaceName[] = "MS Sans Serif";

/** The name the font lists offer for the default face; it stands for it in any letter case. */
inline constexpr char kDefaultFaceAlias[] = "Default";

/** Whether @p name is "Default" in any letter case. */
bool isDefaultFaceAlias(const QString& name);

/** The face @p name asks for: the default face for "Default" in any letter case, else @p name. */
QString faceForName(const QString& name);

/**
 * A font asked for by face name ("Default" in any letter case is the default face). For the
 * default face a condensed sans-serif stands in, whose
 * narrow letters fit the fixed caption and label sizes; for any other missing face the font
 * system substitutes as usual.
 */
QFont fontForFace(const QString& name);

/** The windows' own font, the default face (or its stand-in), @p pixelSize pixels high. */
QFont windowFont(int pixelSize);

} // namespace platform
