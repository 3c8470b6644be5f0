#include "logger/PortList.h"

#include <QStringList>

namespace logger {

namespace {

QString field(QString text)
{
    if (text.isEmpty())
        return QStringLiteral("-");
    // A serial number is the device's own text: it must not split the line or the fields.
    for (QChar& c : text) {
        if (c == u'\t' || c == u'\n' || c == u'\r')
            c = u' ';
    }
    return text;
}

QString stateText(platform::PortState state)
{
    switch (state) {
    case platform::PortState::Free:
        return QStringLiteral("free");
    case platform::PortState::Busy:
        return QStringLiteral("busy");
    case platform::PortState::NotPermitted:
        return QStringLiteral("not permitted");
    }
    return QStringLiteral("unknown");
}

} // namespace

QString portListing(const std::vector<platform::PortInfo>& ports)
{
    QString text;
    for (const platform::PortInfo& port : ports) {
        const QString ids = port.vendorId.isEmpty() && port.productId.isEmpty()
            ? QString()
            : port.vendorId + u':' + port.productId;
        const QStringList fields { field(port.name), field(port.devicePath), field(port.byIdPath),
            field(ids), field(port.serialNumber), stateText(port.state) };
        text += fields.join(u'\t') + u'\n';
    }
    return text;
}

} // namespace logger
