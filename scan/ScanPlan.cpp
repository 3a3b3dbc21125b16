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
    const CScanContext context = CScanContext::AtScanStart(r.report ? r.report : r.log);
    // Pass 1: listed folders, whatever the profile's scope.
    for (const CProfile& p : store) {
        if (!r.isSelected(p))
            continue;
        Log(r, "Scanning for " + p.m_strName);
        for (const std::string& folder : p.m_lstScanFolders) {
            if (r.stopEndsPlan && stop.IsSet())
                return false;
            SearchFolder(folder, p, stop, sink, context);
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
            SearchFolder(d.root, p, stop, sink, context);
        }
    }
    return !(r.stopEndsPlan && stop.IsSet());
}
