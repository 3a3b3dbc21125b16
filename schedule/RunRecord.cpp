// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "schedule/RunRecord.h"

#include "platform/DataFile.h"
#include "platform/FileIo.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <string_view>

namespace {

// The record's text, or why it cannot be had. A record that is there but damaged reads as
// damaged with the reason.
struct RecordText {
    std::string text;
    std::string damage;
};

FsError ReadRecord(const std::string& path, RecordText& out) {
    DataFile file;
    if (FsError e = OpenDataFile(path, file)) {
        if (IsTooLarge(e))
            out.damage = "it is larger than " + DataSizeText(file.limit);
        return IsTooLarge(e) ? FsError() : e;
    }
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(file.fd.get(), buf, sizeof buf);
        if (n == 0)
            return {};
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return FsError::System(errno);
        }
        out.text.append(buf, static_cast<std::size_t>(n));
    }
}

// One line "<seconds>\t<command>"; false when the line is anything else.
bool ParseLine(std::string_view line, std::time_t& at, std::string& command) {
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos || tab == 0 || tab + 1 == line.size())
        return false;
    long long seconds = 0;
    const auto [end, ec] = std::from_chars(line.data(), line.data() + tab, seconds);
    if (ec != std::errc() || end != line.data() + tab || seconds < 0)
        return false;
    at = static_cast<std::time_t>(seconds);
    command.assign(line.substr(tab + 1));
    return true;
}

} // namespace

FsError CRunRecord::Load(const std::string& path) {
    m_runs.clear();
    RecordText record;
    if (FsError e = ReadRecord(path, record))
        return IsMissing(e) ? FsError() : e;
    std::map<std::string, std::time_t> runs;
    std::string_view rest = record.text;
    while (record.damage.empty() && !rest.empty()) {
        const std::size_t end = rest.find('\n');
        if (end == std::string_view::npos) {
            record.damage = "its last line is cut short";
            break;
        }
        std::time_t at = 0;
        std::string command;
        if (!ParseLine(rest.substr(0, end), at, command)) {
            record.damage = "a line of it is not a time, a tab and a command";
            break;
        }
        runs[command] = at;
        rest.remove_prefix(end + 1);
    }
    if (record.damage.empty()) {
        m_runs = std::move(runs);
        return {};
    }
    // Put aside, so the next save does not replace what someone may want to look at.
    std::string target, aside;
    FsError failed = FollowLinks(path, target);
    if (!failed)
        failed = KeepAside(target, aside);
    ReportDataFileProblem(path + " is damaged (" + record.damage + ")" +
                          (failed ? "; it could not be kept aside (" + failed.Text() + ")"
                                  : "; it was kept aside as " + aside) +
                          ". Every scheduled cleaning counts as never run.");
    return {};
}

FsError CRunRecord::Save(const std::string& path) const {
    std::string text;
    for (const auto& [command, at] : m_runs)
        text += std::to_string(static_cast<long long>(at)) + '\t' + command + '\n';
    std::string target;
    if (FsError e = FollowLinks(path, target))
        return e;
    return ReplaceFileAtomically(target, text);
}

std::optional<std::time_t> CRunRecord::LastRun(const std::string& command) const {
    const auto it = m_runs.find(command);
    return it == m_runs.end() ? std::nullopt : std::optional<std::time_t>(it->second);
}

void CRunRecord::Note(const std::string& command, std::time_t at) {
    // A command with a line break could never be read back as one line: cron has none.
    if (command.empty() || command.find('\n') != std::string::npos)
        return;
    m_runs[command] = at;
}
