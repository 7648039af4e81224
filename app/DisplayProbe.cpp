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

using XcbDisconnect = void (*)(void*);

// Connects to the X server the way the xcb platform will; libxcb is loaded
// only for this, so the program does not link it. The connection stays open
// in `connection` (when not null) until Release.
bool XServerReachable(const QByteArray& display, void*& library, void*& connection) {
    library = dlopen("libxcb.so.1", RTLD_LAZY | RTLD_LOCAL);
    if (!library) return false;
    using Connect = void* (*)(const char*, int*);
    using HasError = int (*)(void*);
    auto connect = reinterpret_cast<Connect>(dlsym(library, "xcb_connect"));
    auto hasError = reinterpret_cast<HasError>(dlsym(library, "xcb_connection_has_error"));
    if (!connect || !hasError || !dlsym(library, "xcb_disconnect")) return false;
    // A failed connection is still an object to free.
    connection = connect(display.constData(), nullptr);
    return connection && hasError(connection) == 0;
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

TDisplayProbe::TDisplayProbe() {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM").split(';').first().split(':').first();
    const bool wantX = platform.isEmpty() || platform == "xcb";
    const bool wantWayland = platform.isEmpty() || platform.startsWith("wayland");
    // offscreen, vnc and the like are Qt's own business.
    if (!wantX && !wantWayland) return;

    const QByteArray x = qgetenv("DISPLAY");
    const QByteArray wayland = qgetenv("WAYLAND_DISPLAY");
    if ((!wantX || x.isEmpty()) && (!wantWayland || wayland.isEmpty())) {
        problem_ = "no display to show the windows on.";
        return;
    }
    if (wantX && !x.isEmpty() && XServerReachable(x, library_, connection_)) return;
    if (wantWayland && !wayland.isEmpty() && WaylandReachable(wayland) && WaylandPluginInstalled())
        return;
    const QByteArray named = (wantX && !x.isEmpty()) ? x : wayland;
    problem_ = "cannot open the display " + named.toStdString() + ".";
}

TDisplayProbe::~TDisplayProbe() {
    Release();
}

void TDisplayProbe::Release() {
    if (connection_)
        reinterpret_cast<XcbDisconnect>(dlsym(library_, "xcb_disconnect"))(connection_);
    connection_ = nullptr;
    if (library_) dlclose(library_);
    library_ = nullptr;
}

} // namespace tlc
