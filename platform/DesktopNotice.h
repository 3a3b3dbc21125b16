// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include <chrono>
#include <string>

// A desktop notification, sent to the notification server of the user's desktop session
// (org.freedesktop.Notifications on the session bus). Used by runs nobody watches: they say
// what they did and go; nothing waits for a click.
struct DesktopNotice {
    std::string appName;      // "Fernwick"
    std::string desktopEntry; // the desktop file's name without ".desktop"; also the icon's
    std::string summary;      // one line
    std::string body;         // plain text; escaped for servers that read markup
};

// The session bus socket of the user's desktop session: $XDG_RUNTIME_DIR/bus, or, where the
// variable is not an absolute path (cron gives none), /run/user/<uid>/bus.
std::string SessionBusSocket(const char* runtimeDir, unsigned uid);

enum class NoticeDelivery {
    Sent,         // the server took it
    NoSession,    // no session bus of this user's: nothing was tried
    NotDelivered, // no server answered, it refused, or the time ran out
};

// Sends notice through the bus at socketPath, if that is a socket of this user's, giving up
// after limit. Never an error for the caller: a desktop without a notification server is
// normal.
NoticeDelivery SendDesktopNotice(const DesktopNotice& notice, const std::string& socketPath,
                                 std::chrono::milliseconds limit = std::chrono::seconds(1));

// As above, through this process's session (SessionBusSocket of its environment).
NoticeDelivery SendDesktopNotice(const DesktopNotice& notice);
