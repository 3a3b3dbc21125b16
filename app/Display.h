// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include <functional>
#include <string>

// Whether the program can show its windows, decided before the toolkit starts: the toolkit
// aborts when the display it was given cannot be opened, and runs invisibly when it is told
// to do without one.

// What the environment says about displays.
struct DisplayEnvironment {
    std::string platform;       // QT_QPA_PLATFORM: the user's own choice of the toolkit's platform
    bool platformArgument = false; // "-platform" on the command line, which the toolkit reads
    std::string display;        // DISPLAY (X11)
    std::string waylandDisplay; // WAYLAND_DISPLAY
    std::string runtimeDir;     // XDG_RUNTIME_DIR, where a relative Wayland display lives

    static DisplayEnvironment FromProcess(int argc, char** argv);
};

// True when an X server accepts a connection to display (with its authorisation) - the
// same connection the toolkit makes. False when libxcb is not there to ask.
bool CanOpenXDisplay(const std::string& display);
// True when a Wayland compositor listens on name (an absolute socket path, or a name in
// runtimeDir).
bool CanOpenWaylandDisplay(const std::string& name, const std::string& runtimeDir);

struct DisplayProbes {
    std::function<bool(const std::string& display)> x = CanOpenXDisplay;
    std::function<bool(const std::string& name, const std::string& runtimeDir)> wayland =
        CanOpenWaylandDisplay;
};

struct DisplayChoice {
    // False: there is no display to show the wizard on; NoDisplayMessage(reason) says so.
    bool canRun = true;
    std::string reason;
    // What QT_QPA_PLATFORM is to be set to before the toolkit starts; empty leaves it alone.
    std::string platform;
};

// The wizard needs a display it can open. The unattended run works with whatever it has and
// falls back to no window at all (offscreen), also when the display it was given goes away
// before the toolkit opens it. A platform the user chose is kept; the unattended run only
// adds the offscreen fallback to it.
DisplayChoice ChooseDisplay(bool unattended, const DisplayEnvironment& env,
                            const DisplayProbes& probes = {});

// What "fernwick" prints when it cannot show its wizard: why, and what works without a display.
std::string NoDisplayMessage(const std::string& reason);
