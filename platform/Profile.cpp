#include "platform/Profile.h"

namespace platform {

Profile::Profile(QString filePath)
    : m_filePath(std::move(filePath))
{
}

QString Profile::readString(QStringView, QStringView, QStringView defaultValue) const
{
    return defaultValue.toString();
}

bool Profile::writeString(QStringView, QStringView, QStringView) { return true; }

bool Profile::flush() const { return m_lastWriteOk; }

void Profile::loadIfNeeded() const { }

QStringList Profile::loadLines() const { return {}; }

} // namespace platform
