#pragma once

#include "platform/PortInventory.h"

#include <QString>

#include <vector>

namespace logger {

/**
 * What --list-ports prints: one port a line, its name, device, by-id link, USB vendor and
 * product id, USB serial number and state, separated by tabs; "-" stands for a field the port
 * lacks. Tabs and line breaks inside a field become blanks, so every port stays one line of six
 * fields. No ports: empty text.
 */
QString portListing(const std::vector<platform::PortInfo>& ports);

} // namespace logger
