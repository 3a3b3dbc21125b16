// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// Whether the program can show its windows, decided before Qt starts.
#include "app/Display.h"
#include "platform/UniqueFd.h"
#include "support/TempDir.h"
#include "support/Xvfb.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>

#include <cstring>
#include <vector>

namespace {

// Probes that answer as told and record what they were asked.
struct FakeProbes {
    bool xAnswer = false;
    bool waylandAnswer = false;
    std::vector<std::string> asked;

    DisplayProbes Make() {
        DisplayProbes p;
        p.x = [this](const std::string& display) {
            asked.push_back("x " + display);
            return xAnswer;
        };
        p.wayland = [this](const std::string& name, const std::string& dir) {
            asked.push_back("wayland " + dir + "/" + name);
            return waylandAnswer;
        };
        return p;
    }
};

DisplayEnvironment Env(std::string display, std::string wayland = {}, std::string platform = {}) {
    DisplayEnvironment env;
    env.display = std::move(display);
    env.waylandDisplay = std::move(wayland);
    env.platform = std::move(platform);
    env.runtimeDir = "/run/user/1000";
    return env;
}

// A Unix socket listening at path, standing in for a compositor.
UniqueFd Listen(const std::string& path) {
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    if (!fd || ::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd.get(), 4) != 0)
        return UniqueFd();
    return fd;
}

} // namespace

TEST(ChooseDisplay, TheWizardNeedsADisplayItCanOpen) {
    FakeProbes probes;
    // Nothing set at all: nothing to ask either.
    DisplayChoice c = ChooseDisplay(false, Env(""), probes.Make());
    EXPECT_FALSE(c.canRun);
    EXPECT_NE(c.reason.find("DISPLAY and WAYLAND_DISPLAY are empty"), std::string::npos);
    EXPECT_TRUE(probes.asked.empty());

    // A display that cannot be opened is named.
    c = ChooseDisplay(false, Env(":99"), probes.Make());
    EXPECT_FALSE(c.canRun);
    EXPECT_EQ(c.reason, "the display \":99\" cannot be opened");
    c = ChooseDisplay(false, Env(":99", "wayland-0"), probes.Make());
    EXPECT_FALSE(c.canRun);
    EXPECT_EQ(c.reason,
              "the display \":99\" and the Wayland display \"wayland-0\" cannot be opened");
    EXPECT_EQ(probes.asked.back(), "wayland /run/user/1000/wayland-0");

    // An X display that opens: Qt chooses as it always does.
    probes.xAnswer = true;
    probes.asked.clear();
    c = ChooseDisplay(false, Env(":0", "wayland-0"), probes.Make());
    EXPECT_TRUE(c.canRun);
    EXPECT_EQ(c.platform, "");
    EXPECT_EQ(probes.asked, std::vector<std::string>{"x :0"});

    // Wayland alone: Qt must not try X first.
    probes.xAnswer = false;
    probes.waylandAnswer = true;
    c = ChooseDisplay(false, Env("", "wayland-0"), probes.Make());
    EXPECT_TRUE(c.canRun);
    EXPECT_EQ(c.platform, "wayland");

    // A platform the user chose is the user's business, also an invisible one.
    probes.asked.clear();
    c = ChooseDisplay(false, Env("", "", "offscreen"), probes.Make());
    EXPECT_TRUE(c.canRun);
    EXPECT_EQ(c.platform, "");
    DisplayEnvironment argument = Env(":99");
    argument.platformArgument = true;
    EXPECT_TRUE(ChooseDisplay(false, argument, probes.Make()).canRun);
    EXPECT_TRUE(probes.asked.empty());
}

TEST(ChooseDisplay, TheUnattendedRunAlwaysRunsAndFallsBackToNoWindow) {
    FakeProbes probes;
    struct Case {
        DisplayEnvironment env;
        bool x, wayland;
        const char* platform;
    };
    const Case cases[] = {
        {Env(""), false, false, "offscreen"},                   // cron
        {Env(":99"), false, false, "offscreen"},                // a stale display
        {Env(":0"), true, false, "xcb;offscreen"},              // gone by the time Qt opens it
        {Env("", "wayland-0"), false, true, "wayland;offscreen"},
        {Env(":99", "wayland-0"), false, false, "offscreen"},
        {Env(":99", "", "xcb"), false, false, "xcb;offscreen"}, // the user's choice, kept
        {Env("", "", "wayland;xcb"), false, false, "wayland;xcb;offscreen"},
        {Env("", "", "offscreen"), false, false, ""},
        {Env("", "", "xcb;Offscreen:fontengine=freetype"), false, false, ""},
        {Env("", "", "offscreenish"), false, false, "offscreenish;offscreen"},
    };
    for (const Case& k : cases) {
        probes.xAnswer = k.x;
        probes.waylandAnswer = k.wayland;
        const DisplayChoice c = ChooseDisplay(true, k.env, probes.Make());
        EXPECT_TRUE(c.canRun) << k.env.display;
        EXPECT_EQ(c.platform, k.platform) << k.env.display << " " << k.env.platform;
    }
}

TEST(ChooseDisplay, TheMessageSaysWhatWorksWithoutADisplay) {
    const std::string text = NoDisplayMessage("none is set");
    EXPECT_EQ(text.rfind("fernwick: the cleaning wizard needs a display, and none is set.\n", 0), 0u)
        << text;
    for (const char* what : {"--preview /p", "fernwick /r /p", "/d", "/x", "/m", "--help"})
        EXPECT_NE(text.find(what), std::string::npos) << what;
    EXPECT_EQ(text.back(), '\n');
}

TEST(DisplayProbes, WaylandSocketIsFoundByNameOrPath) {
    TempDir tmp;
    const std::string path = (tmp.path() / "wayland-7").string();
    EXPECT_FALSE(CanOpenWaylandDisplay("wayland-7", tmp.path().string()));
    UniqueFd listening = Listen(path);
    ASSERT_TRUE(listening);
    EXPECT_TRUE(CanOpenWaylandDisplay("wayland-7", tmp.path().string()));
    EXPECT_TRUE(CanOpenWaylandDisplay(path, ""));
    EXPECT_FALSE(CanOpenWaylandDisplay("wayland-7", ""));       // relative, with no folder
    EXPECT_FALSE(CanOpenWaylandDisplay("wayland-8", tmp.path().string()));
    EXPECT_FALSE(CanOpenWaylandDisplay("", tmp.path().string()));
    EXPECT_FALSE(CanOpenWaylandDisplay(std::string(200, 'w'), tmp.path().string()));
    // A plain file of that name is no compositor.
    WriteTextFile(tmp.path() / "wayland-9", "");
    EXPECT_FALSE(CanOpenWaylandDisplay("wayland-9", tmp.path().string()));
    listening.reset();
    EXPECT_FALSE(CanOpenWaylandDisplay(path, "")); // the socket file stays; nobody listens
}

TEST(DisplayProbes, XDisplayOpensOnlyWhereAServerListens) {
    const std::string dead = DeadXDisplay();
    ASSERT_FALSE(dead.empty());
    EXPECT_FALSE(CanOpenXDisplay(dead));
    EXPECT_FALSE(CanOpenXDisplay(""));
    EXPECT_FALSE(CanOpenXDisplay("not a display"));

    ScopedXvfb server;
    if (server.Display().empty())
        GTEST_SKIP() << "Xvfb is not installed";
    EXPECT_TRUE(CanOpenXDisplay(server.Display()));
    EXPECT_TRUE(CanOpenXDisplay(server.Display() + ".0"));
    server.Stop();
    EXPECT_FALSE(CanOpenXDisplay(server.Display()));
}
