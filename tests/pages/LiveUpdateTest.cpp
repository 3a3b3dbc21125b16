// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// Live Update against a small HTTP server on 127.0.0.1 with canned answers.
#include "pages/LiveUpdate.h"

#include "framework/ShellHelpers.h"
#include "support/ScriptedUi.h"

#include <QtNetwork/QHostAddress>
#include <QtNetwork/QTcpServer>
#include <QtNetwork/QTcpSocket>
#include <QtTest/QtTest>
#include <QtWidgets/QApplication>

namespace {

// Answers every request with the same response and remembers the request lines.
class CCannedServer {
  public:
    CCannedServer() {
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] { Accept(); });
        m_server.listen(QHostAddress::LocalHost, 0);
    }
    bool IsListening() const { return m_server.isListening(); }
    quint16 Port() const { return m_server.serverPort(); }
    QByteArray Url(const char* path) const {
        return "http://127.0.0.1:" + QByteArray::number(Port()) + path;
    }
    void Close() { m_server.close(); }

    QByteArray response;
    QList<QByteArray> requests;

  private:
    void Accept() {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                QByteArray& seen = m_pending[socket];
                seen += socket->readAll();
                if (!seen.contains("\r\n\r\n"))
                    return;
                requests.push_back(seen.left(seen.indexOf("\r\n")));
                m_pending.remove(socket);
                socket->write(response);
                socket->disconnectFromHost();
            });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    QTcpServer m_server;
    QHash<QTcpSocket*, QByteArray> m_pending;
};

QByteArray HttpResponse(int status, const char* phrase, const QByteArray& body) {
    return "HTTP/1.1 " + QByteArray::number(status) + " " + phrase +
           "\r\nContent-Type: text/plain\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

const std::string kFailurePrefix = "The check for a newer version could not be made: ";

int Sign(int v) {
    return v < 0 ? -1 : v > 0 ? 1 : 0;
}

} // namespace

class LiveUpdateTest : public QObject {
    Q_OBJECT

    // Runs the check against the server with the manifest path the program would ask for.
    static int Check(CCannedServer& server) {
        qputenv("FERNWICK_UPDATE_URL", server.Url("/fernwick/version.txt"));
        return CheckForUpdate(nullptr, "Fernwick", "2.0a");
    }
    static void ExpectOneMessage(const CScriptedUi& ui, const std::string& text, unsigned type) {
        QCOMPARE(ui.shown.size(), size_t(1));
        QCOMPARE(ui.shown[0].kind, std::string("message"));
        QCOMPARE(ui.shown[0].text, text);
        QCOMPARE(ui.shown[0].caption, std::string("Fernwick"));
        QCOMPARE(ui.shown[0].type, type);
    }

  private slots:
    void initTestCase() {
        // The local server must be reached directly, whatever the machine's proxy is.
        for (const char* name :
             {"http_proxy", "https_proxy", "all_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY"})
            qunsetenv(name);
    }
    void cleanup() {
        qunsetenv("FERNWICK_UPDATE_URL");
        QVERIFY(QApplication::overrideCursor() == nullptr); // the wait cursor is gone again
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void versionsCompare_data() {
        QTest::addColumn<QString>("older");
        QTest::addColumn<QString>("newer");
        QTest::addColumn<int>("order");
        QTest::newRow("letter after plain") << "2.0"
                                            << "2.0a" << -1;
        QTest::newRow("letters in order") << "2.0a"
                                          << "2.0b" << -1;
        QTest::newRow("letter before next minor") << "2.0b"
                                                  << "2.1" << -1;
        QTest::newRow("numbers, not text") << "2.1"
                                           << "10.0" << -1;
        QTest::newRow("two-digit minor") << "2.9"
                                         << "2.10" << -1;
        QTest::newRow("more parts") << "2.0"
                                    << "2.0.1" << -1;
        QTest::newRow("patch before next minor") << "2.0.9"
                                                 << "2.1" << -1;
        QTest::newRow("numbers beyond 64 bits") << "99999999999999999999.9"
                                                << "100000000000000000000.0" << -1;
        QTest::newRow("same") << "2.0a"
                              << "2.0a" << 0;
        QTest::newRow("missing part is zero") << "2"
                                              << "2.0.0" << 0;
        QTest::newRow("leading zeros") << "02.01"
                                       << "2.1" << 0;
        QTest::newRow("letter case") << "2.0A"
                                     << "2.0a" << 0;
    }
    void versionsCompare() {
        QFETCH(QString, older);
        QFETCH(QString, newer);
        QFETCH(int, order);
        const std::string a = older.toStdString(), b = newer.toStdString();
        QVERIFY(IsVersionText(a) && IsVersionText(b));
        QCOMPARE(Sign(CompareVersions(a, b)), order);
        QCOMPARE(Sign(CompareVersions(b, a)), -order);
    }

    void versionTexts() {
        for (const char* good : {"2", "2.1", "2.0a", "10.0.3", "3.0RC"})
            QVERIFY2(IsVersionText(good), good);
        for (const char* bad : {"", "a", "2.", ".2", "2..1", "v2.1", "2.1-beta", " 2.1", "2,1"})
            QVERIFY2(!IsVersionText(bad), bad);
    }

    void manifestsAreReadLeniently() {
        const auto m = ParseUpdateManifest("\xEF\xBB\xBF# Fernwick\r\n\r\n version = 2.1 \r\n"
                                           "notes=ignored\r\ndownload=https://example.org/get/");
        QVERIFY(m);
        QCOMPARE(m->version, std::string("2.1"));
        QCOMPARE(m->download, std::string("https://example.org/get/"));
    }

    void invalidManifestsAreRefused() {
        const char* bad[] = {
            "",
            "<html><body>Moved</body></html>",
            "version=2.1",                                      // no download page
            "download=https://example.org/",                    // no version
            "version=2.1\ndownload=https://example.org/\njunk", // a line that is not key=value
            "version=two\ndownload=https://example.org/",
            "version=2.1\ndownload=ftp://example.org/",
            "version=2.1\ndownload=example.org",
        };
        for (const char* text : bad)
            QVERIFY2(!ParseUpdateManifest(text), text);
    }

    void manifestAddressIsTheProgramsOwnUnlessTheEnvironmentSaysOtherwise() {
        qunsetenv("FERNWICK_UPDATE_URL");
        QCOMPARE(UpdateManifestUrl(), std::string(kUpdateManifestUrl));
        qputenv("FERNWICK_UPDATE_URL", "http://127.0.0.1:1/v.txt");
        QCOMPARE(UpdateManifestUrl(), std::string("http://127.0.0.1:1/v.txt"));
    }

    void sameOrOlderVersionIsUpToDate() {
        for (const char* version : {"2.0a", "2.0", "1.9b"}) {
            CScriptedUi ui;
            CCannedServer server;
            QVERIFY(server.IsListening());
            server.response = HttpResponse(
                200, "OK", QByteArray("version=") + version + "\ndownload=https://example.org/\n");
            QCOMPARE(Check(server), 0);
            ExpectOneMessage(ui, "Fernwick 2.0a is up to date.", MB_OK | MB_ICONINFORMATION);
            QCOMPARE(server.requests, QList<QByteArray>{"GET /fernwick/version.txt HTTP/1.1"});
        }
    }

    void newerVersionOpensItsDownloadPageWhenTheUserAgrees() {
        CScriptedUi ui;
        CCannedServer server;
        server.response =
            HttpResponse(200, "OK", "version=2.1\ndownload=https://example.org/fernwick/get/\n");
        ui.messageAnswers = {IDYES};
        QCOMPARE(Check(server), 1);
        QCOMPARE(ui.shown.size(), size_t(2));
        QCOMPARE(ui.shown[0].text,
                 std::string("A newer version of Fernwick is available: 2.1.\n\n"
                             "Open the download page and quit Fernwick to install it?"));
        QCOMPARE(ui.shown[0].caption, std::string("Fernwick"));
        QCOMPARE(ui.shown[0].type, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
        QCOMPARE(ui.shown[1].kind, std::string("shell"));
        QCOMPARE(ui.shown[1].text, std::string("https://example.org/fernwick/get/"));
    }

    void newerVersionDeclinedOpensNothing() {
        CScriptedUi ui;
        CCannedServer server;
        server.response = HttpResponse(200, "OK", "version=2.0b\ndownload=https://example.org/\n");
        ui.messageAnswers = {IDNO};
        QCOMPARE(Check(server), 0);
        ExpectOneMessage(ui,
                         "A newer version of Fernwick is available: 2.0b.\n\n"
                         "Open the download page and quit Fernwick to install it?",
                         MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
    }

    void downloadPageThatCannotBeOpenedKeepsTheProgramRunning() {
        CScriptedUi ui;
        CCannedServer server;
        server.response = HttpResponse(200, "OK", "version=3.0\ndownload=https://example.org/\n");
        ui.messageAnswers = {IDYES};
        ui.shellResults = {SHELL_ERROR_FILE_NOT_FOUND};
        QCOMPARE(Check(server), 0);
        QCOMPARE(ui.shown.size(), size_t(3));
        QCOMPARE(ui.shown[1].text, std::string("https://example.org/"));
        QCOMPARE(ui.shown[2].text,
                 "The download page https://example.org/ could not be opened.\n\n" +
                     ShellErrorMessage(SHELL_ERROR_FILE_NOT_FOUND));
        QCOMPARE(ui.shown[2].caption, std::string("Fernwick"));
        QCOMPARE(ui.shown[2].type, MB_OK | MB_ICONEXCLAMATION);
    }

    void httpErrorsAreReported() {
        const struct {
            int status;
            const char* phrase;
        } answers[] = {{404, "Not Found"}, {500, "Internal Server Error"}};
        for (const auto& a : answers) {
            CScriptedUi ui;
            CCannedServer server;
            server.response =
                HttpResponse(a.status, a.phrase, "version=9.9\ndownload=https://x.org/\n");
            QCOMPARE(Check(server), 0);
            ExpectOneMessage(ui,
                             kFailurePrefix + "the server answered " + std::to_string(a.status) +
                                 " " + a.phrase + ".",
                             MB_OK | MB_ICONEXCLAMATION);
        }
    }

    void malformedManifestsAreReported() {
        const QByteArray bodies[] = {
            "<html><body>Parked domain</body></html>",
            "version=2.1\n",
            "version=latest\ndownload=https://example.org/\n",
            "version=9.0\ndownload=https://example.org/\n# " + QByteArray(70 * 1024, 'x'),
        };
        for (const QByteArray& body : bodies) {
            CScriptedUi ui;
            CCannedServer server;
            server.response = HttpResponse(200, "OK", body);
            QCOMPARE(Check(server), 0);
            ExpectOneMessage(
                ui, kFailurePrefix + "the version information from the server is not valid.",
                MB_OK | MB_ICONEXCLAMATION);
        }
    }

    void portWithNothingListeningFailsAtOnce() {
        CScriptedUi ui;
        CCannedServer server;
        QVERIFY(server.IsListening());
        server.Close(); // the port is known to be free now
        QCOMPARE(Check(server), 0);
        ExpectOneMessage(ui, kFailurePrefix + "the connection to the server was refused.",
                         MB_OK | MB_ICONEXCLAMATION);
        QVERIFY(server.requests.isEmpty());
    }

    void addressThatIsNotAWebAddressIsNotAsked() {
        CScriptedUi ui;
        qputenv("FERNWICK_UPDATE_URL", "ftp://example.org/version.txt");
        QCOMPARE(CheckForUpdate(nullptr, "Fernwick", "2.0a"), 0);
        ExpectOneMessage(
            ui, kFailurePrefix + "the address ftp://example.org/version.txt is not a web address.",
            MB_OK | MB_ICONEXCLAMATION);
    }
};

QTEST_MAIN(LiveUpdateTest)
#include "LiveUpdateTest.moc"
