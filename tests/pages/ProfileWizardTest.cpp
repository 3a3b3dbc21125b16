// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// The start page's Add and Edit run the whole "Profile" sheet as a user would; after each
// step the start page's rows and settings.dat are checked, and a new profile is scanned at once,
// in the wizard and by the program's preview.
#include "../framework/TestPages.h"
#include "ProfileSheetDriver.h"
#include "pages/CWizardApp.h"
#include "controls/CResultsListSink.h"
#include "controls/ListViewHelpers.h"
#include "pages/CScanPage.h"
#include "pages/CStartPage.h"
#include "profiles/CProfileList.h"
#include "profiles/SettingsFile.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"
#include "support/TestOptionsFolder.h"

#include <QtCore/QSettings>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QRadioButton>
#include <QtWidgets/QTreeWidget>
#include <filesystem>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// The main wizard's first pages: start, drives (a stand-in), scan.
struct Wizard {
    CStartPage start;
    CTestPage drives{"Drives"};
    CScanPage scan;
    CPropertySheet sheet;
    Wizard() {
        sheet.AddPage(&start);
        sheet.AddPage(&drives);
        sheet.AddPage(&scan);
        start.m_pNextAfterDrives = &scan;
        scan.m_isProfileChecked = [this](const CProfile& p) { return start.IsProfileChecked(p); };
        scan.m_checkedDrives = [] { return std::vector<ScanDrive>{}; };
        scan.m_pStartPage = &start;
    }
    std::vector<std::string> Rows() const {
        std::vector<std::string> rows;
        for (int r = 0; start.m_lstProfiles && r < start.m_lstProfiles->topLevelItemCount(); ++r)
            rows.push_back(start.m_lstProfiles->topLevelItem(r)->text(0).toStdString());
        return rows;
    }
    std::vector<bool> Checks() const { return start.m_checks.GetChecks(); }
    // Short names fit the list without a horizontal scroll bar, however often rows were rebuilt.
    bool NamesFit() const {
        const QTreeWidget* list = start.m_lstProfiles;
        return list->columnWidth(0) <= list->width() - 2 * list->frameWidth();
    }
    void Click(int id) { start.GetItem<QPushButton>(id)->click(); }
    void ClickRow(int row) {
        QTreeWidget* list = start.m_lstProfiles;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->topLevelItem(row)).center());
    }
    // The "Profile" sheet while it runs.
    CPropertySheet* Profile() const { return start.m_pageNewProfile.GetSheet(); }
};

// Runs the main wizard with the steps once it is up.
int Run(Wizard& wiz, CScriptedUi& ui, std::function<void()> steps) {
    ui.modalActions.push_back([&wiz, steps](QWidget*) {
        steps();
        if (wiz.sheet.GetSafeHwnd() && wiz.sheet.GetSafeHwnd()->isVisible())
            wiz.sheet.EndDialog(-1);
    });
    return wiz.sheet.DoModal();
}

// Clicks a start-page button that runs the "Profile" sheet, with the steps inside it; the
// sheet is cancelled if the steps leave it open.
void InProfileSheet(Wizard& wiz, CScriptedUi& ui, int button,
                    std::function<void(CPropertySheet&)> steps) {
    ui.modalActions.push_back([&wiz, steps](QWidget*) {
        CPropertySheet* sheet = wiz.Profile();
        QVERIFY(sheet);
        auto guard = qScopeGuard([sheet] {
            if (sheet->GetSafeHwnd() && sheet->GetSafeHwnd()->isVisible())
                sheet->PressButton(IDCANCEL);
        });
        steps(*sheet);
    });
    wiz.Click(button);
}

void Type(CPropertyPage& page, int id, const std::string& text) {
    page.GetItem<QLineEdit>(id)->setText(QString::fromStdString(text));
}

// Add on the start page: a profile of that name, everything else as the sheet starts it.
void AddProfileNamed(Wizard& wiz, CScriptedUi& ui, const std::string& name) {
    InProfileSheet(wiz, ui, IDC_START_ADD, [&wiz, name](CPropertySheet& sheet) {
        Type(wiz.start.m_pageNewProfile, IDC_PROFILE_NAME, name);
        sheet.PressButton(ID_WIZNEXT);
        sheet.PressButton(ID_WIZNEXT);
        sheet.PressButton(ID_WIZFINISH);
    });
}

// As QStrings, so that a difference is shown.
QString SettingsFile(const ScopedTestHome& home) {
    return QString::fromStdString(ReadTextFile(home.program() / kSettingsFileName));
}

// One profile block as settings.dat holds it.
std::string Block(const std::string& name, int scope, const std::vector<std::string>& folders,
                  const std::vector<std::string>& patterns, const std::vector<std::string>& names,
                  const std::string& limits) {
    std::string b = name + "\n" + std::to_string(scope) + "\n";
    for (const auto* list : {&folders, &patterns, &names}) {
        b += std::to_string(list->size()) + "\n";
        for (const std::string& v : *list)
            b += v + "\n";
    }
    return b + limits;
}

const char* const kNoLimits = "0\n0\n-1\n1\n1\n1980\n";

QString File(std::initializer_list<std::string> blocks) {
    std::string f = std::string(kSettingsMagic) + "\n" + std::to_string(blocks.size()) + "\n";
    for (const std::string& b : blocks)
        f += b;
    return QString::fromStdString(f);
}

} // namespace

class ProfileWizardTest : public QObject {
    Q_OBJECT
    CTestOptionsFolder m_config;

  private slots:
    void cleanup() {
        g_profiles.RemoveAll();
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void addAndEditProfilesAsAUserWould() {
        ScopedTestHome home;
        CScriptedUi ui;
        const fs::path tree = home.root() / "tree";
        fs::create_directories(tree);
        auto existing = std::make_unique<CProfile>();
        existing->m_strName = "Existing";
        existing->m_lstPatterns = {"*.old"};
        g_profiles.AddTail(std::move(existing));
        QCOMPARE(g_profiles.Save().Text(), std::string());
        const std::string existingBlock =
            Block("Existing", 1069, {}, {"*.old"}, {}, "0\n0\n0\n1\n1\n1980\n");

        Wizard wiz;
        CNewProfilePage& first = wiz.start.m_pageNewProfile;
        CFolders2ScanPage& folders = wiz.start.m_pageFolders2Scan;
        CPatternsPage& patterns = wiz.start.m_pagePatterns;
        CFilePropsPage& props = wiz.start.m_pageFileProps;
        Run(wiz, ui, [&] {
            // 1. A whole-drive profile: the folders page is not shown; CHK unchecked.
            InProfileSheet(wiz, ui, IDC_START_ADD, [&](CPropertySheet& sheet) {
                QCOMPARE(sheet.GetSafeHwnd()->windowTitle(), QStringLiteral("Profile"));
                QCOMPARE(g_nProfileMode, PROFILE_MODE_ADD);
                QCOMPARE(WizardApp().m_pPatternsPage, &patterns);
                Type(first, IDC_PROFILE_NAME, "Drive Junk");
                sheet.PressButton(ID_WIZNEXT);
                QCOMPARE(sheet.GetActivePage(), &patterns);
                patterns.GetItem<QCheckBox>(IDC_PAT_CHK)->click();
                AnswerInput(ui, {"*.junk"});
                patterns.GetItem<QPushButton>(IDC_ADD_PATTERN)->click();
                sheet.PressButton(ID_WIZNEXT);
                QCOMPARE(sheet.GetActivePage(), &props);
                sheet.PressButton(ID_WIZFINISH);
            });
            QVERIFY(WizardApp().m_pPatternsPage == nullptr);
            QCOMPARE(wiz.Rows(), (std::vector<std::string>{"Drive Junk", "Existing"}));
            QCOMPARE(wiz.Checks(), (std::vector<bool>{true, true}));
            const std::string driveBlock =
                Block("Drive Junk", 1069, {}, {"*.TMP", "~*.*", "*.~*", "*.junk"}, {}, kNoLimits);
            QCOMPARE(SettingsFile(home), File({driveBlock, existingBlock}));

            // 2. A listed-folder profile, the browser answering once with no folder. The pages
            // show a new profile's values, not what the last Add left.
            wiz.ClickRow(1);
            QCOMPARE(wiz.Checks(), (std::vector<bool>{true, false}));
            ui.folderAnswers = {std::string(), tree.string()};
            InProfileSheet(wiz, ui, IDC_START_ADD, [&](CPropertySheet& sheet) {
                QCOMPARE(first.GetItem<QLineEdit>(IDC_PROFILE_NAME)->text(), QString());
                QVERIFY(first.IsItemChecked(IDC_SCOPE_ALL_FOLDERS));
                Type(first, IDC_PROFILE_NAME, "Listed");
                first.GetItem<QRadioButton>(IDC_SCOPE_LISTED_FOLDERS)->click();
                sheet.PressButton(ID_WIZNEXT);
                QCOMPARE(sheet.GetActivePage(), &folders);
                QVERIFY(Entries(folders.m_lbScanFolders).empty());
                folders.GetItem<QPushButton>(IDC_SCANFOLDERS_ADD)->click();
                QCOMPARE(ui.Messages(),
                         std::vector<std::string>{"That folder is not scannable by Fernwick."});
                QCOMPARE(Entries(folders.m_lbScanFolders), std::vector<std::string>{tree.string()});
                sheet.PressButton(ID_WIZNEXT);
                QCOMPARE(sheet.GetActivePage(), &patterns);
                QVERIFY(patterns.IsItemChecked(IDC_PAT_CHK));
                QVERIFY(Entries(patterns.m_lbPatterns).empty());
                AnswerInput(ui, {"*.exe"});
                patterns.GetItem<QPushButton>(IDC_ADD_PATTERN)->click();
                AnswerInput(ui, {"*.ex"});
                patterns.GetItem<QPushButton>(IDC_ADD_PATTERN)->click();
                AnswerInput(ui, {"cache"});
                patterns.GetItem<QPushButton>(IDC_ADD_FOLDER)->click();
                sheet.PressButton(ID_WIZNEXT);
                QVERIFY(!props.IsItemChecked(IDC_USE_LIMITS));
                sheet.PressButton(ID_WIZFINISH);
            });
            QCOMPARE(ui.Messages().size(), size_t(2)); // not scannable, and the program file
            QCOMPARE(wiz.Rows(), (std::vector<std::string>{"Listed", "Drive Junk", "Existing"}));
            QCOMPARE(wiz.Checks(), (std::vector<bool>{true, true, false}));
            QVERIFY(wiz.NamesFit());
            const std::string listedBlock =
                Block("Listed", 1068, {tree.string()}, {"*.TMP", "*.CHK", "~*.*", "*.~*", "*.ex"},
                      {"cache"}, kNoLimits);
            QCOMPARE(SettingsFile(home), File({listedBlock, driveBlock, existingBlock}));

            // 3. Edit it: renamed, a pattern and a folder name removed, limits on with a
            // maximum of 100000. Its row keeps its check mark (cleared here first).
            wiz.ClickRow(0);
            QCOMPARE(wiz.Checks(), (std::vector<bool>{false, true, false}));
            InProfileSheet(wiz, ui, IDC_START_EDIT, [&](CPropertySheet& sheet) {
                QCOMPARE(g_nProfileMode, PROFILE_MODE_EDIT);
                QCOMPARE(g_pEditProfile, g_profiles.FindByName("Listed"));
                QCOMPARE(first.GetItem<QLineEdit>(IDC_PROFILE_NAME)->text(),
                         QStringLiteral("Listed"));
                QVERIFY(!first.GetItem<QRadioButton>(IDC_SCOPE_LISTED_FOLDERS)->isEnabled());
                QVERIFY(first.IsItemChecked(IDC_SCOPE_LISTED_FOLDERS));
                Type(first, IDC_PROFILE_NAME, "Listed Renamed");
                sheet.PressButton(ID_WIZNEXT);
                QCOMPARE(Entries(folders.m_lbScanFolders), std::vector<std::string>{tree.string()});
                sheet.PressButton(ID_WIZNEXT);
                QCOMPARE(Entries(patterns.m_lbPatterns), std::vector<std::string>{"*.ex"});
                SelectEntry(patterns.m_lbPatterns, "*.ex");
                SelectEntry(patterns.m_lbFolders, "cache");
                ui.messageAnswers = {IDYES, IDYES};
                patterns.GetItem<QPushButton>(IDC_DELETE_PATTERN)->click();
                patterns.GetItem<QPushButton>(IDC_DELETE_FOLDER)->click();
                sheet.PressButton(ID_WIZNEXT);
                props.GetItem<QCheckBox>(IDC_USE_LIMITS)->click();
                Type(props, IDC_MAX_SIZE, "100000");
                sheet.PressButton(ID_WIZFINISH);
            });
            QCOMPARE(wiz.Rows(),
                     (std::vector<std::string>{"Listed Renamed", "Drive Junk", "Existing"}));
            QCOMPARE(wiz.Checks(), (std::vector<bool>{false, true, false}));
            QVERIFY(g_profiles.FindByName("Listed") == nullptr);
            const std::string renamed =
                "Listed Renamed\n1068\n1\n" + tree.string() + "\n4\n*.TMP\n*.CHK\n~*.*\n*.~*\n0\n";
            QCOMPARE(SettingsFile(home),
                     File({renamed + "1\n0\n100000\n1\n1\n1980\n", driveBlock, existingBlock}));

            // 4. Limits off again: the values stay, switched off.
            InProfileSheet(wiz, ui, IDC_START_EDIT, [&](CPropertySheet& sheet) {
                sheet.PressButton(ID_WIZNEXT);
                sheet.PressButton(ID_WIZNEXT);
                sheet.PressButton(ID_WIZNEXT);
                QCOMPARE(sheet.GetActivePage(), &props);
                QVERIFY(props.IsItemChecked(IDC_USE_LIMITS));
                QCOMPARE(props.GetItem<QLineEdit>(IDC_MAX_SIZE)->text(), QStringLiteral("100000"));
                QVERIFY(props.GetItem<QLineEdit>(IDC_MAX_SIZE)->isEnabled());
                props.GetItem<QCheckBox>(IDC_USE_LIMITS)->click();
                QVERIFY(!props.GetItem<QLineEdit>(IDC_MAX_SIZE)->isEnabled());
                sheet.PressButton(ID_WIZFINISH);
            });
            const QString limitsOff =
                File({renamed + "0\n0\n100000\n1\n1\n1980\n", driveBlock, existingBlock});
            QCOMPARE(SettingsFile(home), limitsOff);

            // 5. Edit of the whole-drive profile keeps its scope and its empty folder list;
            // Add after an Edit starts from a new profile's values; Cancel changes nothing.
            wiz.start.m_lstProfiles->clearSelection();
            SelectItem(wiz.start.m_lstProfiles, 1);
            InProfileSheet(wiz, ui, IDC_START_EDIT, [&](CPropertySheet& sheet) {
                QVERIFY(first.IsItemChecked(IDC_SCOPE_ALL_FOLDERS));
                sheet.PressButton(ID_WIZNEXT);
                QCOMPARE(sheet.GetActivePage(), &patterns);
                QVERIFY(!patterns.IsItemChecked(IDC_PAT_CHK));
                QCOMPARE(Entries(patterns.m_lbPatterns), std::vector<std::string>{"*.junk"});
                sheet.PressButton(ID_WIZNEXT);
                sheet.PressButton(ID_WIZFINISH);
            });
            QCOMPARE(SettingsFile(home), limitsOff);
            QCOMPARE(wiz.Checks(), (std::vector<bool>{false, true, false}));

            InProfileSheet(wiz, ui, IDC_START_ADD, [&](CPropertySheet& sheet) {
                QCOMPARE(first.GetItem<QLineEdit>(IDC_PROFILE_NAME)->text(), QString());
                QVERIFY(first.IsItemChecked(IDC_SCOPE_ALL_FOLDERS));
                QVERIFY(first.GetItem<QRadioButton>(IDC_SCOPE_LISTED_FOLDERS)->isEnabled());
                Type(first, IDC_PROFILE_NAME, "Cancelled");
                sheet.PressButton(ID_WIZNEXT);
                for (auto [id, checked] : {std::pair{IDC_PAT_TMP, true},
                                           {IDC_PAT_BAK, false},
                                           {IDC_PAT_CHK, true},
                                           {IDC_PAT_OLD, false},
                                           {IDC_PAT_TILDE_NAME, true},
                                           {IDC_PAT_TILDE_EXT, true}})
                    QCOMPARE(patterns.IsItemChecked(id), checked);
                QVERIFY(Entries(patterns.m_lbPatterns).empty());
                QVERIFY(Entries(patterns.m_lbFolders).empty());
                sheet.PressButton(ID_WIZNEXT);
                QVERIFY(!props.IsItemChecked(IDC_USE_LIMITS));
                const std::pair<int, const char*> values[] = {{IDC_MIN_SIZE, "0"},
                                                              {IDC_MAX_SIZE, "4294967295"},
                                                              {IDC_MONTH, "1"},
                                                              {IDC_DAY, "1"},
                                                              {IDC_YEAR, "1980"}};
                for (auto [id, text] : values) {
                    QCOMPARE(props.GetItem<QLineEdit>(id)->text(), QString::fromUtf8(text));
                    QVERIFY(!props.GetItem<QLineEdit>(id)->isEnabled());
                }
                sheet.PressButton(IDCANCEL);
            });
            QCOMPARE(SettingsFile(home), limitsOff);
            QCOMPARE(wiz.Rows(),
                     (std::vector<std::string>{"Listed Renamed", "Drive Junk", "Existing"}));
            QCOMPARE(g_profiles.GetCount(), size_t(3));
            QVERIFY(g_pEditProfile == nullptr);
            wiz.sheet.PressButton(IDCANCEL);
        });
        QVERIFY(ui.modalActions.empty());
    }

    void aNewProfileIsScannedAtOnceAndThePreviewListsTheSameFiles() {
        ScopedTestHome home;
        CScriptedUi ui;
        const fs::path tree = home.root() / "tree";
        for (const char* name : {"a.tmp", "b.chk", "~lock", "c.ex", "d.exe", "keep.txt",
                                 "cache/anything.dat", "cache/sub/deep.dat", "sub/e.tmp"})
            WriteTextFile(tree / name, "data");
        const std::set<std::string> expected = {(tree / "a.tmp").string(),
                                                (tree / "b.chk").string(),
                                                (tree / "~lock").string(),
                                                (tree / "c.ex").string(),
                                                (tree / "cache" / "anything.dat").string(),
                                                (tree / "sub" / "e.tmp").string()};
        auto other = std::make_unique<CProfile>();
        other->m_strName = "Whole Drive";
        other->m_lstPatterns = {"*.txt"};
        g_profiles.AddTail(std::move(other));

        Wizard wiz;
        std::set<std::string> scanned;
        Run(wiz, ui, [&] {
            ui.folderAnswers = {tree.string()};
            InProfileSheet(wiz, ui, IDC_START_ADD, [&](CPropertySheet& sheet) {
                Type(wiz.start.m_pageNewProfile, IDC_PROFILE_NAME, "Fresh");
                wiz.start.m_pageNewProfile.GetItem<QRadioButton>(IDC_SCOPE_LISTED_FOLDERS)->click();
                sheet.PressButton(ID_WIZNEXT);
                wiz.start.m_pageFolders2Scan.GetItem<QPushButton>(IDC_SCANFOLDERS_ADD)->click();
                sheet.PressButton(ID_WIZNEXT);
                AnswerInput(ui, {"*.ex"});
                wiz.start.m_pagePatterns.GetItem<QPushButton>(IDC_ADD_PATTERN)->click();
                AnswerInput(ui, {"cache"});
                wiz.start.m_pagePatterns.GetItem<QPushButton>(IDC_ADD_FOLDER)->click();
                sheet.PressButton(ID_WIZNEXT);
                sheet.PressButton(ID_WIZFINISH);
            });
            QCOMPARE(wiz.Rows(), (std::vector<std::string>{"Fresh", "Whole Drive"}));
            // Only the new profile: Next goes straight to the scan page.
            wiz.ClickRow(1);
            wiz.sheet.PressButton(ID_WIZNEXT);
            QCOMPARE(wiz.sheet.GetActivePage(), &wiz.scan);
            wiz.scan.OnStartScanning();
            CFoundFilesView* results = wiz.scan.m_listResults;
            for (int r = 0; r < results->RowCount(); ++r)
                scanned.insert(
                    results->Text(r, CResultsListSink::kColPath).toStdString());
            wiz.sheet.PressButton(IDCANCEL);
        });
        QCOMPARE(scanned, expected);

        const CommandResult preview = RunCommand("", FW_BINARY, "--preview /pFresh");
        QCOMPARE(preview.exitCode, 0);
        std::set<std::string> previewed;
        std::istringstream lines(preview.out);
        for (std::string line; std::getline(lines, line);)
            if (const size_t tab = line.rfind('\t'); tab != std::string::npos && line[0] != '#')
                previewed.insert(line.substr(tab + 1));
        QCOMPARE(previewed, expected);
        QVERIFY2(preview.out.find("# 6 files, 24 bytes") != std::string::npos, preview.out.c_str());
    }

    void ofTwoProfilesWithOneNameTheHeadmostIsEditedAndItsRowChanges() {
        ScopedTestHome home;
        CScriptedUi ui;
        for (const char* pattern : {"*.one", "*.two"}) {
            auto twin = std::make_unique<CProfile>();
            twin->m_strName = "Twin";
            twin->m_lstPatterns = {pattern};
            g_profiles.AddTail(std::move(twin));
        }
        Wizard wiz;
        Run(wiz, ui, [&] {
            wiz.ClickRow(0); // the first row unchecked, the second selected and checked
            wiz.start.m_lstProfiles->clearSelection();
            SelectItem(wiz.start.m_lstProfiles, 1);
            InProfileSheet(wiz, ui, IDC_START_EDIT, [&](CPropertySheet& sheet) {
                Type(wiz.start.m_pageNewProfile, IDC_PROFILE_NAME, "Twin A");
                sheet.PressButton(ID_WIZNEXT);
                QCOMPARE(Entries(wiz.start.m_pagePatterns.m_lbPatterns),
                         std::vector<std::string>{"*.one"});
                sheet.PressButton(ID_WIZNEXT);
                sheet.PressButton(ID_WIZFINISH);
            });
            // The rows show the store as it is now, each keeping its mark.
            QCOMPARE(wiz.Rows(), (std::vector<std::string>{"Twin A", "Twin"}));
            QCOMPARE(wiz.Checks(), (std::vector<bool>{false, true}));
            QCOMPARE(g_profiles.FindByName("Twin")->m_lstPatterns,
                     std::vector<std::string>{"*.two"});
            wiz.sheet.PressButton(IDCANCEL);
        });
    }

    void aStoredFileWithTwoProfilesOfOneNameKeepsBothAndAddRefusesTheName() {
        ScopedTestHome home;
        CScriptedUi ui;
        auto fresh = qScopeGuard([] { g_profiles = CProfileList(); });
        const std::string one = Block("Twin", 1069, {}, {"*.one"}, {}, kNoLimits);
        const std::string two = Block("Twin", 1069, {}, {"*.two"}, {}, kNoLimits);
        WriteTextFile(home.program() / kSettingsFileName, File({one, two}).toStdString());
        g_profiles.LoadAndMerge();
        QCOMPARE(g_profiles.GetCount(), size_t(2));
        QCOMPARE(std::next(g_profiles.begin())->m_lstPatterns, std::vector<std::string>{"*.two"});

        Wizard wiz;
        Run(wiz, ui, [&] {
            QCOMPARE(wiz.Rows(), (std::vector<std::string>{"Twin", "Twin"}));
            InProfileSheet(wiz, ui, IDC_START_ADD, [&](CPropertySheet& sheet) {
                Type(wiz.start.m_pageNewProfile, IDC_PROFILE_NAME, "Twin");
                sheet.PressButton(ID_WIZNEXT);
                QCOMPARE(sheet.GetActivePage(), &wiz.start.m_pageNewProfile);
                Type(wiz.start.m_pageNewProfile, IDC_PROFILE_NAME, "Third");
                sheet.PressButton(ID_WIZNEXT);
                sheet.PressButton(ID_WIZNEXT);
                sheet.PressButton(ID_WIZFINISH);
            });
            QCOMPARE(ui.Messages(),
                     std::vector<std::string>{
                         "A Profile named Twin already exists.  Please choose another name."});
            QCOMPARE(wiz.Rows(), (std::vector<std::string>{"Third", "Twin", "Twin"}));
            wiz.sheet.PressButton(IDCANCEL);
        });
        // The save that followed wrote both twins back, each with its own patterns.
        QVERIFY2(SettingsFile(home).endsWith(QString::fromStdString(one + two)),
                 qPrintable(SettingsFile(home)));
        CProfileList reread;
        reread.Load(kSettingsFileName, reread);
        std::vector<std::string> names;
        for (const CProfile& p : reread)
            names.push_back(p.m_strName);
        QCOMPARE(names, (std::vector<std::string>{"Third", "Twin", "Twin"}));
    }

    void aSaveThatFailsIsToldAndTheChangeHoldsForThisRun() {
        ScopedTestHome home;
        CScriptedUi ui;
        const std::string gone = (home.root() / "removed").string();
        Wizard wiz;
        Run(wiz, ui, [&] {
            ::setenv("FERNWICK_HOME", gone.c_str(), 1);
            AddProfileNamed(wiz, ui, "Unsaved");
            QCOMPARE(ui.shown.size(), size_t(1));
            QCOMPARE(ui.shown[0].text, "Fernwick could not save your profiles to " + gone +
                                           "/settings.dat: No such file or directory.\n\nThe "
                                           "change holds until Fernwick ends.");
            QCOMPARE(ui.shown[0].caption, std::string("Fernwick"));
            QCOMPARE(ui.shown[0].type, MB_OK | MB_ICONEXCLAMATION);
            QCOMPARE(wiz.Rows(), std::vector<std::string>{"Unsaved"});
            QVERIFY(g_profiles.FindByName("Unsaved"));
            wiz.sheet.PressButton(IDCANCEL);
        });
        ::setenv("FERNWICK_HOME", home.program().c_str(), 1);
        QVERIFY(!fs::exists(gone));
    }

    void aSettingsFileThatWasNotReadIsNotWrittenOverAndAddTellsWhy() {
        ScopedTestHome home;
        CScriptedUi ui;
        auto fresh = qScopeGuard([] { g_profiles = CProfileList(); });
        const fs::path settings = home.program() / kSettingsFileName;
        const fs::path update = home.program() / "newntsettings.dat";
        // Damaged, and every name it could be kept aside as is taken.
        const std::string damaged =
            File({Block("Mine", 1069, {}, {"*.old"}, {}, kNoLimits)}).toStdString() +
            std::string(kMaxSettingsLine + 1, 'x') + "\n";
        WriteTextFile(settings, damaged);
        WriteTextFile(settings.string() + ".damaged", "taken\n");
        for (int n = 2; n <= 1000; ++n)
            WriteTextFile(settings.string() + ".damaged." + std::to_string(n), "taken\n");
        const QString shipped = File({Block("Shipped", 1069, {}, {"*.tmp"}, {}, kNoLimits)});
        WriteTextFile(update, shipped.toStdString());
        g_profiles.LoadAndMerge();

        Wizard wiz;
        Run(wiz, ui, [&] {
            QCOMPARE(wiz.Rows(), std::vector<std::string>{"Shipped"});
            AddProfileNamed(wiz, ui, "Unsaved");
            QCOMPARE(ui.shown.size(), size_t(1));
            QCOMPARE(ui.shown[0].text,
                     "Fernwick could not save your profiles to " + settings.string() +
                         ": it is damaged (it has a line longer than 1 MiB) and was not read, "
                         "and it could not be kept aside (File exists). A save would replace "
                         "the profiles in it, so it is left as it is.\n\nThe change holds "
                         "until Fernwick ends.");
            QCOMPARE(ui.shown[0].type, MB_OK | MB_ICONEXCLAMATION);
            QCOMPARE(wiz.Rows(), (std::vector<std::string>{"Unsaved", "Shipped"}));
            wiz.sheet.PressButton(IDCANCEL);
        });
        QVERIFY(ReadTextFile(settings) == damaged);
        QCOMPARE(QString::fromStdString(ReadTextFile(update)), shipped);
    }
};

QTEST_MAIN(ProfileWizardTest)
#include "ProfileWizardTest.moc"
