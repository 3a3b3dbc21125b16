// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// Desktop notifications: which bus is the user's session, what the notification server is
// sent, and that a missing, silent or absent server neither fails nor holds up the sender.
#include "platform/DesktopNotice.h"
#include "support/NoticeBus.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>

namespace {

DesktopNotice SampleNotice() {
    return {"Fernwick", "com.quenbyworks.fernwick", "Scheduled cleaning done",
            "2 files (8 bytes) were deleted.\nEach file is in the log: /home/u/fwlog.txt"};
}

// A listening socket that never accepts: a bus that hangs before it says a word.
class MuteSocket {
public:
    explicit MuteSocket(const std::string& path) {
        m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        m_ok = ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
               ::listen(m_fd, 4) == 0;
    }
    ~MuteSocket() { ::close(m_fd); }
    MuteSocket(const MuteSocket&) = delete;
    MuteSocket& operator=(const MuteSocket&) = delete;
    bool Ok() const { return m_ok; }

private:
    int m_fd = -1;
    bool m_ok = false;
};

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

TEST(DesktopNotice, TheSessionBusIsInTheRuntimeFolderOrTheUsersOwn) {
    EXPECT_EQ(SessionBusSocket("/run/user/1000", 1000), "/run/user/1000/bus");
    EXPECT_EQ(SessionBusSocket("/tmp/rt", 1000), "/tmp/rt/bus");
    // Cron gives no XDG_RUNTIME_DIR; a relative one is no folder at all.
    EXPECT_EQ(SessionBusSocket(nullptr, 1000), "/run/user/1000/bus");
    EXPECT_EQ(SessionBusSocket("", 1001), "/run/user/1001/bus");
    EXPECT_EQ(SessionBusSocket("run/user/1000", 1002), "/run/user/1002/bus");
}

TEST(DesktopNotice, NothingIsTriedWithoutASocketOfTheUsersOwn) {
    TempDir dir;
    EXPECT_EQ(SendDesktopNotice(SampleNotice(), (dir.path() / "bus").string()),
              NoticeDelivery::NoSession);
    WriteTextFile(dir.path() / "file", "not a socket");
    EXPECT_EQ(SendDesktopNotice(SampleNotice(), (dir.path() / "file").string()),
              NoticeDelivery::NoSession);
    // A link is not followed to whatever socket it names.
    PrivateSessionBus bus(dir.path());
    ASSERT_TRUE(bus.Ready());
    std::filesystem::create_symlink(bus.Socket(), dir.path() / "link");
    EXPECT_EQ(SendDesktopNotice(SampleNotice(), (dir.path() / "link").string()),
              NoticeDelivery::NoSession);
}

// What a delivery may take here: the limit a run uses is meant for an idle desktop, not for a
// sanitised build sharing two cores with the rest of the suite.
constexpr std::chrono::seconds kLoadedMachine{15};

TEST(DesktopNotice, TheServerIsSentTheNoticeAsWritten) {
    TempDir dir;
    PrivateSessionBus bus(dir.path());
    ASSERT_TRUE(bus.Ready());
    StandInNotificationServer server(bus.Address(), StandInNotificationServer::Mode::Plain);
    ASSERT_TRUE(server.Ready());

    DesktopNotice notice = SampleNotice();
    notice.body += " <b>&amp;</b>"; // a plain-text server shows what it is given
    EXPECT_EQ(SendDesktopNotice(notice, bus.Socket(), kLoadedMachine), NoticeDelivery::Sent);
    const std::vector<ReceivedNotice> received = server.Received();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].appName, "Fernwick");
    EXPECT_EQ(received[0].icon, "com.quenbyworks.fernwick");
    EXPECT_EQ(received[0].desktopEntry, "com.quenbyworks.fernwick");
    EXPECT_EQ(received[0].summary, "Scheduled cleaning done");
    EXPECT_EQ(received[0].body, notice.body);
    EXPECT_EQ(received[0].replacesId, 0u);
    EXPECT_EQ(received[0].expireTimeout, -1); // the server's own time
    EXPECT_EQ(received[0].actions, 0u);       // nothing to click: the run is gone
}

TEST(DesktopNotice, AServerThatReadsMarkupGetsTheBodyEscapedAndValid) {
    TempDir dir;
    PrivateSessionBus bus(dir.path());
    ASSERT_TRUE(bus.Ready());
    StandInNotificationServer server(bus.Address(), StandInNotificationServer::Mode::Markup);
    ASSERT_TRUE(server.Ready());

    DesktopNotice notice = SampleNotice();
    notice.body = "moved to /home/u/<old> & \"new\"";
    notice.summary = "bad \xff byte"; // a file name need not be UTF-8; D-Bus text must be
    EXPECT_EQ(SendDesktopNotice(notice, bus.Socket(), kLoadedMachine), NoticeDelivery::Sent);
    const std::vector<ReceivedNotice> received = server.Received();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].body, "moved to /home/u/&lt;old&gt; &amp; &quot;new&quot;");
    EXPECT_EQ(received[0].summary, "bad \xef\xbf\xbd byte");
}

TEST(DesktopNotice, NoServerASilentOneOrAMuteBusIsNotDeliveredAndHoldsNothingUp) {
    TempDir dir;
    PrivateSessionBus bus(dir.path());
    ASSERT_TRUE(bus.Ready());
    {
        // A desktop without a notification server.
        EXPECT_EQ(SendDesktopNotice(SampleNotice(), bus.Socket()), NoticeDelivery::NotDelivered);
    }
    {
        // A server that takes the call and never answers: the limit ends the wait. The bound
        // checked is loose; it only tells a limit that works from none.
        StandInNotificationServer server(bus.Address(),
                                         StandInNotificationServer::Mode::NeverAnswer);
        ASSERT_TRUE(server.Ready());
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(SendDesktopNotice(SampleNotice(), bus.Socket(), std::chrono::milliseconds(300)),
                  NoticeDelivery::NotDelivered);
        EXPECT_LT(SecondsSince(start), 10.0);
    }
    {
        // A socket that never answers the connection's first words.
        MuteSocket mute((dir.path() / "mute").string());
        ASSERT_TRUE(mute.Ok());
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(SendDesktopNotice(SampleNotice(), (dir.path() / "mute").string(),
                                    std::chrono::milliseconds(300)),
                  NoticeDelivery::NotDelivered);
        EXPECT_LT(SecondsSince(start), 10.0);
    }
}
