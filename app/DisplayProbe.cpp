#include "app/DisplayProbe.h"

#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include <QDir>
#include <QLibraryInfo>
#include <QString>

namespace tlc {

namespace {

// Connects to the X server the way the xcb platform will; libxcb is loaded
// only for this, so the program does not link it.
bool XServerReachable(const QByteArray& display) {
    void* xcb = dlopen("libxcb.so.1", RTLD_LAZY | RTLD_LOCAL);
    if (!xcb) return false;
    using Connect = void* (*)(const char*, int*);
    using HasError = int (*)(void*);
    using Disconnect = void (*)(void*);
    auto connect = reinterpret_cast<Connect>(dlsym(xcb, "xcb_connect"));
    auto hasError = reinterpret_cast<HasError>(dlsym(xcb, "xcb_connection_has_error"));
    auto disconnect = reinterpret_cast<Disconnect>(dlsym(xcb, "xcb_disconnect"));
    bool reachable = false;
    if (connect && hasError && disconnect) {
        void* connection = connect(display.constData(), nullptr);
        reachable = connection && hasError(connection) == 0;
        // A failed connection is still an object to free.
        if (connection) disconnect(connection);
    }
    dlclose(xcb);
    return reachable;
}

// A compositor that accepts a connection on its socket.
bool WaylandReachable(const QByteArray& name) {
    QByteArray path = name;
    if (!path.startsWith('/')) {
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        if (runtime.isEmpty()) return false;
        path = runtime + '/' + name;
    }
    sockaddr_un address{};
    if (static_cast<std::size_t>(path.size()) >= sizeof(address.sun_path)) return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool reachable = ::connect(fd, reinterpret_cast<const sockaddr*>(&address),
                                     sizeof(address)) == 0;
    close(fd);
    return reachable;
}

// Without its platform plugin Qt cannot use a compositor it could reach.
bool WaylandPluginInstalled() {
    const QDir platforms(QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms"));
    return !platforms.entryList({QStringLiteral("libqwayland*.so")}, QDir::Files).isEmpty();
}

} // namespace

std::string DisplayProblem() {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM").split(';').first().split(':').first();
    const bool wantX = platform.isEmpty() || platform == "xcb";
    const bool wantWayland = platform.isEmpty() || platform.startsWith("wayland");
    // offscreen, vnc and the like are Qt's own business.
    if (!wantX && !wantWayland) return {};

    const QByteArray x = qgetenv("DISPLAY");
    const QByteArray wayland = qgetenv("WAYLAND_DISPLAY");
    if ((!wantX || x.isEmpty()) && (!wantWayland || wayland.isEmpty()))
        return "no display to show the windows on.";
    if (wantX && !x.isEmpty() && XServerReachable(x)) return {};
    if (wantWayland && !wayland.isEmpty() && WaylandReachable(wayland) && WaylandPluginInstalled())
        return {};
    const QByteArray named = (wantX && !x.isEmpty()) ? x : wayland;
    return "cannot open the display " + named.toStdString() + ".";
}

} // namespace tlc
