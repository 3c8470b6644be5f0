#include "runlog/LogFailure.h"

#include <QtGlobal>

namespace runlog {

LogFailure logFailure(const QString& path, int error)
{
    return { path, error, qt_error_string(error) };
}

} // namespace runlog
