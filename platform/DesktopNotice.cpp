// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "platform/DesktopNotice.h"

#include <gio/gio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>

namespace {

constexpr char kServer[] = "org.freedesktop.Notifications";
constexpr char kServerPath[] = "/org/freedesktop/Notifications";

// Only a socket of this user's is a session to talk to: a runtime folder that is not what it
// should be must not lead the run to another user's bus.
bool IsOwnSocket(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode) && st.st_uid == ::geteuid();
}

// Cancels every call made with it once the time is up; the calls then return at once.
class Deadline {
public:
    explicit Deadline(std::chrono::milliseconds limit)
        : m_cancel(g_cancellable_new()), m_end(std::chrono::steady_clock::now() + limit),
          m_timer([this] {
              std::unique_lock lock(m_mutex);
              if (!m_done.wait_until(lock, m_end, [this] { return m_finished; }))
                  g_cancellable_cancel(m_cancel);
          }) {}
    ~Deadline() {
        {
            std::lock_guard lock(m_mutex);
            m_finished = true;
        }
        m_done.notify_one();
        m_timer.join();
        g_object_unref(m_cancel);
    }
    Deadline(const Deadline&) = delete;
    Deadline& operator=(const Deadline&) = delete;

    GCancellable* Cancellable() const { return m_cancel; }
    // What is left of the time for one call, in the milliseconds GDBus takes (at least 1).
    int RemainingMs() const {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            m_end - std::chrono::steady_clock::now());
        return left.count() > 1 ? static_cast<int>(left.count()) : 1;
    }

private:
    GCancellable* m_cancel;
    std::chrono::steady_clock::time_point m_end;
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_timer; // last: starts once the rest is set
};

template <class T> struct GUnref {
    void operator()(T* p) const {
        if (p)
            g_object_unref(p);
    }
};
using Connection = std::unique_ptr<GDBusConnection, GUnref<GDBusConnection>>;

struct VariantUnref {
    void operator()(GVariant* v) const {
        if (v)
            g_variant_unref(v);
    }
};
using Variant = std::unique_ptr<GVariant, VariantUnref>;

// Calls method of the server; the reply, or null.
Variant CallServer(GDBusConnection* bus, const char* method, GVariant* parameters,
                   const char* replyType, const Deadline& deadline) {
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        bus, kServer, kServerPath, kServer, method, parameters, G_VARIANT_TYPE(replyType),
        G_DBUS_CALL_FLAGS_NONE, deadline.RemainingMs(), deadline.Cancellable(), &error);
    g_clear_error(&error);
    return Variant(reply);
}

// Whether the server reads markup in bodies, where "<" and "&" must then be escaped.
bool ReadsBodyMarkup(GDBusConnection* bus, const Deadline& deadline) {
    const Variant reply = CallServer(bus, "GetCapabilities", nullptr, "(as)", deadline);
    if (!reply)
        return false;
    GVariantIter* iter = nullptr;
    g_variant_get(reply.get(), "(as)", &iter);
    bool markup = false;
    const gchar* capability = nullptr;
    while (g_variant_iter_loop(iter, "&s", &capability))
        markup = markup || g_strcmp0(capability, "body-markup") == 0;
    g_variant_iter_free(iter);
    return markup;
}

std::string MarkupEscaped(const std::string& text) {
    gchar* escaped = g_markup_escape_text(text.c_str(), static_cast<gssize>(text.size()));
    std::string out(escaped);
    g_free(escaped);
    return out;
}

// GVariant strings must be UTF-8: a path of other bytes is shown with replacement marks.
std::string ValidUtf8(const std::string& text) {
    gchar* valid = g_utf8_make_valid(text.c_str(), static_cast<gssize>(text.size()));
    std::string out(valid);
    g_free(valid);
    return out;
}

} // namespace

std::string SessionBusSocket(const char* runtimeDir, unsigned uid) {
    if (runtimeDir && runtimeDir[0] == '/')
        return std::string(runtimeDir) + "/bus";
    return "/run/user/" + std::to_string(uid) + "/bus";
}

NoticeDelivery SendDesktopNotice(const DesktopNotice& notice, const std::string& socketPath,
                                 std::chrono::milliseconds limit) {
    if (!IsOwnSocket(socketPath))
        return NoticeDelivery::NoSession;
    gchar* escapedPath = g_dbus_address_escape_value(socketPath.c_str());
    const std::string address = std::string("unix:path=") + escapedPath;
    g_free(escapedPath);

    const Deadline deadline(limit);
    GError* error = nullptr;
    // A connection of its own, not the shared one: that one would end the process if the bus
    // went away.
    const Connection bus(g_dbus_connection_new_for_address_sync(
        address.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, deadline.Cancellable(), &error));
    g_clear_error(&error);
    if (!bus)
        return NoticeDelivery::NotDelivered;

    const bool markup = ReadsBodyMarkup(bus.get(), deadline);
    const std::string body = ValidUtf8(markup ? MarkupEscaped(notice.body) : notice.body);
    const std::string entry = ValidUtf8(notice.desktopEntry);
    GVariantBuilder hints;
    g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&hints, "{sv}", "desktop-entry", g_variant_new_string(entry.c_str()));
    g_variant_builder_add(&hints, "{sv}", "urgency", g_variant_new_byte(1));
    GVariantBuilder noActions;
    g_variant_builder_init(&noActions, G_VARIANT_TYPE("as"));
    GVariant* parameters = g_variant_new(
        "(susssasa{sv}i)", ValidUtf8(notice.appName).c_str(), 0u, entry.c_str(),
        ValidUtf8(notice.summary).c_str(), body.c_str(), &noActions, &hints, -1);
    const Variant reply = CallServer(bus.get(), "Notify", parameters, "(u)", deadline);
    g_dbus_connection_close_sync(bus.get(), deadline.Cancellable(), nullptr);
    return reply ? NoticeDelivery::Sent : NoticeDelivery::NotDelivered;
}

NoticeDelivery SendDesktopNotice(const DesktopNotice& notice) {
    return SendDesktopNotice(notice, SessionBusSocket(std::getenv("XDG_RUNTIME_DIR"), ::geteuid()));
}
