#pragma once

#include <QIcon>
#include <QPixmap>

namespace resources {

/** The five tool-bar pictures, in the order of the image list. */
enum class ToolPicture {
    SetLimits = 0, ///< a white document sheet with a grey cable curling round it
    Start = 1, ///< a green check mark
    Stop = 2, ///< a red cross
    Parameters = 3, ///< a small red square, a yellow star and a blue triangle
    About = 4, ///< a red question mark on a yellow disc
};

inline constexpr int kToolPictureCount = 5;

/** A 16 x 16 tool-bar picture with its transparency mask; null for a value outside the enum. */
QPixmap toolPicture(ToolPicture picture);

/**
 * The 16 x 16 menu picture of the same command, drawn on magenta (0xFF00FF) that is made
 * transparent. Only SetLimits, Start, Stop and About have one; Parameters gives a null pixmap.
 */
QPixmap menuPicture(ToolPicture picture);

/** The program's 32 x 32, 16-colour icon, used for the windows and the about dialog. */
QPixmap programIconPixmap();
QIcon programIcon();

/** The 9 x 6 arrows of the number fields' up/down pair: a black triangle on a clear ground. */
QPixmap spinUpPicture();
QPixmap spinDownPicture();

} // namespace resources
