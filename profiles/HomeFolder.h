// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "platform/FsError.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

// What a leading "~" in a scan folder stands for. A home that is "/" (root in many containers,
// several system accounts) would turn a home-only profile into a whole-drive one, so only an
// absolute, existing folder other than the root counts as a home.
struct HomeFolder {
    std::string path;    // without a trailing "/"; empty when there is no usable home
    FsError problem;     // why not, for the log: "the home folder \"/\" is not a folder of its own"
    bool Usable() const { return !path.empty(); }
};

// The user's home: $HOME, or, with HOME unset, the password database's entry for the user.
// Never the current folder.
HomeFolder FindHomeFolder();
// The same rule with HOME's value (null when unset) and the database's lookup given.
HomeFolder FindHomeFolder(const char* homeVariable,
                          const std::function<std::optional<std::string>()>& passwordHome);

// The rule for one candidate: an absolute path to an existing folder that is not the root.
HomeFolder JudgeHomeFolder(const std::string& candidate);

// True for "~" and for "~/...": the scan folders that start at the home folder.
bool NamesHomeFolder(std::string_view folder);
// folder with its "~" replaced by the home; unchanged when it names no home or there is none.
std::string ExpandHomeFolder(const std::string& folder, const HomeFolder& home);
