// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "app/Display.h"

#include "platform/UniqueFd.h"

#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The toolkit reads QT_QPA_PLATFORM as a list of platforms tried in turn, "name:options;...".
bool ListsOffscreen(std::string_view platforms) {
    while (!platforms.empty()) {
        const size_t semicolon = platforms.find(';');
        const std::string_view entry = platforms.substr(0, semicolon);
        if (EqualNoCase(entry.substr(0, entry.find(':')), "offscreen"))
            return true;
        if (semicolon == std::string_view::npos)
            break;
        platforms.remove_prefix(semicolon + 1);
    }
    return false;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// libxcb's connection calls, loaded at run time: the program does not need X to be installed.
struct XcbConnection;
using XcbConnect = XcbConnection* (*)(const char*, int*);
using XcbHasError = int (*)(XcbConnection*);
using XcbDisconnect = void (*)(XcbConnection*);

struct LibraryCloser {
    void operator()(void* handle) const { ::dlclose(handle); }
};

} // namespace

DisplayEnvironment DisplayEnvironment::FromProcess(int argc, char** argv) {
    DisplayEnvironment env;
    env.platform = Env("QT_QPA_PLATFORM");
    env.display = Env("DISPLAY");
    env.waylandDisplay = Env("WAYLAND_DISPLAY");
    env.runtimeDir = Env("XDG_RUNTIME_DIR");
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-platform" || arg == "--platform")
            env.platformArgument = true;
    }
    return env;
}

bool CanOpenXDisplay(const std::string& display) {
    if (display.empty())
        return false;
    const std::unique_ptr<void, LibraryCloser> xcb(::dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL));
    if (!xcb)
        return false;
    const auto connect = reinterpret_cast<XcbConnect>(::dlsym(xcb.get(), "xcb_connect"));
    const auto hasError = reinterpret_cast<XcbHasError>(::dlsym(xcb.get(), "xcb_connection_has_error"));
    const auto disconnect = reinterpret_cast<XcbDisconnect>(::dlsym(xcb.get(), "xcb_disconnect"));
    if (!connect || !hasError || !disconnect)
        return false;
    // xcb_connect hands back a connection object even when it failed; it must be freed.
    XcbConnection* connection = connect(display.c_str(), nullptr);
    if (!connection)
        return false;
    const bool ok = hasError(connection) == 0;
    disconnect(connection);
    return ok;
}

bool CanOpenWaylandDisplay(const std::string& name, const std::string& runtimeDir) {
    if (name.empty())
        return false;
    std::string path;
    if (name.front() == '/')
        path = name;
    else if (!runtimeDir.empty())
        path = runtimeDir + "/" + name;
    else
        return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    return fd && ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address),
                           sizeof address) == 0;
}

DisplayChoice ChooseDisplay(bool unattended, const DisplayEnvironment& env,
                            const DisplayProbes& probes) {
    DisplayChoice choice;
    if (env.platformArgument)
        return choice; // the toolkit's own argument wins over anything set here
    if (!env.platform.empty()) {
        if (unattended && !ListsOffscreen(env.platform))
            choice.platform = env.platform + ";offscreen";
        return choice;
    }

    const bool x = !env.display.empty() && probes.x && probes.x(env.display);
    const bool wayland = !x && !env.waylandDisplay.empty() && probes.wayland &&
                         probes.wayland(env.waylandDisplay, env.runtimeDir);
    if (unattended) {
        // Should the display go away in between, the toolkit still falls back to no window.
        choice.platform = x ? "xcb;offscreen" : wayland ? "wayland;offscreen" : "offscreen";
        return choice;
    }
    if (x)
        return choice; // the toolkit picks X or Wayland as it would anyway
    if (wayland) {
        choice.platform = "wayland"; // without X it would try X first and abort
        return choice;
    }
    choice.canRun = false;
    if (env.display.empty() && env.waylandDisplay.empty()) {
        choice.reason = "none is set (DISPLAY and WAYLAND_DISPLAY are empty)";
    } else {
        std::string failed;
        if (!env.display.empty())
            failed = "the display " + Quoted(env.display);
        if (!env.waylandDisplay.empty())
            failed += (failed.empty() ? "the Wayland display " : " and the Wayland display ") +
                      Quoted(env.waylandDisplay);
        choice.reason = failed + " cannot be opened";
    }
    return choice;
}

std::string NoDisplayMessage(const std::string& reason) {
    return "fernwick: the cleaning wizard needs a display, and " + reason +
           ".\n"
           "Without a display, list what a cleaning would take:\n"
           "  fernwick --preview /p\"PROFILE NAMES\" /dLETTERS\n"
           "or run a cleaning unattended, with its log as the report:\n"
           "  fernwick /r /p\"PROFILE NAMES\" /dLETTERS /xMETHOD /m\"DESTINATION\"\n"
           "See fernwick --help for the switches.\n";
}
