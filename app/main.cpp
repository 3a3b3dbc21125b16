// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "app/CFernwickApp.h"
#include "app/CommandLine.h"
#include "app/Display.h"
#include "app/ExitStatus.h"
#include "app/Preview.h"
#include "app/RunNotice.h"
#include "schedule/CatchUpRun.h"
#include "schedule/ScheduledCleanings.h"
#include "schedule/ScheduledRun.h"
#include "dispose/CleaningLog.h"
#include "dispose/UnattendedDisposal.h"
#include "framework/DriveLetterStore.h"
#include "framework/Pump.h"
#include "platform/DesktopNotice.h"
#include "platform/ProgramDir.h"
#include "platform/StopSignal.h"
#include "platform/TextEscape.h"
#include "platform/XdgDirs.h"

#include <QtCore/QtGlobal>
#include <QtWidgets/QApplication>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace {

QtMessageHandler g_previousMessageHandler = nullptr;

// A scheduled run prints nothing when all goes well, so that cron mails the user only when
// something needs attention. Cron gives no XDG_RUNTIME_DIR, and Qt says so on every start
// although it manages without one: that one notice is dropped, everything else passes.
void QuietScheduledRunMessages(QtMsgType type, const QMessageLogContext& context,
                               const QString& message) {
    if (type == QtWarningMsg &&
        message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    if (g_previousMessageHandler) {
        g_previousMessageHandler(type, context, message);
    } else {
        const QByteArray line = qFormatLogMessage(type, context, message).toLocal8Bit() + '\n';
        std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stderr);
    }
}

} // namespace

int main(int argc, char** argv) {
    DropRelativeXdgDirs(); // before Qt or GLib read them, and before any thread
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help") {
            std::fputs(UsageText().c_str(), stdout);
            return 0;
        }
        if (arg == "--version") {
            std::puts("Fernwick " FERNWICK_VERSION_TEXT);
            return 0;
        }
        if (arg == "--schedules") {
            CSystemCrontab crontab;
            return ListSchedules(crontab, StoredProfileNames(), stdout, stderr);
        }
        if (arg == "--unschedule") {
            CSystemCrontab crontab;
            return Unschedule(crontab, i + 1 < argc ? argv[i + 1] : "", StoredProfileNames(),
                              stdout, stderr);
        }
        if (arg == "--catch-up") {
            CSystemCrontab crontab;
            CatchUpSetup setup;
            setup.crontab = &crontab;
            setup.dataFolder = GetProgramDir();
            setup.now = std::time(nullptr);
            setup.knownNames = StoredProfileNames;
            setup.run = RunAsCron;
            setup.out = stdout;
            setup.err = stderr;
            return RunCatchUp(setup);
        }
        if (arg == "--preview") {
            // Letters given to new mounts serve this listing only.
            CDriveLetterStore letters(CDriveLetterStore::Mode::ReadOnly);
            return RunPreview(std::vector<std::string>(argv, argv + argc), letters);
        }
    }
    theApp.m_argv.assign(argv, argv + argc);

    // Decided before Qt starts: Qt aborts on a display it cannot open, and would run the
    // wizard invisibly, for ever, where there is none.
    std::vector<std::string> args = theApp.m_argv;
    const bool unattended = (ParseCommandLine(args) & CMDF_RUN) != 0;
    if (unattended) {
        // Before any thread: a shutdown, a time limit or Ctrl-C stops the run between files
        // instead of killing it halfway through one.
        InstallStopSignals();
        const ScheduledSwitches switches = ReadScheduledSwitches(args);
        if (const FsError refusal =
                RefuseUnattendedCommand(switches.method, switches.destination)) {
            const std::string refused = refusal.Text();
            const std::string line =
                "fernwick: scheduled run refused: " + EscapeControlChars(refused) + "\n";
            std::fputs(line.c_str(), stderr);
            WriteLog("Scheduled run refused: " + refused);
            SendDesktopNotice(NoticeOfRefusal(refused, LogFilePath()));
            return EXIT_UNUSABLE_CALL;
        }
    }
    const DisplayChoice display =
        ChooseDisplay(unattended, DisplayEnvironment::FromProcess(argc, argv));
    if (!display.canRun) {
        std::fputs(NoDisplayMessage(display.reason).c_str(), stderr);
        return EXIT_UNUSABLE_CALL;
    }
    if (!display.platform.empty())
        ::setenv("QT_QPA_PLATFORM", display.platform.c_str(), 1);
    if (unattended)
        g_previousMessageHandler = qInstallMessageHandler(QuietScheduledRunMessages);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Fernwick"));
    QApplication::setOrganizationName(QStringLiteral("Quenby Works"));
    // The desktop entry's name: a Wayland desktop finds the window's icon and name through it.
    QGuiApplication::setDesktopFileName(QStringLiteral(FERNWICK_APP_ID));
    theApp.InitInstance();
    return theApp.m_nExitCode;
}
