// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include <optional>
#include <string>

class QWidget;

// Live Update: asks the maker's server for the newest version and offers its download page.
//
// The server's answer, the version manifest, is plain UTF-8 text with one "key=value" per line:
//
//     # Fernwick
//     version=2.1
//     download=https://www.quenbyworks.com/fernwick/download/
//
// Blank lines and lines starting with '#' are skipped, blanks around keys and values are
// ignored, unknown keys are skipped (later manifests may add some). "version" is the newest
// version (see IsVersionText), "download" the http or https page to get it from; both are
// required, and any other line without a '=' makes the manifest invalid.

// The manifest's address; the environment variable FERNWICK_UPDATE_URL overrides it.
inline constexpr const char* kUpdateManifestUrl =
    "https://www.quenbyworks.com/fernwick/version.txt";
// How long the transfer may stall before the check gives up.
inline constexpr int kUpdateTimeoutMs = 8000;
// A longer answer is not a manifest.
inline constexpr long long kMaxManifestBytes = 64 * 1024;

struct UpdateManifest {
    std::string version;
    std::string download;
};

// The address the check asks.
std::string UpdateManifestUrl();

// Dot-separated parts, each digits with an optional letter suffix: "2", "2.0a", "10.0.3".
bool IsVersionText(const std::string& text);
// <0, 0 or >0 as a is older than, the same as or newer than b. Part by part: the number
// first, then the suffix (none < "a" < "b", ignoring case); missing parts count as "0", so
// "2" equals "2.0". 2.0 < 2.0a < 2.0b < 2.1 < 10.0.
int CompareVersions(const std::string& a, const std::string& b);

// The manifest's values, or nullopt when the text is not a valid manifest.
std::optional<UpdateManifest> ParseUpdateManifest(const std::string& text);

// Fetches the manifest and tells the user the outcome in a message box owned by owner.
// Returns nonzero when the user chose to get the newer version and its download page was
// opened: the program should then end so the new version can be installed.
int CheckForUpdate(QWidget* owner, const std::string& product, const std::string& version);
