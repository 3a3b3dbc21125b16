// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "scan/ScanEngine.h"

#include "scan/SearchRun.h"

#include <locale.h>
#include <sys/stat.h>

#include <cstdint>

void SearchFolder(const std::string& folder, const CProfile& profile, const CStopEvent& stop,
                  CScanSink& sink, const CScanContext& context) {
    CSearchRun({{&profile, folder}}, stop, sink, context).Run(0);
}

void SearchFolder(const std::string& folder, const CProfile& profile, const CStopEvent& stop,
                  CScanSink& sink) {
    const CScanContext context = CScanContext::AtScanStart();
    SearchFolder(folder, profile, stop, sink, context);
}

std::string GetFileSizeText(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return {};
    return std::to_string(static_cast<std::uint64_t>(st.st_size));
}

std::string FormatFileTime(std::time_t t) {
    // English day and month names whatever the process's locale.
    static const locale_t c = ::newlocale(LC_ALL_MASK, "C", locale_t{});
    std::tm tm{};
    if (!localtime_r(&t, &tm))
        return {};
    char buf[128];
    const size_t n = ::strftime_l(buf, sizeof buf, "%H:%M:%S %A, %B %d, %Y", &tm, c);
    return std::string(buf, n);
}
