// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "pages/LiveUpdate.h"

#include "framework/ShellHelpers.h"
#include "framework/UiSeam.h"
#include "framework/WaitCursor.h"
#include "framework/WinTypes.h"
#include "platform/FsError.h"

#include <QtCore/QEventLoop>
#include <QtCore/QUrl>
#include <QtNetwork/QNetworkAccessManager>
#include <QtNetwork/QNetworkReply>
#include <QtNetwork/QNetworkRequest>
#include <cerrno>
#include <memory>

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Trim(const std::string& s) {
    const size_t first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

struct VersionPart {
    std::string number; // digits without leading zeros
    std::string suffix; // lower case
};

VersionPart PartAt(const std::string& text, size_t& pos) {
    VersionPart part;
    while (pos < text.size() && IsDigit(text[pos]))
        part.number += text[pos++];
    while (pos < text.size() && text[pos] != '.')
        part.suffix += Lower(text[pos++]);
    if (pos < text.size())
        ++pos; // the dot
    part.number.erase(0, part.number.find_first_not_of('0'));
    return part;
}

// Numbers of any length: no overflow on a silly manifest.
int CompareNumbers(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    const int c = a.compare(b);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

bool IsWebAddress(const std::string& text) {
    const QUrl url(QString::fromStdString(text), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QStringLiteral("http") || scheme == QStringLiteral("https"));
}

std::string StripEnd(std::string text) {
    while (!text.empty() && (text.back() == '.' || text.back() == ' '))
        text.pop_back();
    return text;
}

std::string NetworkFailure(const QNetworkReply& reply) {
    switch (reply.error()) {
    case QNetworkReply::ConnectionRefusedError:
        return "the connection to the server was refused";
    case QNetworkReply::HostNotFoundError:
        return "the server could not be found";
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError: // what the transfer timeout ends with
        return "the server did not answer in time";
    default:
        return StripEnd(reply.errorString().toStdString());
    }
}

const char* const kInvalidManifest = "the version information from the server is not valid";

// The manifest from the server; a failure says why it could not be had.
FsError FetchManifest(UpdateManifest& out) {
    const std::string address = UpdateManifestUrl();
    if (!IsWebAddress(address)) {
        return FsError::Told(EINVAL, "the address " + address + " is not a web address");
    }
    QNetworkAccessManager manager;
    QNetworkRequest request(QUrl(QString::fromStdString(address)));
    request.setTransferTimeout(kUpdateTimeoutMs);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("Fernwick/" FERNWICK_VERSION_TEXT));
    std::unique_ptr<QNetworkReply> reply(manager.get(request));

    bool tooLong = false;
    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(reply.get(), &QNetworkReply::downloadProgress, &loop,
                     [&](qint64 received, qint64) {
                         if (received > kMaxManifestBytes && !tooLong) {
                             tooLong = true;
                             reply->abort();
                         }
                     });
    // The user's clicks wait: the wizard must not be used while its own check runs.
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);

    if (tooLong)
        return FsError::Told(EFBIG, kInvalidManifest);
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && (status.toInt() < 200 || status.toInt() > 299)) {
        std::string reason = "the server answered " + std::to_string(status.toInt());
        const std::string phrase =
            reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString().toStdString();
        if (!Trim(phrase).empty())
            reason += " " + Trim(phrase);
        return FsError::Told(EIO, reason);
    }
    if (reply->error() != QNetworkReply::NoError)
        return FsError::Told(EIO, NetworkFailure(*reply));
    const QByteArray body = reply->readAll();
    const auto manifest =
        ParseUpdateManifest(std::string(body.constData(), static_cast<size_t>(body.size())));
    if (!manifest)
        return FsError::Told(EPROTO, kInvalidManifest);
    out = *manifest;
    return {};
}

} // namespace

std::string UpdateManifestUrl() {
    const QString custom = qEnvironmentVariable("FERNWICK_UPDATE_URL").trimmed();
    return custom.isEmpty() ? std::string(kUpdateManifestUrl) : custom.toStdString();
}

bool IsVersionText(const std::string& text) {
    size_t pos = 0;
    while (true) {
        const size_t digits = pos;
        while (pos < text.size() && IsDigit(text[pos]))
            ++pos;
        if (pos == digits)
            return false;
        while (pos < text.size() && IsLetter(text[pos]))
            ++pos;
        if (pos == text.size())
            return true;
        if (text[pos] != '.')
            return false;
        ++pos;
    }
}

int CompareVersions(const std::string& a, const std::string& b) {
    size_t pa = 0, pb = 0;
    while (pa < a.size() || pb < b.size()) {
        const VersionPart x = PartAt(a, pa);
        const VersionPart y = PartAt(b, pb);
        if (const int c = CompareNumbers(x.number, y.number); c != 0)
            return c;
        if (x.suffix != y.suffix)
            return x.suffix < y.suffix ? -1 : 1;
    }
    return 0;
}

std::optional<UpdateManifest> ParseUpdateManifest(const std::string& text) {
    std::string body = text;
    if (body.starts_with("\xEF\xBB\xBF"))
        body.erase(0, 3);
    UpdateManifest manifest;
    size_t start = 0;
    while (start <= body.size()) {
        size_t end = body.find('\n', start);
        if (end == std::string::npos)
            end = body.size();
        const std::string line = Trim(body.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == '#')
            continue;
        const size_t eq = line.find('=');
        if (eq == std::string::npos)
            return std::nullopt;
        const std::string key = Trim(line.substr(0, eq));
        const std::string value = Trim(line.substr(eq + 1));
        if (key == "version")
            manifest.version = value;
        else if (key == "download")
            manifest.download = value;
    }
    if (!IsVersionText(manifest.version) || !IsWebAddress(manifest.download))
        return std::nullopt;
    return manifest;
}

int CheckForUpdate(QWidget* owner, const std::string& product, const std::string& version) {
    UpdateManifest manifest;
    FsError failed;
    {
        CWaitCursor wait;
        failed = FetchManifest(manifest);
    }
    if (failed) {
        MessageBox(owner,
                   "The check for a newer version could not be made: " + failed.Text() + ".",
                   kAppTitle, MB_OK | MB_ICONEXCLAMATION);
        return 0;
    }
    if (CompareVersions(manifest.version, version) <= 0) {
        MessageBox(owner, product + " " + version + " is up to date.", kAppTitle,
                   MB_OK | MB_ICONINFORMATION);
        return 0;
    }
    const std::string offer = "A newer version of " + product +
                              " is available: " + manifest.version +
                              ".\n\nOpen the download page and quit " + product + " to install it?";
    if (MessageBox(owner, offer, kAppTitle, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return 0;
    int code = 0;
    {
        CWaitCursor wait;
        code = TheUi().ShellOpen(owner, manifest.download);
    }
    if (code <= 32) {
        // Quitting now would leave the user with neither the old program nor the new one.
        std::string text = "The download page " + manifest.download + " could not be opened.";
        if (const std::string why = StripEnd(ShellErrorMessage(code)); !why.empty())
            text += "\n\n" + why + ".";
        MessageBox(owner, text, kAppTitle, MB_OK | MB_ICONEXCLAMATION);
        return 0;
    }
    return 1;
}
