#include "resources/Pictures.h"

namespace resources {

QPixmap toolPicture(ToolPicture) { return QPixmap(16, 16); }
QPixmap menuPicture(ToolPicture) { return QPixmap(16, 16); }
QPixmap programIconPixmap() { return QPixmap(32, 32); }
QIcon programIcon() { return QIcon(programIconPixmap()); }

} // namespace resources
