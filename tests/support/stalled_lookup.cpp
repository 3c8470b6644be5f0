// Preloaded (LD_PRELOAD) into a test and the programs it starts: a look-up of a host name ending
// in ".stalled" hangs, as with a DNS server that does not answer. With VT_LOOKUP_GATE naming a
// FIFO it lasts until a writer opens the FIFO and then finds "localhost"; without, it never
// returns. Any other name is looked up as usual.
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <string_view>
#include <unistd.h>

// The C library names its parameters with reserved names.
// NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name)
extern "C" int getaddrinfo(
    const char* node, const char* service, const addrinfo* hints, addrinfo** result)
{
    using Lookup = int (*)(const char*, const char*, const addrinfo*, addrinfo**);
    static const Lookup real = [] {
        Lookup next = nullptr;
        void* symbol = dlsym(RTLD_NEXT, "getaddrinfo");
        std::memcpy(&next, &symbol, sizeof next);
        return next;
    }();
    if (node == nullptr || !std::string_view(node).ends_with(".stalled"))
        return real(node, service, hints, result);
    const char* gate = std::getenv("VT_LOOKUP_GATE");
    const int fd = gate != nullptr ? open(gate, O_RDONLY | O_CLOEXEC) : -1;
    if (fd < 0) {
        for (;;)
            poll(nullptr, 0, -1);
    }
    close(fd);
    return real("localhost", service, hints, result);
}
