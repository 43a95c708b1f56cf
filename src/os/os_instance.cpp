#include "os_instance.h"

#include "os_window.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr char kRaise[] = "raise";

int listener = -1;

// An abstract socket: the kernel frees the name when its holder ends, so
// a copy that crashed never locks the next one out.
sockaddr_un address_of(const char *name, socklen_t *length) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::string path = std::string("pinwheel-golf-") + (name ? name : "");
    size_t size = std::min(path.size(), sizeof address.sun_path - 2);
    memcpy(address.sun_path + 1, path.data(), size); // sun_path[0] = 0: abstract
    *length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + size);
    return address;
}

void ask_first_copy(const sockaddr_un &address, socklen_t length) {
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return;
    }
    if (connect(fd, reinterpret_cast<const sockaddr *>(&address), length) == 0) {
        ssize_t sent = send(fd, kRaise, sizeof kRaise - 1, MSG_NOSIGNAL);
        (void)sent; // the first copy may be on its way out: nothing more to do
    }
    close(fd);
}

} // namespace

bool os_instance_claim(const char *name) {
    if (listener >= 0) {
        return true;
    }
    socklen_t length;
    sockaddr_un address = address_of(name, &length);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return true; // no way to tell: better two copies than none
    }
    if (bind(fd, reinterpret_cast<const sockaddr *>(&address), length) != 0) {
        close(fd);
        ask_first_copy(address, length);
        return false;
    }
    listen(fd, 4);
    listener = fd;
    return true;
}

void os_instance_serve() {
    if (listener < 0) {
        return;
    }
    for (int fd; (fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK)) >= 0;) {
        char request[16] = {};
        // The request was sent before the connection shows up here; a
        // second copy that sent nothing asks for nothing.
        ssize_t got = recv(fd, request, sizeof request - 1, 0);
        if (got > 0 && strncmp(request, kRaise, sizeof kRaise - 1) == 0) {
            os_window_raise(os_window_first());
        }
        close(fd);
    }
}
