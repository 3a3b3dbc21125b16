// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "scan/ScanPlan.h"

namespace {
void Log(const ScanRequest& r, const std::string& text) {
    if (r.log)
        r.log(text);
}
} // namespace

bool RunScanPlan(const CProfileList& store, const ScanRequest& r, const CStopEvent& stop,
                 CScanSink& sink) {
    // Fernwick's own files and the trash are looked up once, when the scan starts.
    const CScanContext context = CScanContext::AtScanStart(r.report ? r.report : r.log, r.destination);
    // The searches in the order of the passes below, which make them in turn.
    std::vector<SearchStep> steps;
    for (const CProfile& p : store)
        if (r.isSelected(p))
            for (const std::string& folder : p.m_lstScanFolders)
                steps.push_back({&p, folder});
    if (r.drivePass)
        for (const CProfile& p : store)
            if (r.isSelected(p) && p.ScansAllFolders())
                for (const ScanDrive& d : r.drives)
                    steps.push_back({&p, d.root});
    CSearchRun run(std::move(steps), stop, sink, context, r.how);
    size_t next = 0;
    // Pass 1: listed folders, whatever the profile's scope.
    for (const CProfile& p : store) {
        if (!r.isSelected(p))
            continue;
        Log(r, "Scanning for " + p.m_strName);
        for (size_t n = p.m_lstScanFolders.size(); n > 0; --n) {
            if (r.stopEndsPlan && stop.IsSet())
                return false;
            run.Run(next++);
        }
    }
    if (!r.drivePass)
        return true;
    // Pass 2: whole drives, profile outside, drive inside.
    for (const CProfile& p : store) {
        if (!r.isSelected(p) || !p.ScansAllFolders())
            continue;
        Log(r, "Scanning for " + p.m_strName);
        for (const ScanDrive& d : r.drives) {
            if (r.stopEndsPlan && stop.IsSet())
                return false;
            Log(r, d.Text());
            run.Run(next++);
        }
    }
    return !(r.stopEndsPlan && stop.IsSet());
}
