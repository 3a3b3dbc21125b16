// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// Scheduling a cleaning as a user would: the start page's Schedule, the scheduling wizard and
// the when-dialog, with the crontab held in memory (and once by a stand-in crontab program);
// then the stored line is run by /bin/sh as cron would run it, with no display and none of the
// test's own settings folders, and must perform the cleaning the wizard described.
#include "schedule/ScheduledRun.h"
#include "support/BuiltCronEntry.h"
#include "pages/CWizardApp.h"
#include "app/CommandLine.h"
#include "schedule/ScheduledCleanings.h"
#include "controls/ListViewHelpers.h"
#include "framework/CPropertySheet.h"
#include "framework/ShellHelpers.h"
#include "pages/CDrivesPage.h"
#include "pages/CSchedDeletePage.h"
#include "pages/CSchedSetupPage.h"
#include "pages/CStartPage.h"
#include "platform/ProgramDir.h"
#include "pages/CSchedulesDlg.h"
#include "profiles/CProfileList.h"
#include "res/resource.h"
#include "schedule/CronDaemon.h"
#include "schedule/CronSupport.h"
#include "support/FakeCrontab.h"
#include "schedule/ScheduledEntries.h"
#include "WizardSupport.h"
#include "support/ChildProcess.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"
#include "support/TestOptionsFolder.h"

#include <QtCore/QScopeGuard>
#include <QtCore/QSettings>
#include <QtTest/QtTest>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QDialog>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QRadioButton>
#include <QtWidgets/QSpinBox>
#include <QtWidgets/QTimeEdit>
#include <QtWidgets/QTreeWidget>

#include <sys/stat.h>

#include <filesystem>
#include <set>

namespace fs = std::filesystem;

namespace {

const char* const kScheduled = "Your Fernwick event has been scheduled. It will run completely "
                               "unattended.  Please make sure you do NOT close Tasklane, which "
                               "controls the event";
const char* const kNoCronDaemon =
    "The cron daemon is not running, so the cleaning will not start at its time.  Start it "
    "with:\n\nsudo systemctl enable --now cron";
const char* const kDownloadOffer =
    "In order to schedule a Fernwick cleaning, you will need Tasklane from Quenby Works.  "
    "Tasklane is a FREE program from Quenby Works.  You can download it from our web site.  "
    "Would you like to go to the Quenby Works web site now?";
// The user's own lines, the last one without its newline.
const char* const kUserTable = "MAILTO=\"\"\n# nightly backup\n15 3 * * 1 /usr/bin/backup --all";
// A name with a blank and a percent sign, which cron would otherwise cut the line at.
const char* const kTempName = "Temp Files 100%";

// A word as /bin/sh reads it back.
std::string Sh(const std::string& word) {
    std::string out = "'";
    for (char c : word)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// What cron stores for a '%': "\%".
std::string CronEscaped(const std::string& text) {
    std::string out;
    for (char c : text)
        out += c == '%' ? std::string("\\%") : std::string(1, c);
    return out;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t end = text.find('\n', pos);
        lines.push_back(text.substr(pos, end - pos));
        pos = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

// The cron line of the n-th entry of ours (0 first) in a table, after its comment line.
std::string Entry(const std::string& table, int n) {
    const std::vector<std::string> lines = Lines(table);
    for (size_t i = 0; i + 1 < lines.size(); ++i)
        if (lines[i] == "# Fernwick scan" && n-- == 0)
            return lines[i + 1];
    return {};
}

// "M H D m W" and the command of a cron line.
std::pair<std::string, std::string> SplitEntry(const std::string& line) {
    size_t pos = 0;
    for (int field = 0; field < 5 && pos != std::string::npos; ++field)
        pos = line.find(' ', pos + (field ? 1 : 0));
    if (pos == std::string::npos)
        return {line, {}};
    return {line.substr(0, pos), line.substr(pos + 1)};
}

// Clicks the button with this id in a dialog window.
void PressDlgButton(QWidget* window, int id) {
    for (QPushButton* b : window->findChildren<QPushButton*>())
        if (GetDlgCtrlID(b) == id) {
            b->click();
            return;
        }
    QFAIL("no such button");
}

// Runs a stored command as cron does: /bin/sh, no display, none of the test's folders set
// (the line must carry them), in the temporary home.
CommandResult RunAsCron(const ScopedTestHome& home, const std::string& cronCommand) {
    return RunCommand("cd " + Sh(home.home().string()) +
                          " && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM"
                          " -u FERNWICK_HOME -u XDG_CONFIG_HOME -u XDG_DATA_HOME",
                      "/bin/sh", "-c " + Sh(CronUnescape(cronCommand)));
}

bool IsZipArchive(const fs::path& path) {
    return ReadTextFile(path).rfind("PK\x03\x04", 0) == 0;
}

// Every file name under a folder, at any depth.
std::set<std::string> NamesUnder(const fs::path& folder) {
    std::set<std::string> names;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::end(it);
         it.increment(ec))
        if (it->is_regular_file())
            names.insert(it->path().filename().string());
    return names;
}

// A table that cannot be read, and says nothing about why.
class CSilentFailure : public CCrontab {
public:
    FsError Read(std::string&) override { return FsError::Told(EIO, ""); }
    FsError Write(const std::string&) override { return {}; }
};

// The start page in its wizard, the scheduling pages as start-up makes them, three profiles
// saved where the scheduled run reads them, and files for them to find.
struct Setup {
    ScopedTestHome home;
    fs::path tree = home.root() / "tree";
    CStartPage start;
    CSchedSetupPage setup;
    CDrivesPage drives;
    CSchedDeletePage dispose;
    CPropertySheet sheet;
    CFakeCrontab* crontab = nullptr; // owned by the application's scheduler client
    std::function<bool()> realDaemonCheck = g_cronDaemonRunning;

    Setup() {
        // The machine's own cron is none of these tests' business; one test stops it.
        g_cronDaemonRunning = [] { return true; };
        AddTestProfile(kTempName, SCOPE_LISTED_FOLDERS, {(tree / "a").string()}, {"*.tmp"});
        AddTestProfile("Old Logs", SCOPE_LISTED_FOLDERS, {(tree / "b").string()}, {"*.log"});
        AddTestProfile("Whole Drive", SCOPE_ALL_FOLDERS, {}, {"*.fernwick-never-found"});
        g_profiles.Save();
        MakeFiles();
        sheet.AddPage(&start);
        // A drive the scheduled run will not find: the whole-drive profile scans nothing.
        Volume spare;
        spare.letter = 'Y';
        spare.mountPoint = "/srv/fernwick-spare";
        spare.fsType = "ext4";
        spare.freeBytes = 1u << 30;
        spare.totalBytes = 2u << 30;
        drives.SetVolumeSource([spare] { return CVolumeTable({spare}); });
        drives.SetSpaceProbe([](const std::string&) { return std::optional<SpaceInfo>(); });
        drives.SetProfileFilter([this](const CProfile& p) { return setup.IsProfileChecked(p); });
        start.m_programPath = [] { return std::string(FW_BINARY); };
        WizardApp().m_pStartPage = &start;
        WizardApp().m_pSchedSetupPage = &setup;
        WizardApp().m_pSchedDrivesPage = &drives;
        WizardApp().m_pSchedDeletePage = &dispose;
        WizardApp().m_bSchedulerAvailable = true;
        auto fake = std::make_unique<CFakeCrontab>();
        fake->table = kUserTable;
        crontab = fake.get();
        WizardApp().m_dispScheduler.SetCrontab(std::move(fake));
    }
    ~Setup() {
        g_cronDaemonRunning = realDaemonCheck;
        WizardApp().m_dispScheduler.ReleaseDispatch();
        WizardApp().m_bSchedulerAvailable = false;
        WizardApp().m_pStartPage = nullptr;
        WizardApp().m_pSchedSetupPage = nullptr;
        WizardApp().m_pSchedDrivesPage = nullptr;
        WizardApp().m_pSchedDeletePage = nullptr;
        g_profiles.RemoveAll();
    }
    void MakeFiles() {
        WriteTextFile(tree / "a" / "one.tmp", "12345");
        WriteTextFile(tree / "a" / "deeper" / "two.tmp", "1234567");
        WriteTextFile(tree / "a" / "keep.txt", "keep");
        WriteTextFile(tree / "b" / "old.log", "log");
    }

    // Runs the main wizard with the steps once it is up.
    void Run(CScriptedUi& ui, std::function<void()> steps) {
        ui.modalActions.push_back([this, steps](QWidget*) {
            auto guard = qScopeGuard([this] {
                if (sheet.GetSafeHwnd() && sheet.GetSafeHwnd()->isVisible())
                    sheet.PressButton(IDCANCEL);
            });
            steps();
        });
        sheet.DoModal();
    }
    // Clicks Schedule: inWizard runs in the scheduling wizard (left open, it is cancelled),
    // inWhen in the when-dialog if one comes.
    void Schedule(CScriptedUi& ui, std::function<void(CPropertySheet&)> inWizard,
                  std::function<void(QWidget*)> inWhen) {
        // With entries of ours in the table their list comes first; New... goes on.
        if (listGoesOn && HoldsEntries())
            ui.modalActions.push_back([](QWidget* w) { PressDlgButton(w, IDC_SCHEDULES_NEW); });
        ui.modalActions.push_back([this, inWizard](QWidget*) {
            CPropertySheet* wizard = setup.GetSheet();
            QVERIFY(wizard && wizard != &sheet);
            auto guard = qScopeGuard([wizard] {
                if (wizard->GetSafeHwnd() && wizard->GetSafeHwnd()->isVisible())
                    wizard->PressButton(IDCANCEL);
            });
            inWizard(*wizard);
        });
        if (inWhen)
            ui.modalActions.push_back(inWhen);
        start.GetItem<QPushButton>(IDC_START_SCHEDULE)->click();
        QVERIFY(ui.modalActions.empty());
    }
    // Whether the table in use holds entries of ours (the list of them then comes first).
    static bool HoldsEntries() {
        CCrontab* table = WizardApp().m_dispScheduler.GetCrontab();
        if (!table)
            return false;
        std::string read;
        return !table->Read(read) && !ReadScheduledEntries(read, kScheduleEventName).empty();
    }
    // Schedule presses New... in the list of entries by itself.
    bool listGoesOn = true;
    // Takes a profile's mark away on the setup page, as a click on its row does.
    void Uncheck(const std::string& name) {
        QTreeWidget* list = setup.m_listProfiles;
        const int row = FindItemByText(list, QString::fromStdString(name));
        QVERIFY(row >= 0 && setup.m_checks.IsChecked(row));
        SelectItem(list, row);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->topLevelItem(row)).center());
        QVERIFY(!setup.m_checks.IsChecked(row));
    }
    // The user's answer in the when-dialog.
    static std::function<void(QWidget*)> Answer(int kindId, int weekday, int day, QTime time) {
        return [=](QWidget* w) {
            for (QRadioButton* b : w->findChildren<QRadioButton*>())
                if (GetDlgCtrlID(b) == kindId)
                    b->click();
            w->findChild<QComboBox*>()->setCurrentIndex(weekday);
            w->findChild<QSpinBox*>()->setValue(day);
            w->findChild<QTimeEdit*>()->setTime(time);
            for (QPushButton* b : w->findChildren<QPushButton*>())
                if (GetDlgCtrlID(b) == IDOK)
                    b->click();
        };
    }
    // The command a user's entry must hold, as cron stores it.
    std::string ExpectedCommand(const std::vector<std::string>& args) const {
        std::string cmd = "FERNWICK_HOME=" + Sh(home.program().string()) +
                          " XDG_CONFIG_HOME=" + Sh((home.root() / "config").string()) +
                          " XDG_DATA_HOME=" + Sh((home.root() / "data").string()) + " " +
                          Sh(FW_BINARY);
        for (const std::string& a : args)
            cmd += " " + Sh(a);
        return CronEscaped(cmd);
    }
};

void ExpectOnlyMessage(const CScriptedUi& ui, const std::string& text, unsigned type) {
    QCOMPARE(ui.Messages(), std::vector<std::string>{text});
    QCOMPARE(ui.shown.back().caption, std::string("Fernwick"));
    QCOMPARE(ui.shown.back().type, type);
}

} // namespace

class ScheduleWizardTest : public QObject {
    Q_OBJECT
    CTestOptionsFolder m_config;

private slots:
    void cleanup() { QVERIFY(QApplication::topLevelWidgets().isEmpty()); }

    void zipDailyThroughTheDrivesPageThenMoveWeeklyWithoutIt() {
        Setup s;
        CScriptedUi ui;
        const fs::path archive = s.home.home() / "cleaned 100%.zip";
        const fs::path moveTo = s.home.root() / "moved $HOME `id` 50%";
        fs::create_directories(moveTo);
        s.Run(ui, [&] {
            // 1. Zip into a browsed archive, every day at 02:30. "Old Logs" is left out, and
            // "Whole Drive" needs the drives page.
            s.Schedule(
                ui,
                [&](CPropertySheet& wizard) {
                    QCOMPARE(wizard.GetActivePage(), &s.setup);
                    s.Uncheck("Old Logs");
                    wizard.PressButton(ID_WIZNEXT);
                    QCOMPARE(wizard.GetActivePage(), &s.drives);
                    QCOMPARE(QString::fromStdString(s.drives.m_strHeading),
                             QStringLiteral("Select the drives you want to scan for Whole Drive"));
                    s.drives.GetItem<QPushButton>(IDC_DRIVES_SELECT_ALL)->click();
                    wizard.PressButton(ID_WIZNEXT);
                    QCOMPARE(wizard.GetActivePage(), &s.dispose);
                    s.dispose.GetItem<QRadioButton>(1023)->click();
                    ui.fileAnswers = {(s.home.home() / "cleaned 100%").string()};
                    s.dispose.m_btnBrowse->click();
                    wizard.PressButton(ID_WIZFINISH);
                },
                Setup::Answer(IDC_WHEN_DAILY, 0, 1, QTime(2, 30)));
            ExpectOnlyMessage(ui, kScheduled, MB_OK);
            const std::string table = s.crontab->table;
            QCOMPARE(QString::fromStdString(table.substr(0, std::strlen(kUserTable) + 1)),
                     QString::fromUtf8(kUserTable) + QStringLiteral("\n"));
            const auto [when, command] = SplitEntry(Entry(table, 0));
            QCOMPARE(when, std::string("30 2 * * *"));
            QCOMPARE(QString::fromStdString(command),
                     QString::fromStdString(s.ExpectedCommand(
                         {"/r", std::string("/p") + kTempName + " Whole Drive ", "/dY", "/x1023",
                          "/m" + archive.string()})));
            QCOMPARE(Lines(table).size(), size_t(5));

            const CommandResult r = RunAsCron(s.home, command);
            QCOMPARE(r.exitCode, 0);
            QCOMPARE(QString::fromStdString(r.out), QString()); // cron mails nothing
            const std::string log = ReadTextFile(s.home.program() / "fwlog.txt");
            // Zipping keeps the files themselves; the archive holds the two found.
            QVERIFY(IsZipArchive(archive));
            const std::string zipped = ReadTextFile(archive);
            QVERIFY(zipped.find("one.tmp") != std::string::npos);
            QVERIFY(zipped.find("two.tmp") != std::string::npos);
            QVERIFY(zipped.find("keep.txt") == std::string::npos);
            QVERIFY(zipped.find("old.log") == std::string::npos);
            QVERIFY2(log.find((s.tree / "a" / "deeper" / "two.tmp").string() + " Zipped") !=
                         std::string::npos,
                     log.c_str());
            QVERIFY2(log.find("Scanning for Whole Drive") != std::string::npos, log.c_str());
            QVERIFY2(log.find((s.tree / "a" / "one.tmp").string()) != std::string::npos,
                     log.c_str());
            QVERIFY2(log.find("Drive Y: is not there") != std::string::npos, log.c_str());

            // 2. Move to a typed folder, every Wednesday at 23:05; no checked profile scans
            // whole drives, so the drives page is skipped and keeps its letters.
            ui.shown.clear();
            s.MakeFiles();
            s.Schedule(
                ui,
                [&](CPropertySheet& wizard) {
                    s.Uncheck("Old Logs");
                    s.Uncheck("Whole Drive");
                    wizard.PressButton(ID_WIZNEXT);
                    QCOMPARE(wizard.GetActivePage(), &s.dispose);
                    QVERIFY(!s.drives.GetSafeHwnd());
                    s.dispose.GetItem<QRadioButton>(1024)->click();
                    s.dispose.m_editDestination->setText(QString::fromStdString(moveTo.string()));
                    wizard.PressButton(ID_WIZFINISH);
                },
                Setup::Answer(IDC_WHEN_WEEKLY, 3, 1, QTime(23, 5)));
            ExpectOnlyMessage(ui, kScheduled, MB_OK);
            QVERIFY(s.crontab->table.rfind(table, 0) == 0); // the first entry stays as it was
            const auto [when2, command2] = SplitEntry(Entry(s.crontab->table, 1));
            QCOMPARE(when2, std::string("5 23 * * 3"));
            QCOMPARE(QString::fromStdString(command2),
                     QString::fromStdString(s.ExpectedCommand(
                         {"/r", std::string("/p") + kTempName + " ", "/dY", "/x1024",
                          "/m" + moveTo.string()})));

            fs::remove(s.home.program() / "fwlog.txt");
            const CommandResult r2 = RunAsCron(s.home, command2);
            QCOMPARE(r2.exitCode, 0);
            QCOMPARE(QString::fromStdString(r2.out), QString());
            QVERIFY(!fs::exists(s.tree / "a" / "one.tmp"));
            QVERIFY(fs::exists(s.tree / "b" / "old.log"));
            QCOMPARE(NamesUnder(moveTo), (std::set<std::string>{"one.tmp", "two.tmp"}));
            const std::string log2 = ReadTextFile(s.home.program() / "fwlog.txt");
            QVERIFY2(log2.find(std::string("Scanning for ") + kTempName) != std::string::npos,
                     log2.c_str());
            QVERIFY(log2.find("Whole Drive") == std::string::npos);
            s.sheet.PressButton(IDCANCEL);
        });
        QCOMPARE(s.crontab->writes, 2);
    }

    void monthlyCancelAndRefusedTables() {
        Setup s;
        CScriptedUi ui;
        s.Run(ui, [&] {
            const auto recycle = [&](CPropertySheet& wizard) {
                s.Uncheck("Whole Drive");
                wizard.PressButton(ID_WIZNEXT);
                s.dispose.GetItem<QRadioButton>(1025)->click();
                wizard.PressButton(ID_WIZFINISH);
            };
            // Every month on the 31st at midnight.
            s.Schedule(ui, recycle, Setup::Answer(IDC_WHEN_MONTHLY, 0, 31, QTime(0, 0)));
            ExpectOnlyMessage(ui, kScheduled, MB_OK);
            const std::string table = s.crontab->table;
            const auto [when, command] = SplitEntry(Entry(table, 0));
            QCOMPARE(when, std::string("0 0 31 * *"));
            QCOMPARE(QString::fromStdString(command),
                     QString::fromStdString(s.ExpectedCommand(
                         {"/r", std::string("/p") + kTempName + " Old Logs ", "/d", "/x1025", "/m"})));

            // The wizard cancelled, or the when-dialog cancelled: nothing read or written, no word.
            ui.shown.clear();
            s.Schedule(ui, [](CPropertySheet& wizard) { wizard.PressButton(IDCANCEL); }, {});
            s.Schedule(ui, recycle, [](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
            QVERIFY(ui.shown.empty());
            QCOMPARE(s.crontab->writes, 1);
            QCOMPARE(s.crontab->table, table);

            // crontab refuses: its words with a stop sign, and no confirmation.
            s.crontab->writeError = "crontab: your crontab is locked by another edit";
            s.Schedule(ui, recycle, Setup::Answer(IDC_WHEN_DAILY, 0, 1, QTime(1, 0)));
            ExpectOnlyMessage(ui, s.crontab->writeError, MB_OK | MB_ICONSTOP);
            QCOMPARE(s.crontab->table, table);
            ui.shown.clear();
            WizardApp().m_dispScheduler.SetCrontab(std::make_unique<CSilentFailure>());
            s.crontab = nullptr;
            s.Schedule(ui, recycle, Setup::Answer(IDC_WHEN_DAILY, 0, 1, QTime(1, 0)));
            ExpectOnlyMessage(ui, "Internal application error.", MB_OK | MB_ICONSTOP);
            s.sheet.PressButton(IDCANCEL);
        });
    }

    void anEmptyZipDestinationIsAskedForAndAStoppedCronDaemonIsTold() {
        Setup s;
        CScriptedUi ui;
        int asked = 0;
        bool running = false;
        g_cronDaemonRunning = [&] {
            ++asked;
            return running;
        };
        const fs::path archive = s.home.home() / "weekly.zip";
        s.Run(ui, [&] {
            // Zip with an empty field: Finish asks for the archive; cancelled, the wizard
            // stays and nothing is scheduled; answered, the archive is the destination.
            s.Schedule(
                ui,
                [&](CPropertySheet& wizard) {
                    s.Uncheck("Whole Drive");
                    wizard.PressButton(ID_WIZNEXT);
                    s.dispose.GetItem<QRadioButton>(1023)->click();
                    wizard.PressButton(ID_WIZFINISH);
                    QVERIFY(wizard.GetSafeHwnd()->isVisible());
                    QCOMPARE(wizard.GetActivePage(), &s.dispose);
                    QCOMPARE(ui.shown.size(), size_t(1));
                    QCOMPARE(ui.shown[0].kind, std::string("open"));
                    QCOMPARE(s.crontab->writes, 0);
                    ui.fileAnswers = {(s.home.home() / "weekly").string()};
                    wizard.PressButton(ID_WIZFINISH);
                },
                Setup::Answer(IDC_WHEN_DAILY, 0, 1, QTime(4, 0)));
            QCOMPARE(s.crontab->writes, 1);
            const auto [when, command] = SplitEntry(Entry(s.crontab->table, 0));
            QCOMPARE(QString::fromStdString(command),
                     QString::fromStdString(s.ExpectedCommand(
                         {"/r", std::string("/p") + kTempName + " Old Logs ", "/d", "/x1023",
                          "/m" + archive.string()})));
            // No cron daemon: a second word after the confirmation, saying how to start it.
            QCOMPARE(ui.Messages(), (std::vector<std::string>{kScheduled, kNoCronDaemon}));
            QCOMPARE(ui.shown.back().caption, std::string("Fernwick"));
            QCOMPARE(ui.shown.back().type, MB_OK | MB_ICONEXCLAMATION);
            QCOMPARE(asked, 1);

            const auto recycle = [&](CPropertySheet& wizard) {
                s.Uncheck("Whole Drive");
                wizard.PressButton(ID_WIZNEXT);
                s.dispose.GetItem<QRadioButton>(1025)->click();
                wizard.PressButton(ID_WIZFINISH);
            };
            // Nothing scheduled: the daemon is not asked about.
            ui.shown.clear();
            s.Schedule(ui, recycle, [](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
            QVERIFY(ui.shown.empty());
            QCOMPARE(asked, 1);
            // The daemon runs: the confirmation alone.
            running = true;
            s.Schedule(ui, recycle, Setup::Answer(IDC_WHEN_DAILY, 0, 1, QTime(5, 0)));
            ExpectOnlyMessage(ui, kScheduled, MB_OK);
            QCOMPARE(asked, 2);
            // The trash takes no destination: the archive still in the field is not scheduled.
            QCOMPARE(s.dispose.m_strDestination, archive.string());
            const auto [when2, command2] = SplitEntry(Entry(s.crontab->table, 1));
            QCOMPARE(QString::fromStdString(command2),
                     QString::fromStdString(s.ExpectedCommand(
                         {"/r", std::string("/p") + kTempName + " Old Logs ", "/d", "/x1025",
                          "/m"})));
            s.sheet.PressButton(IDCANCEL);
        });
    }

    void aCrontabProgramOnThePathStoresTheEntry() {
        Setup s;
        CScriptedUi ui;
        TempDir bin;
        const fs::path stored = bin.path() / "table";
        // Stores its input; -l prints it, or says the user has none.
        WriteTextFile(bin.path() / "crontab",
                      "#!/bin/sh\n"
                      "if [ \"$1\" = -l ]; then\n"
                      "  [ -f " + Sh(stored.string()) + " ] || { echo 'no crontab for tester' >&2; exit 1; }\n"
                      "  exec cat " + Sh(stored.string()) + "\n"
                      "fi\n"
                      "[ \"$1\" = - ] && exec cat > " + Sh(stored.string()) + "\n"
                      "exit 2\n");
        ::chmod((bin.path() / "crontab").c_str(), 0755);
        const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
        ::setenv("PATH", (bin.path().string() + ":" + oldPath).c_str(), 1);
        auto restore = qScopeGuard([&] { ::setenv("PATH", oldPath.c_str(), 1); });
        WizardApp().m_bSchedulerAvailable = WizardApp().m_dispScheduler.CreateDispatch();
        QVERIFY(WizardApp().m_bSchedulerAvailable);

        s.Run(ui, [&] {
            s.Schedule(
                ui,
                [&](CPropertySheet& wizard) {
                    s.Uncheck("Whole Drive");
                    s.Uncheck("Old Logs");
                    wizard.PressButton(ID_WIZNEXT);
                    s.dispose.GetItem<QRadioButton>(1025)->click();
                    wizard.PressButton(ID_WIZFINISH);
                },
                Setup::Answer(IDC_WHEN_WEEKLY, 0, 1, QTime(7, 45)));
            ExpectOnlyMessage(ui, kScheduled, MB_OK);
            s.sheet.PressButton(IDCANCEL);
        });
        const std::string table = ReadTextFile(stored);
        const std::vector<std::string> lines = Lines(table);
        QCOMPARE(lines.size(), size_t(2));
        QCOMPARE(lines[0], std::string("# Fernwick scan"));
        const auto [when, command] = SplitEntry(lines[1]);
        QCOMPARE(when, std::string("45 7 * * 0"));
        const CommandResult r = RunAsCron(s.home, command);
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(QString::fromStdString(r.out), QString());
        QVERIFY(!fs::exists(s.tree / "a" / "one.tmp"));
        QVERIFY(fs::exists(s.home.root() / "data" / "Trash" / "files" / "one.tmp"));
        QVERIFY(fs::exists(s.tree / "b" / "old.log"));
    }

    void withoutCrontabScheduleOffersTheDownload() {
        Setup s;
        CScriptedUi ui;
        TempDir empty;
        const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
        ::setenv("PATH", empty.path().c_str(), 1);
        auto restore = qScopeGuard([&] { ::setenv("PATH", oldPath.c_str(), 1); });
        WizardApp().m_bSchedulerAvailable = WizardApp().m_dispScheduler.CreateDispatch();
        QVERIFY(!WizardApp().m_bSchedulerAvailable);
        s.Run(ui, [&] {
            ui.messageAnswers = {IDNO, IDCANCEL, IDYES};
            for (int i = 0; i < 3; ++i)
                s.start.GetItem<QPushButton>(IDC_START_SCHEDULE)->click();
            s.sheet.PressButton(IDCANCEL);
        });
        QCOMPARE(ui.shown.size(), size_t(4));
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(ui.shown[i].text, std::string(kDownloadOffer));
            QCOMPARE(ui.shown[i].caption, std::string("Fernwick"));
            QCOMPARE(ui.shown[i].type, unsigned(MB_YESNOCANCEL | MB_ICONQUESTION));
        }
        // Only Yes opens the web site; no wizard was shown.
        QCOMPARE(ui.shown[3].kind, std::string("shell"));
        QCOMPARE(ui.shown[3].text, std::string(kWebSiteUrl));
        QVERIFY(!s.setup.GetSafeHwnd() && !s.setup.m_listProfiles);
    }

    void scheduledCleaningsAreListedAndRemovedAfterAsking() {
        Setup s;
        CScriptedUi ui;
        const auto line = [](CronWhen::Kind kind, int dayOrWeekday, int h, int m,
                             const std::string& profiles, int method, const std::string& dest) {
            CronWhen when;
            when.kind = kind;
            when.weekday = when.dayOfMonth = dayOrWeekday;
            when.hour = h;
            when.minute = m;
            return BuildEntry(when, FW_BINARY,
                                  BuildScheduledParameters(profiles, "", method, dest), {})
                .line;
        };
        const std::string handEdited = "*/5 * * * * fernwick /r > /dev/null";
        std::string table = std::string(kUserTable) + "\n";
        table = AppendCronEntry(table, kScheduleEventName,
                                line(CronWhen::Daily, 0, 7, 14, std::string(kTempName) + " Old Logs ",
                                     1022, ""));
        table = AppendCronEntry(table, kScheduleEventName,
                                line(CronWhen::Weekly, 5, 12, 30, "Old Logs ", 1023, "/a/b.zip"));
        table += "# the user's own\n";
        table = AppendCronEntry(table, kScheduleEventName, handEdited);
        table = AppendCronEntry(table, kScheduleEventName,
                                line(CronWhen::Monthly, 1, 8, 0, "Whole Drive ", 1024, "/moved"));
        s.crontab->table = table;
        const std::vector<ScheduledEntry> entries = ReadScheduledEntries(table, kScheduleEventName);
        QCOMPARE(entries.size(), size_t(4));

        const auto row = [](QTreeWidget* list, int r) {
            QStringList texts;
            for (int c = 0; c < list->columnCount(); ++c)
                texts << list->topLevelItem(r)->text(c);
            return texts;
        };
        bool listed = false;
        s.Run(ui, [&] {
            ui.modalActions.push_back([&](QWidget* w) {
                auto guard = qScopeGuard([w] {
                    if (w->isVisible())
                        static_cast<QDialog*>(w)->reject();
                });
                QCOMPARE(w->windowTitle(), QStringLiteral("Scheduled Cleanings"));
                auto* list = w->findChild<QTreeWidget*>();
                QVERIFY(list);
                QCOMPARE(list->topLevelItemCount(), 4);
                QCOMPARE(list->headerItem()->text(0), QStringLiteral("When"));
                QCOMPARE(list->headerItem()->text(3), QStringLiteral("Destination"));
                QCOMPARE(row(list, 0),
                         (QStringList{QStringLiteral("Every day at 07:14"),
                                      QString::fromUtf8(kTempName) + QStringLiteral(", Old Logs"),
                                      QStringLiteral("Delete"), QString()}));
                QCOMPARE(row(list, 1), (QStringList{QStringLiteral("Every Friday at 12:30"),
                                                    QStringLiteral("Old Logs"), QStringLiteral("Zip"),
                                                    QStringLiteral("/a/b.zip")}));
                QCOMPARE(list->topLevelItem(2)->text(0), QString::fromStdString(handEdited));
                QCOMPARE(row(list, 3),
                         (QStringList{QStringLiteral("Every month on day 1 at 08:00"),
                                      QStringLiteral("Whole Drive"), QStringLiteral("Move"),
                                      QStringLiteral("/moved")}));

                // No: the question is asked, No is its default, nothing changes.
                SelectItem(list, 1);
                list->setCurrentItem(list->topLevelItem(1));
                ui.messageAnswers = {IDNO};
                PressDlgButton(w, IDC_SCHEDULES_REMOVE);
                QCOMPARE(ui.shown.size(), size_t(1));
                QCOMPARE(ui.shown[0].text, std::string("Are you sure you want to remove the "
                                                       "scheduled cleaning Every Friday at 12:30 "
                                                       "(Old Logs, Zip)?"));
                QCOMPARE(ui.shown[0].caption, std::string("Fernwick"));
                QCOMPARE(ui.shown[0].type, unsigned(MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2));
                QCOMPARE(s.crontab->writes, 0);
                QCOMPARE(list->topLevelItemCount(), 4);

                // Yes: that entry and its comment go, every other line stays as it was.
                ui.messageAnswers = {IDYES};
                PressDlgButton(w, IDC_SCHEDULES_REMOVE);
                QCOMPARE(s.crontab->writes, 1);
                const std::string after = *RemoveScheduledEntry(table, entries[1], kScheduleEventName);
                QCOMPARE(s.crontab->table, after);
                QCOMPARE(list->topLevelItemCount(), 3);
                QCOMPARE(list->topLevelItem(1)->text(0), QString::fromStdString(handEdited));
                QCOMPARE(GetFirstSelectedItem(list), 1);

                // The hand-edited entry can be removed as well.
                ui.shown.clear();
                ui.messageAnswers = {IDYES};
                PressDlgButton(w, IDC_SCHEDULES_REMOVE);
                QCOMPARE(ui.shown.size(), size_t(1));
                QCOMPARE(ui.shown[0].text, "Are you sure you want to remove the scheduled "
                                           "cleaning " + handEdited + "?");
                QCOMPARE(list->topLevelItemCount(), 2);
                const std::vector<ScheduledEntry> left =
                    ReadScheduledEntries(s.crontab->table, kScheduleEventName);
                QCOMPARE(left.size(), size_t(2));
                QCOMPARE(left[0].line, entries[0].line);
                QCOMPARE(left[1].line, entries[3].line);
                QVERIFY(s.crontab->table.find("# the user's own\n") != std::string::npos);
                QVERIFY(s.crontab->table.rfind(std::string(kUserTable) + "\n", 0) == 0);

                // A table changed since it was listed is not written; the list shows it anew.
                ui.shown.clear();
                s.crontab->table = "# put in front\n" + s.crontab->table;
                const std::string changed = s.crontab->table;
                SelectItem(list, 0);
                list->setCurrentItem(list->topLevelItem(0));
                ui.messageAnswers = {IDYES};
                PressDlgButton(w, IDC_SCHEDULES_REMOVE);
                QCOMPARE(s.crontab->table, changed);
                QCOMPARE(ui.Messages().size(), size_t(2));
                QCOMPARE(ui.shown[1].type, unsigned(MB_OK | MB_ICONEXCLAMATION));
                QCOMPARE(list->topLevelItemCount(), 2);

                // crontab refuses the write: its words with a stop sign, the table as it was.
                ui.shown.clear();
                s.crontab->writeError = "crontab: your crontab is locked";
                ui.messageAnswers = {IDYES};
                PressDlgButton(w, IDC_SCHEDULES_REMOVE);
                QCOMPARE(ui.Messages().back(), s.crontab->writeError);
                QCOMPARE(ui.shown.back().type, unsigned(MB_OK | MB_ICONSTOP));
                QCOMPARE(s.crontab->table, changed);
                listed = true;
                PressDlgButton(w, IDCANCEL);
            });
            s.start.GetItem<QPushButton>(IDC_START_SCHEDULE)->click();
            QVERIFY(ui.modalActions.empty());
            s.sheet.PressButton(IDCANCEL);
        });
        QVERIFY(listed);
        // Close ends it there: no wizard.
        QVERIFY(!s.setup.GetSafeHwnd() && !s.setup.m_listProfiles);
    }

    void newGoesOnToTheWizardAndWithoutEntriesTheWizardComesStraightAway() {
        Setup s;
        CScriptedUi ui;
        // A marker with no command line after it, and a commented-out entry: none of ours.
        s.crontab->table = std::string(kUserTable) + "\n# Fernwick scan\n\n# Fernwick scan\n#0 1 * * * x\n";
        const auto trash = [&](CPropertySheet& wizard) {
            s.Uncheck("Whole Drive");
            wizard.PressButton(ID_WIZNEXT);
            s.dispose.GetItem<QRadioButton>(1025)->click();
            wizard.PressButton(ID_WIZFINISH);
        };
        s.Run(ui, [&] {
            // Straight to the wizard: Schedule's helper expects the wizard as the first window.
            s.Schedule(ui, trash, Setup::Answer(IDC_WHEN_DAILY, 0, 1, QTime(6, 15)));
            ExpectOnlyMessage(ui, kScheduled, MB_OK);
            QCOMPARE(ReadScheduledEntries(s.crontab->table, kScheduleEventName).size(), size_t(1));

            // Now there is one: the list shows it, and New... goes on to the wizard.
            ui.shown.clear();
            bool listed = false;
            ui.modalActions.push_back([&](QWidget* w) {
                auto* list = w->findChild<QTreeWidget*>();
                QVERIFY(list);
                QCOMPARE(list->topLevelItemCount(), 1);
                QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("Every day at 06:15"));
                QCOMPARE(list->topLevelItem(0)->text(2), QStringLiteral("Move to Trash"));
                listed = true;
                PressDlgButton(w, IDC_SCHEDULES_NEW);
            });
            s.listGoesOn = false; // the list is answered above
            s.Schedule(ui, trash, Setup::Answer(IDC_WHEN_WEEKLY, 2, 1, QTime(18, 0)));
            QVERIFY(listed);
            ExpectOnlyMessage(ui, kScheduled, MB_OK);
            const auto entries = ReadScheduledEntries(s.crontab->table, kScheduleEventName);
            QCOMPARE(entries.size(), size_t(2));
            QCOMPARE(CronTimeFields(entries[1].when), std::string("0 18 * * 2"));
            s.sheet.PressButton(IDCANCEL);
        });
    }

    void theRunningProgramIsNamedByItsRealPath() {
        const std::string path = RunningProgramPath();
        QVERIFY(fs::path(path).is_absolute());
        QCOMPARE(path, fs::canonical("/proc/self/exe").string());
        QCOMPARE(fs::path(path).filename().string(), std::string("schedule_wizard_tests"));
    }
};

QTEST_MAIN(ScheduleWizardTest)
#include "ScheduleWizardTest.moc"
