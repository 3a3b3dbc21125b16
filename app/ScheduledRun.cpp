#include "app/ScheduledRun.h"

#include "app/CommandLine.h"
#include "app/DrivesForLetters.h"
#include "scan/ProfileSelection.h"

#include <utility>

ScheduledSwitches ReadScheduledSwitches(std::vector<std::string> args) {
    ParseCommandLine(args); // rewrites a leading '-' to '/'
    ScheduledSwitches s;
    s.profiles = GetSwitchValue(args, "/p");
    s.drives = GetSwitchValue(args, "/d");
    s.method = GetSwitchValue(args, "/x");
    s.destination = GetSwitchValue(args, "/m");
    return s;
}

ScheduledScan BuildScheduledScan(const CProfileList& store, const ScheduledSwitches& switches,
                                 IDriveLetterStore& letters,
                                 const std::function<void(char letter)>& onMissingDrive,
                                 const std::string& mountInfoPath) {
    ScheduledScan scan;
    auto selected = SelectProfilesByNameList(store, switches.profiles);
    scan.profileCount = selected.size();
    // The request outlives this call (a worker thread runs it): it owns its selection.
    scan.request.isSelected = [selected = std::move(selected)](const CProfile& p) {
        return selected.count(p.m_strName) > 0;
    };
    scan.request.drivePass = !switches.drives.empty();
    if (scan.request.drivePass)
        scan.request.drives =
            DrivesForLetters(switches.drives, letters, onMissingDrive, mountInfoPath);
    return scan;
}
