// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

// A session bus of the test's own, and a stand-in for the desktop's notification server on
// it that records what it is sent. Nothing here touches the user's real session.

#include <gio/gio.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

// dbus-daemon listening on <folder>/bus, with no services to start on demand (a desktop's
// real notification daemon must never be started by a test).
class PrivateSessionBus {
public:
    explicit PrivateSessionBus(const std::filesystem::path& folder)
        : m_socket((folder / "bus").string()) {
        const std::filesystem::path config = folder / "bus.conf";
        std::ofstream(config) << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus "
                                 "Configuration 1.0//EN\" "
                                 "\"http://www.freedesktop.org/standards/dbus/1.0/"
                                 "busconfig.dtd\">\n<busconfig><type>session</type>"
                                 "<listen>unix:path="
                              << m_socket
                              << "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                                 "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                                 "<allow eavesdrop=\"true\"/><allow own=\"*\"/>"
                                 "</policy></busconfig>\n";
        int ready[2];
        if (::pipe2(ready, O_CLOEXEC) != 0)
            return;
        // The address is printed once the socket listens.
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ready[1], 3);
        // Its complaints (no fd limit to raise as a user) go beside the socket.
        const std::string logPath = (folder / "bus.log").string();
        posix_spawn_file_actions_addopen(&actions, 2, logPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const std::string configArg = "--config-file=" + config.string();
        char* argv[] = {const_cast<char*>("dbus-daemon"), const_cast<char*>(configArg.c_str()),
                        const_cast<char*>("--nofork"), const_cast<char*>("--print-address=3"),
                        nullptr};
        if (::posix_spawnp(&m_pid, "dbus-daemon", &actions, nullptr, argv, environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(ready[1]);
        char c = 0;
        m_ready = m_pid > 0 && ::read(ready[0], &c, 1) == 1;
        ::close(ready[0]);
    }
    ~PrivateSessionBus() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    bool Ready() const { return m_ready; }
    const std::string& Socket() const { return m_socket; }
    std::string Address() const { return "unix:path=" + m_socket; }

private:
    std::string m_socket;
    pid_t m_pid = -1;
    bool m_ready = false;
};

// What the stand-in server was sent by one Notify call.
struct ReceivedNotice {
    std::string appName, icon, summary, body, desktopEntry;
    unsigned replacesId = 0;
    int expireTimeout = 0;
    std::size_t actions = 0;
};

// Owns org.freedesktop.Notifications on a bus and records every Notify, on a thread of its own.
class StandInNotificationServer {
public:
    enum class Mode {
        Plain,      // answers; bodies are plain text
        Markup,     // answers; says it reads markup in bodies
        NeverAnswer // takes every call and answers none
    };

    StandInNotificationServer(const std::string& address, Mode mode) : m_mode(mode) {
        m_thread = std::thread([this, address] { Serve(address); });
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_state != State::Starting; });
    }
    ~StandInNotificationServer() {
        {
            std::lock_guard lock(m_mutex);
            if (m_loop)
                g_main_context_invoke(m_context, [](gpointer loop) {
                    g_main_loop_quit(static_cast<GMainLoop*>(loop));
                    return G_SOURCE_REMOVE;
                }, m_loop);
        }
        m_thread.join();
    }
    StandInNotificationServer(const StandInNotificationServer&) = delete;
    StandInNotificationServer& operator=(const StandInNotificationServer&) = delete;

    bool Ready() const {
        std::lock_guard lock(m_mutex);
        return m_state == State::Serving;
    }
    std::vector<ReceivedNotice> Received() const {
        std::lock_guard lock(m_mutex);
        return m_received;
    }

private:
    enum class State { Starting, Serving, Failed };

    static constexpr const char* kInterface =
        "<node><interface name='org.freedesktop.Notifications'>"
        "<method name='GetCapabilities'><arg type='as' direction='out'/></method>"
        "<method name='Notify'><arg type='s' direction='in'/><arg type='u' direction='in'/>"
        "<arg type='s' direction='in'/><arg type='s' direction='in'/>"
        "<arg type='s' direction='in'/><arg type='as' direction='in'/>"
        "<arg type='a{sv}' direction='in'/><arg type='i' direction='in'/>"
        "<arg type='u' direction='out'/></method>"
        "</interface></node>";

    void SetState(State state) {
        std::lock_guard lock(m_mutex);
        m_state = state;
        m_changed.notify_all();
    }

    static void OnCall(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                       const gchar* method, GVariant* parameters,
                       GDBusMethodInvocation* invocation, gpointer self) {
        static_cast<StandInNotificationServer*>(self)->Handle(method, parameters, invocation);
    }

    void Handle(const gchar* method, GVariant* parameters, GDBusMethodInvocation* invocation) {
        if (m_mode == Mode::NeverAnswer) {
            m_unanswered.push_back(invocation); // answered with an error at the end
            return;
        }
        if (g_strcmp0(method, "GetCapabilities") == 0) {
            const gchar* plain[] = {"body", nullptr};
            const gchar* markup[] = {"body", "body-markup", nullptr};
            g_dbus_method_invocation_return_value(
                invocation,
                g_variant_new("(^as)", m_mode == Mode::Markup ? markup : plain));
            return;
        }
        ReceivedNotice notice;
        const gchar *app = nullptr, *icon = nullptr, *summary = nullptr, *body = nullptr;
        GVariantIter* actions = nullptr;
        GVariant* hints = nullptr;
        g_variant_get(parameters, "(&su&s&s&sas@a{sv}i)", &app, &notice.replacesId, &icon,
                      &summary, &body, &actions, &hints, &notice.expireTimeout);
        notice.appName = app;
        notice.icon = icon;
        notice.summary = summary;
        notice.body = body;
        notice.actions = g_variant_iter_n_children(actions);
        g_variant_iter_free(actions);
        const gchar* entry = nullptr;
        if (g_variant_lookup(hints, "desktop-entry", "&s", &entry))
            notice.desktopEntry = entry;
        g_variant_unref(hints);
        {
            std::lock_guard lock(m_mutex);
            m_received.push_back(notice);
        }
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(u)", 1u));
    }

    void Serve(const std::string& address) {
        GMainContext* context = g_main_context_new();
        g_main_context_push_thread_default(context);
        GError* error = nullptr;
        GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
            address.c_str(),
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, &error);
        GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kInterface, nullptr);
        const GDBusInterfaceVTable vtable{OnCall, nullptr, nullptr, {}};
        guint registration = 0;
        bool owned = false;
        if (bus) {
            registration = g_dbus_connection_register_object(
                bus, "/org/freedesktop/Notifications", node->interfaces[0], &vtable, this,
                nullptr, nullptr);
            // DO_NOT_QUEUE; 1 = became the owner.
            GVariant* reply = g_dbus_connection_call_sync(
                bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                "RequestName", g_variant_new("(su)", "org.freedesktop.Notifications", 4u),
                G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
            if (reply) {
                guint32 answer = 0;
                g_variant_get(reply, "(u)", &answer);
                owned = answer == 1;
                g_variant_unref(reply);
            }
        }
        g_clear_error(&error);
        if (owned) {
            GMainLoop* loop = g_main_loop_new(context, FALSE);
            {
                std::lock_guard lock(m_mutex);
                m_context = context;
                m_loop = loop;
            }
            SetState(State::Serving);
            g_main_loop_run(loop);
            {
                std::lock_guard lock(m_mutex);
                m_loop = nullptr;
            }
            g_main_loop_unref(loop);
        } else {
            SetState(State::Failed);
        }
        for (GDBusMethodInvocation* invocation : m_unanswered)
            g_dbus_method_invocation_return_dbus_error(invocation, "org.example.Ended", "ended");
        if (bus) {
            if (registration)
                g_dbus_connection_unregister_object(bus, registration);
            g_dbus_connection_close_sync(bus, nullptr, nullptr);
            g_object_unref(bus);
        }
        g_dbus_node_info_unref(node);
        g_main_context_pop_thread_default(context);
        g_main_context_unref(context);
    }

    const Mode m_mode;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    State m_state = State::Starting;
    std::vector<ReceivedNotice> m_received;
    std::vector<GDBusMethodInvocation*> m_unanswered; // the server's thread only
    GMainContext* m_context = nullptr;
    GMainLoop* m_loop = nullptr;
    std::thread m_thread;
};
