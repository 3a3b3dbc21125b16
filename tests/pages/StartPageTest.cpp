// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// The start page in a small wizard with stand-ins for the drives and scan pages, driven
// offscreen as a user would.
#include "framework/Registry.h"
#include "controls/ListViewHelpers.h"
#include "dispose/CleaningLog.h"
#include "framework/CPropertySheet.h"
#include "pages/CStartPage.h"
#include "profiles/CProfileList.h"
#include "profiles/SettingsFile.h"
#include "res/resource.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"
#include "support/TestOptionsFolder.h"

#include <QtCore/QSettings>
#include <QtTest/QtTest>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QDialog>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTreeWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const char* const kTemplateNote = "Note:The file patterns listed above are just examples.  "
                                  "You may need to modify them to work on your PC.";
const char* const kInstruction =
    "Check the file patterns you want to clean off your drive(s) and click <Next>.";

// A page that only stands in for a real one: it lets the wizard go both ways.
class CStandInPage : public CPropertyPage {
  public:
    explicit CStandInPage(const char* caption)
        : CPropertyPage(900, [caption](QWidget* w) {
              w->setWindowTitle(QString::fromUtf8(caption));
              w->resize(200, 100);
          }) {}
    bool OnSetActive() override {
        CPropertyPage::OnSetActive();
        GetSheet()->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
        return true;
    }
};

// The main wizard's order: start, drives, scan.
struct Wizard {
    CStartPage start;
    CStandInPage drives{"Drives"};
    CStandInPage scan{"Scan"};
    CPropertySheet sheet;
    Wizard() {
        sheet.AddPage(&start);
        sheet.AddPage(&drives);
        sheet.AddPage(&scan);
    }
    QTreeWidget* List() const { return start.m_lstProfiles; }
    std::vector<std::string> Rows() const {
        std::vector<std::string> rows;
        for (int r = 0; List() && r < List()->topLevelItemCount(); ++r)
            rows.push_back(List()->topLevelItem(r)->text(0).toStdString());
        return rows;
    }
    bool RowChecked(int row) const { return GetItemImage(List(), row) == start.m_nCheckedImage; }
    bool NextEnabled() const { return sheet.GetButton(ID_WIZNEXT)->isEnabled(); }
    void Click(int id) { start.GetItem<QPushButton>(id)->click(); }
};

CProfile* AddProfile(const std::string& name, int scope, std::vector<std::string> folders = {}) {
    auto p = std::make_unique<CProfile>();
    p->m_strName = name;
    p->m_nScanScope = scope;
    p->m_lstScanFolders = std::move(folders);
    p->m_lstPatterns = {"*.tmp"};
    return g_profiles.AddTail(std::move(p));
}

std::vector<std::string> StoreNames(const CProfileList& store) {
    std::vector<std::string> names;
    for (const CProfile& p : store)
        names.push_back(p.m_strName);
    return names;
}

std::vector<std::string> SavedNames() {
    CProfileList saved;
    g_profiles.Load(kSettingsFileName, saved);
    return StoreNames(saved);
}

std::uint32_t Option(const char* name, std::uint32_t fallback) {
    std::uint32_t value = fallback;
    RegReadDword(name, value, fallback);
    return value;
}

// The log's lines that tell of a folder check.
std::vector<std::string> VerifyLines() {
    std::vector<std::string> lines;
    std::istringstream in(ReadTextFile(LogFilePath()));
    for (std::string line; std::getline(in, line);)
        if (const size_t at = line.find("Verifying"); at != std::string::npos)
            lines.push_back(line.substr(at));
    return lines;
}

void ClickRow(QTreeWidget* list, int row, Qt::KeyboardModifiers modifiers = {}) {
    QTreeWidgetItem* item = list->topLevelItem(row);
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                      list->visualItemRect(item).center());
}

template <class T> T* Control(QWidget* window, int id) {
    for (T* child : window->findChildren<T*>())
        if (GetDlgCtrlID(child) == id)
            return child;
    return nullptr;
}

std::string Displayed(std::string report) {
    for (size_t at; (at = report.find("\r\n")) != std::string::npos;)
        report.erase(at, 1);
    return report;
}

} // namespace

class StartPageTest : public QObject {
    Q_OBJECT
    CTestOptionsFolder m_config;

    // Runs the wizard with one action once it is up. A failed check inside the action leaves
    // it early; the wizard is then ended so the test does not hang.
    static int Run(Wizard& wiz, CScriptedUi& ui, std::function<void()> action) {
        ui.modalActions.push_back([&wiz, action](QWidget*) {
            action();
            if (wiz.sheet.GetSafeHwnd() && wiz.sheet.GetSafeHwnd()->isVisible())
                wiz.sheet.EndDialog(-1);
        });
        return wiz.sheet.DoModal();
    }

    // Answers the folder error dialog: checks what it shows, sets the box and clicks.
    static void AnswerFolderError(CScriptedUi& ui, const std::string& report, bool dontShow,
                                  int button) {
        ui.modalActions.push_back([report, dontShow, button](QWidget* w) {
            auto guard = qScopeGuard([w] {
                if (w->isVisible())
                    static_cast<QDialog*>(w)->done(IDCANCEL);
            });
            QCOMPARE(w->windowTitle(), QStringLiteral("Some folders were not found"));
            auto* text = Control<QPlainTextEdit>(w, IDC_FOLDERS_MISSING);
            QVERIFY(text && text->isReadOnly());
            QCOMPARE(text->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
            QCOMPARE(text->toPlainText().toStdString(), Displayed(report));
            QStringList statics;
            for (QLabel* l : w->findChildren<QLabel*>())
                statics << l->text();
            QVERIFY(statics.contains(
                QStringLiteral("Fernwick is unable to find the following folders")));
            QVERIFY(statics.contains(
                QStringLiteral("Please edit or delete the file patterns listed.")));
            auto* box = Control<QCheckBox>(w, IDC_FOLDERS_DONT_SHOW);
            QVERIFY(box && !box->isChecked());
            QCOMPARE(box->text(), QStringLiteral("&Don't show me this error again."));
            QCOMPARE(Control<QPushButton>(w, IDOK)->text(), QStringLiteral("Fix &Now"));
            QCOMPARE(Control<QPushButton>(w, IDCANCEL)->text(), QStringLiteral("Fix &Later"));
            box->setChecked(dontShow);
            if (button == 0)
                QTest::keyClick(w, Qt::Key_Escape);
            else
                Control<QPushButton>(w, button)->click();
        });
    }

  private slots:
    void init() {
        if (auto key = RegOpenAppKey())
            key->clear();
        RegWriteDword(kRegFirstRun, 1);
    }
    void cleanup() {
        g_profiles.RemoveAll();
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void listsTheProfilesInStoreOrderAllChecked() {
        ScopedTestHome home;
        CScriptedUi ui;
        AddProfile("Temp Files", SCOPE_LISTED_FOLDERS, {home.home().string()});
        AddProfile("Browser Cache", SCOPE_ALL_FOLDERS);
        AddProfile("Old Logs", SCOPE_LISTED_FOLDERS, {home.home().string()});
        Wizard wiz;
        Run(wiz, ui, [&] {
            QCOMPARE(wiz.sheet.GetSafeHwnd()->windowTitle(), QStringLiteral("Fernwick"));
            QTreeWidget* list = wiz.List();
            QVERIFY(list);
            QCOMPARE(GetDlgCtrlID(list), IDC_START_PROFILES);
            QCOMPARE(list->columnCount(), 1);
            QCOMPARE(list->headerItem()->text(0), QStringLiteral("Files to Clean"));
            QCOMPARE(list->selectionMode(), QAbstractItemView::ExtendedSelection);
            QCOMPARE(wiz.Rows(), StoreNames(g_profiles));
            for (int r = 0; r < list->topLevelItemCount(); ++r) {
                QVERIFY(wiz.RowChecked(r));
                QVERIFY(!list->topLevelItem(r)->icon(0).isNull());
            }
            for (const CProfile& p : g_profiles)
                QVERIFY(wiz.start.IsProfileChecked(p));
            QVERIFY(wiz.start.AnyCheckedScansAllFolders());

            QVERIFY(wiz.start.m_picture);
            QCOMPARE(wiz.start.m_picture->GetDib().GetWidth(), 100);
            QCOMPARE(wiz.start.m_picture->GetDib().GetHeight(), 170);
            QVERIFY(!wiz.start.m_btnViewLog->isEnabled()); // there is no log yet
            QVERIFY(wiz.NextEnabled());
            QVERIFY(!wiz.sheet.GetButton(ID_WIZBACK)->isEnabled());
            QVERIFY(!wiz.sheet.GetButton(ID_WIZFINISH)->isVisible());
            wiz.sheet.PressButton(IDCANCEL);
        });
        // Without its window the page knows of no check marks.
        QVERIFY(!wiz.start.IsProfileChecked(*g_profiles.begin()));
        QVERIFY(!wiz.start.AnyCheckedScansAllFolders());
    }

    void checkedRowsAreFoundByWholeNameIgnoringCase() {
        ScopedTestHome home;
        CScriptedUi ui;
        AddProfile("Temp Files", SCOPE_ALL_FOLDERS);
        Wizard wiz;
        Run(wiz, ui, [&] {
            CProfile other;
            other.m_strName = "TEMP FILES";
            QVERIFY(wiz.start.IsProfileChecked(other));
            other.m_strName = "Temp";
            QVERIFY(!wiz.start.IsProfileChecked(other));
            other.m_strName = "Temp Files ";
            QVERIFY(!wiz.start.IsProfileChecked(other));
            wiz.sheet.PressButton(IDCANCEL);
        });
    }

    void mouseClicksToggleTheTopmostSelectedRowAndNextFollows() {
        ScopedTestHome home;
        CScriptedUi ui;
        AddProfile("Temp Files", SCOPE_LISTED_FOLDERS, {home.home().string()});
        AddProfile("Browser Cache", SCOPE_ALL_FOLDERS);
        AddProfile("Old Logs", SCOPE_LISTED_FOLDERS, {home.home().string()});
        Wizard wiz;
        Run(wiz, ui, [&] {
            QTreeWidget* list = wiz.List();
            auto checks = [&] {
                return std::vector<bool>{wiz.RowChecked(0), wiz.RowChecked(1), wiz.RowChecked(2)};
            };
            ClickRow(list, 2);
            QCOMPARE(checks(), (std::vector<bool>{true, true, false}));
            ClickRow(list, 0);
            QCOMPARE(checks(), (std::vector<bool>{false, true, false}));
            // With rows 0 and 2 selected a click on row 2 acts on the topmost, row 0.
            ClickRow(list, 2, Qt::ControlModifier);
            QCOMPARE(GetSelectedItems(list), (std::vector<int>{0, 2}));
            QCOMPARE(checks(), (std::vector<bool>{true, true, false}));
            QVERIFY(wiz.NextEnabled());
            QVERIFY(wiz.start.AnyCheckedScansAllFolders());

            ClickRow(list, 1);
            QCOMPARE(checks(), (std::vector<bool>{true, false, false}));
            QVERIFY(wiz.NextEnabled());
            QVERIFY(!wiz.start.AnyCheckedScansAllFolders());
            ClickRow(list, 0);
            QCOMPARE(checks(), (std::vector<bool>{false, false, false}));
            QVERIFY(!wiz.NextEnabled());
            QVERIFY(!wiz.start.AnyCheckedScansAllFolders());
            wiz.sheet.PressButton(ID_WIZNEXT); // a disabled Next does nothing
            QCOMPARE(wiz.sheet.GetActivePage(), &wiz.start);

            // Keys move the selection but never toggle.
            list->setFocus();
            QTest::keyClick(list, Qt::Key_Space);
            QTest::keyClick(list, Qt::Key_Up);
            QTest::keyClick(list, Qt::Key_Space);
            QCOMPARE(checks(), (std::vector<bool>{false, false, false}));
            QVERIFY(!wiz.NextEnabled());

            ClickRow(list, 2);
            QCOMPARE(checks(), (std::vector<bool>{false, false, true}));
            QVERIFY(wiz.NextEnabled());
            QVERIFY(wiz.start.IsProfileChecked(*g_profiles.FindByName("Old Logs")));
            QVERIFY(!wiz.start.IsProfileChecked(*g_profiles.FindByName("Temp Files")));
            wiz.sheet.PressButton(IDCANCEL);
        });
        QVERIFY(ui.Messages().empty());
    }

    void addEditAndDoubleClickOpenTheProfileSheetScheduleWithoutSchedulerOffersIt() {
        ScopedTestHome home;
        CScriptedUi ui;
        AddProfile("Temp Files", SCOPE_ALL_FOLDERS);
        Wizard wiz;
        std::vector<std::string> opened; // the sheet's title and its first page's name text
        const auto cancelSheet = [&](QWidget* w) {
            QLineEdit* name = Control<QLineEdit>(w, IDC_PROFILE_NAME);
            opened.push_back(w->windowTitle().toStdString() + ": " +
                             (name ? name->text().toStdString() : "?"));
            wiz.start.m_pageNewProfile.GetSheet()->PressButton(IDCANCEL);
        };
        Run(wiz, ui, [&] {
            wiz.Click(IDC_START_EDIT); // nothing selected yet
            wiz.Click(IDC_START_SCHEDULE);
            ui.modalActions.push_back(cancelSheet);
            wiz.Click(IDC_START_ADD);
            SelectItem(wiz.List(), 0);
            ui.modalActions.push_back(cancelSheet);
            wiz.Click(IDC_START_EDIT);
            QVERIFY(wiz.RowChecked(0));
            // What the mouse sends for a double click: the first click toggles the row.
            ui.modalActions.push_back(cancelSheet);
            QWidget* viewport = wiz.List()->viewport();
            const QPoint at = wiz.List()->visualItemRect(wiz.List()->topLevelItem(0)).center();
            QTest::mousePress(viewport, Qt::LeftButton, {}, at);
            QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
            QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
            QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
            QVERIFY(!wiz.RowChecked(0));
            QVERIFY(ui.modalActions.empty());
            QCOMPARE(wiz.Rows(), std::vector<std::string>{"Temp Files"});
            wiz.sheet.PressButton(IDCANCEL);
        });
        QCOMPARE(opened, (std::vector<std::string>{"Profile: ", "Profile: Temp Files",
                                                   "Profile: Temp Files"}));
        const std::vector<CScriptedUi::Shown> expected = {
            {"message", "Please select a Profile to edit", "Fernwick", MB_OK | MB_ICONSTOP},
            // No scheduler: the download offer, and only Yes would open the web site.
            {"message",
             "In order to schedule a Fernwick cleaning, you will need Tasklane from Quenby Works.  "
             "Tasklane is a FREE program from Quenby Works.  You can download it from our web "
             "site.  Would you like to go to the Quenby Works web site now?",
             "Fernwick", MB_YESNOCANCEL | MB_ICONQUESTION},
        };
        QCOMPARE(ui.shown.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            QCOMPARE(ui.shown[i].text, expected[i].text);
            QCOMPARE(ui.shown[i].caption, expected[i].caption);
            QCOMPARE(ui.shown[i].type, expected[i].type);
        }
    }

    void deleteAsksThenRemovesRowAndProfileAndSavesAtOnce() {
        ScopedTestHome home;
        CScriptedUi ui;
        AddProfile("Temp Files", SCOPE_ALL_FOLDERS);
        AddProfile("Browser Cache", SCOPE_ALL_FOLDERS);
        AddProfile("Old Logs", SCOPE_ALL_FOLDERS);
        QCOMPARE(g_profiles.Save().Text(), std::string());
        Wizard wiz;
        Run(wiz, ui, [&] {
            wiz.Click(IDC_START_DELETE);
            QCOMPARE(ui.shown.size(), size_t(1));
            QCOMPARE(ui.shown[0].text, std::string("Please select a Profile to delete"));
            QCOMPARE(ui.shown[0].caption, std::string("Fernwick"));
            QCOMPARE(ui.shown[0].type, MB_OK | MB_ICONSTOP);

            SelectItem(wiz.List(), 1);
            ui.messageAnswers = {IDNO, IDCANCEL};
            wiz.Click(IDC_START_DELETE);
            wiz.Click(IDC_START_DELETE);
            QCOMPARE(ui.shown.size(), size_t(3));
            for (size_t i : {1, 2}) {
                QCOMPARE(ui.shown[i].text,
                         std::string("Are you sure you want to delete Browser Cache?"));
                QCOMPARE(ui.shown[i].caption, std::string("Fernwick"));
                QCOMPARE(ui.shown[i].type, MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2);
            }
            const std::vector<std::string> all = {"Temp Files", "Browser Cache", "Old Logs"};
            QCOMPARE(wiz.Rows(), all);
            QCOMPARE(StoreNames(g_profiles), all);

            ui.messageAnswers = {IDYES};
            wiz.Click(IDC_START_DELETE);
            const std::vector<std::string> left = {"Temp Files", "Old Logs"};
            QCOMPARE(wiz.Rows(), left);
            QCOMPARE(StoreNames(g_profiles), left);
            QCOMPARE(SavedNames(), left);

            // Of several selected rows the topmost goes.
            SelectItem(wiz.List(), 0);
            SelectItem(wiz.List(), 1);
            ui.messageAnswers = {IDYES};
            wiz.Click(IDC_START_DELETE);
            QCOMPARE(ui.shown.back().text,
                     std::string("Are you sure you want to delete Temp Files?"));
            QCOMPARE(wiz.Rows(), std::vector<std::string>{"Old Logs"});
            QCOMPARE(SavedNames(), std::vector<std::string>{"Old Logs"});

            // The last one leaves a file with no profiles, not the old file.
            SelectItem(wiz.List(), 0);
            ui.messageAnswers = {IDYES};
            wiz.Click(IDC_START_DELETE);
            QVERIFY(wiz.Rows().empty());
            QVERIFY(g_profiles.IsEmpty());
            QVERIFY(fs::exists(home.program() / kSettingsFileName));
            QVERIFY(SavedNames().empty());
            const std::string saved = ReadTextFile(home.program() / kSettingsFileName);
            QVERIFY(saved.starts_with(kSettingsMagic));
            QVERIFY(saved.find("Old Logs") == std::string::npos);
            wiz.sheet.PressButton(IDCANCEL);
        });
    }

    void viewLogIsThereOnlyWhileTheLogIs() {
        ScopedTestHome home;
        CScriptedUi ui;
        AddProfile("Browser Cache", SCOPE_ALL_FOLDERS);
        WriteLog("an earlier cleaning");
        QVERIFY(LogExists());
        Wizard wiz;
        Run(wiz, ui, [&] {
            QCOMPARE(GetDlgCtrlID(wiz.start.m_btnViewLog), IDC_VIEWLOG);
            QVERIFY(wiz.start.m_btnViewLog->isEnabled());
            wiz.Click(IDC_VIEWLOG);
            QCOMPARE(ui.shown.size(), size_t(1));
            QVERIFY(ui.shown[0].kind == "shell" || ui.shown[0].kind == "text");
            QCOMPARE(ui.shown[0].text, LogFilePath());

            wiz.sheet.PressButton(ID_WIZNEXT); // a new run starts a new log
            QCOMPARE(wiz.sheet.GetActivePage(), &wiz.drives);
            QVERIFY(!LogExists());
            wiz.sheet.PressButton(ID_WIZBACK);
            QCOMPARE(wiz.sheet.GetActivePage(), &wiz.start);
            QVERIFY(!wiz.start.m_btnViewLog->isEnabled());
            QVERIFY(wiz.NextEnabled());
            QVERIFY(!wiz.sheet.GetButton(ID_WIZBACK)->isEnabled());
            wiz.sheet.PressButton(IDCANCEL);
        });
    }

    void missingFoldersAreReportedAndFixNowStaysOnThePage() {
        ScopedTestHome home;
        CScriptedUi ui;
        const fs::path there = home.root() / "there";
        WriteTextFile(there / "file.txt", "x");
        fs::create_symlink(home.root() / "nowhere", there / "dangling");
        const std::string gone1 = (home.root() / "gone one").string();
        const std::string gone2 = (home.root() / "gone" / "two").string();
        const std::string gone3 = (there / "file.txt" / "under a file").string();
        AddProfile("Temp Files", SCOPE_LISTED_FOLDERS, {there.string(), gone1});
        // Whole-drive profiles are not checked, whatever folders they list.
        AddProfile("Browser Cache", SCOPE_ALL_FOLDERS, {gone1});
        AddProfile("Present", SCOPE_LISTED_FOLDERS,
                   {"/", there.string() + "/", (there / "file.txt").string(),
                    (there / "dangling").string()});
        AddProfile("Old Logs", SCOPE_LISTED_FOLDERS, {gone2, there.string(), gone3});
        const std::string report = "Temp Files:\r\n\t" + gone1 + "\r\n\r\nOld Logs:\r\n\t" + gone2 +
                                   "\r\n\t" + gone3 + "\r\n";
        const std::vector<std::string> verified = {
            "Verifying that the pattern Temp Files points to a valid folder",
            "Verifying that the pattern Present points to a valid folder",
            "Verifying that the pattern Old Logs points to a valid folder",
        };
        Wizard wiz;
        Run(wiz, ui, [&] {
            ClickRow(wiz.List(), 3); // unchecked profiles are verified all the same
            QVERIFY(!wiz.RowChecked(3));

            AnswerFolderError(ui, report, false, IDOK);
            wiz.sheet.PressButton(ID_WIZNEXT);
            QVERIFY(ui.modalActions.empty());
            QCOMPARE(wiz.sheet.GetActivePage(), &wiz.start);
            QCOMPARE(Option(kRegShowFolderError, 99), 1u);
            QCOMPARE(VerifyLines(), verified);

            AnswerFolderError(ui, report, false, IDCANCEL);
            wiz.sheet.PressButton(ID_WIZNEXT);
            QVERIFY(ui.modalActions.empty());
            QCOMPARE(wiz.sheet.GetActivePage(), &wiz.drives);
            QCOMPARE(VerifyLines(), verified); // the log was started afresh

            // Escape is Fix Later.
            wiz.sheet.PressButton(ID_WIZBACK);
            AnswerFolderError(ui, report, false, 0);
            wiz.sheet.PressButton(ID_WIZNEXT);
            QVERIFY(ui.modalActions.empty());
            QCOMPARE(wiz.sheet.GetActivePage(), &wiz.drives);
            QCOMPARE(Option(kRegShowFolderError, 99), 1u);
            wiz.sheet.PressButton(IDCANCEL);
        });
        QVERIFY(ui.Messages().empty());
    }

    void theReportListsEachProfilesMissingFoldersInStoreOrder() {
        ScopedTestHome home;
        const std::string a = (home.root() / "a").string(), b = (home.root() / "b").string();
        const std::string c = (home.root() / "c").string();
        AddProfile("One", SCOPE_LISTED_FOLDERS, {a});
        AddProfile("Two", SCOPE_LISTED_FOLDERS, {home.home().string()});
        AddProfile("Three", SCOPE_LISTED_FOLDERS, {b, c});
        QCOMPARE(FindMissingScanFolders(g_profiles),
                 "One:\r\n\t" + a + "\r\n\r\nThree:\r\n\t" + b + "\r\n\t" + c + "\r\n");
        QCOMPARE(VerifyLines().size(), size_t(3));
        g_profiles.RemoveAll();
        AddProfile("Two", SCOPE_LISTED_FOLDERS, {home.home().string()});
        QVERIFY(FindMissingScanFolders(g_profiles).empty());
    }

    void scanFoldersArePresentWhenAnythingIsThere() {
        ScopedTestHome home;
        const fs::path dir = home.root() / "dir";
        WriteTextFile(dir / "file", "x");
        fs::create_symlink(home.root() / "nowhere", dir / "dangling");
        for (const std::string& present :
             {std::string("/"), std::string("//"), dir.string(), dir.string() + "/",
              dir.string() + "//", (dir / "file").string(), (dir / "file").string() + "/",
              (dir / "dangling").string()})
            QVERIFY2(ScanFolderExists(present), present.c_str());
        for (const std::string& missing :
             {std::string(), (dir / "none").string(), (dir / "none").string() + "/",
              (dir / "file" / "x").string()})
            QVERIFY2(!ScanFolderExists(missing), missing.c_str());
    }

    void dontShowAgainIsStoredWhicheverButtonAndEndsTheCheck() {
        ScopedTestHome home;
        CScriptedUi ui;
        const std::string gone = (home.root() / "gone").string();
        AddProfile("Temp Files", SCOPE_LISTED_FOLDERS, {gone});
        const std::string report = "Temp Files:\r\n\t" + gone + "\r\n";
        Wizard wiz;
        Run(wiz, ui, [&] {
            AnswerFolderError(ui, report, true, IDOK);
            wiz.sheet.PressButton(ID_WIZNEXT);
            QVERIFY(ui.modalActions.empty());
            QCOMPARE(wiz.sheet.GetActivePage(), &wiz.start); // Fix Now still stays
            QCOMPARE(Option(kRegShowFolderError, 99), 0u);

            wiz.sheet.PressButton(ID_WIZNEXT);
            QCOMPARE(wiz.sheet.GetActivePage(), &wiz.scan);
            QVERIFY(!LogExists()); // no check, so nothing logged after the log was cleared
            wiz.sheet.PressButton(IDCANCEL);
        });
        QVERIFY(ui.modalActions.empty());

        RegWriteDword(kRegShowFolderError, 1);
        Run(wiz, ui, [&] {
            AnswerFolderError(ui, report, true, IDCANCEL);
            wiz.sheet.PressButton(ID_WIZNEXT);
            QVERIFY(ui.modalActions.empty());
            QCOMPARE(wiz.sheet.GetActivePage(), &wiz.scan);
            QCOMPARE(Option(kRegShowFolderError, 99), 0u);
            wiz.sheet.PressButton(IDCANCEL);
        });
    }

    void nextSkipsTheDrivesPageUnlessACheckedProfileScansWholeDrives() {
        ScopedTestHome home;
        CScriptedUi ui;
        AddProfile("Temp Files", SCOPE_LISTED_FOLDERS, {home.home().string()});
        AddProfile("Browser Cache", SCOPE_ALL_FOLDERS);
        Wizard wiz;
        Run(wiz, ui, [&] {
            wiz.sheet.PressButton(ID_WIZNEXT);
            QCOMPARE(wiz.sheet.GetActivePage(), &wiz.drives);
            wiz.sheet.PressButton(IDCANCEL);
        });
        Run(wiz, ui, [&] {
            ClickRow(wiz.List(), 1);
            QVERIFY(!wiz.RowChecked(1));
            wiz.sheet.PressButton(ID_WIZNEXT);
            QCOMPARE(wiz.sheet.GetActivePage(), &wiz.scan);
            QVERIFY(wiz.drives.GetSafeHwnd() == nullptr); // never shown
            wiz.sheet.PressButton(IDCANCEL);
        });

        // The page given for the scan page wins over the sheet's order.
        CStandInPage other("Other");
        wiz.sheet.AddPage(&other);
        wiz.start.m_pNextAfterDrives = &other;
        Run(wiz, ui, [&] {
            ClickRow(wiz.List(), 1);
            wiz.sheet.PressButton(ID_WIZNEXT);
            QCOMPARE(wiz.sheet.GetActivePage(), &other);
            wiz.sheet.PressButton(IDCANCEL);
        });
        QVERIFY(ui.Messages().empty());
    }

    void withoutProfilesNextGoesStraightToTheScan() {
        ScopedTestHome home;
        CScriptedUi ui;
        Wizard wiz;
        Run(wiz, ui, [&] {
            QCOMPARE(wiz.List()->topLevelItemCount(), 0);
            QVERIFY(wiz.NextEnabled());
            wiz.sheet.PressButton(ID_WIZNEXT);
            QCOMPARE(wiz.sheet.GetActivePage(), &wiz.scan);
            wiz.sheet.PressButton(IDCANCEL);
        });
    }

    void theExamplesNoteIsShownOnTheFirstStartOnly() {
        ScopedTestHome home;
        CScriptedUi ui;
        if (auto key = RegOpenAppKey())
            key->clear();
        Wizard wiz;
        Run(wiz, ui, [&] {
            QCOMPARE(GetDlgCtrlID(wiz.start.m_stcNote), IDC_START_NOTE);
            QCOMPARE(wiz.start.m_stcNote->text(), QString::fromUtf8(kTemplateNote));
            wiz.sheet.PressButton(IDCANCEL);
        });
        QCOMPARE(Option(kRegFirstRun, 99), 1u);
        Run(wiz, ui, [&] {
            QCOMPARE(wiz.start.m_stcNote->text(), QString::fromUtf8(kInstruction));
            wiz.sheet.PressButton(IDCANCEL);
        });
        QCOMPARE(Option(kRegFirstRun, 99), 1u);
    }

    void liveUpdateEndsTheWizardOnlyWhenTheUserGoesForTheNewVersion() {
        ScopedTestHome home;
        CScriptedUi ui;
        AddProfile("Temp Files", SCOPE_ALL_FOLDERS);
        Wizard wiz;
        std::vector<std::string> asked;
        int answer = 0;
        QWidget* owner = nullptr;
        wiz.start.m_checkForUpdate = [&](QWidget* w, const std::string& product,
                                         const std::string& version) {
            owner = w;
            asked.push_back(product + " " + version);
            return answer;
        };
        const int rc = Run(wiz, ui, [&] {
            wiz.Click(IDC_START_LIVEUPDATE);
            QCOMPARE(owner, wiz.start.GetSafeHwnd());
            QVERIFY(wiz.sheet.GetSafeHwnd()->isVisible());
            QCOMPARE(wiz.sheet.GetActivePage(), &wiz.start);
            answer = 1;
            wiz.Click(IDC_START_LIVEUPDATE);
            QVERIFY(!wiz.sheet.GetSafeHwnd()->isVisible());
        });
        QCOMPARE(rc, IDCANCEL);
        QCOMPARE(asked, (std::vector<std::string>{"Fernwick 2.0a", "Fernwick 2.0a"}));
    }

    void aboutShowsTheAboutBox() {
        ScopedTestHome home;
        CScriptedUi ui;
        Wizard wiz;
        QString title;
        Run(wiz, ui, [&] {
            ui.modalActions.push_back([&](QWidget* w) {
                title = w->windowTitle();
                Control<QPushButton>(w, IDOK)->click();
            });
            wiz.Click(IDC_START_ABOUT);
            QVERIFY(ui.modalActions.empty());
            QCOMPARE(wiz.sheet.GetActivePage(), &wiz.start);
            wiz.sheet.PressButton(IDCANCEL);
        });
        QCOMPARE(title, QStringLiteral("About Fernwick"));
    }
};

QTEST_MAIN(StartPageTest)
#include "StartPageTest.moc"
