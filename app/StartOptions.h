#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace app {

/**
 * What the window program prints instead of opening its window: the version and the licence for
 * --version (-v), the usage for --help (-h). @p arguments are the command line, the program's
 * name first. None: open the window as usual; that is also the answer to any command line that
 * is not plainly one of these (Qt's own options, such as -platform, go on to the application).
 * Needs no application object and no display.
 */
std::optional<QString> answerWithoutWindow(const QStringList& arguments);

} // namespace app
