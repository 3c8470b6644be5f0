// list-ports-as: prints the port inventory of three folders, "NAME STATE" a line, for tests that
// must see it as another user does: given a user id, it takes that identity before looking.
//
// Usage: list-ports-as ID DEVICE-FOLDER BY-ID-FOLDER SYS-CLASS-TTY
// ID is taken as user and group id (65534: nobody and nogroup); -1 keeps the identity it has.

#include "platform/PortInventory.h"

#include <QString>

#include <cstdio>
#include <cstdlib>
#include <grp.h>
#include <unistd.h>

namespace {

const char* stateText(platform::PortState state)
{
    switch (state) {
    case platform::PortState::Free:
        return "free";
    case platform::PortState::Busy:
        return "busy";
    case platform::PortState::NotPermitted:
        return "not permitted";
    }
    return "?";
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "Usage: list-ports-as ID DEVICE-FOLDER BY-ID-FOLDER SYS-CLASS-TTY\n");
        return 2;
    }
    const long uid = std::strtol(argv[1], nullptr, 10);
    if (uid >= 0) {
        const auto id = static_cast<uid_t>(uid);
        // The group first: once the user id is dropped, the group can no longer change.
        if (::setgroups(0, nullptr) != 0 || ::setgid(id) != 0 || ::setuid(id) != 0) {
            std::perror("list-ports-as: taking the user id");
            return 1;
        }
    }
    platform::PortInventoryRoots roots;
    roots.deviceFolder = QString::fromLocal8Bit(argv[2]);
    roots.byIdFolder = QString::fromLocal8Bit(argv[3]);
    roots.sysClassTty = QString::fromLocal8Bit(argv[4]);
    for (const platform::PortInfo& port : platform::listPorts(roots))
        std::printf("%s %s\n", port.name.toLocal8Bit().constData(), stateText(port.state));
    return 0;
}
