// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// The four pages of the "Profile" sheet in a sheet of their own, driven offscreen as a user
// would: the page order for both scopes, the name, the folder browser, the patterns and folder
// names with their refusals, and the limits with their validation.
#include "ProfileSheetDriver.h"
#include "pages/CWizardApp.h"
#include "controls/ListBoxHelpers.h"
#include "pages/CFilePropsPage.h"
#include "pages/CFolders2ScanPage.h"
#include "pages/CNewProfilePage.h"
#include "pages/CPatternsPage.h"
#include "profiles/CProfileList.h"
#include "support/TempDir.h"

#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QRadioButton>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

const char* const kNotScannable = "That folder is not scannable by Fernwick.";
const char* const kPositive = "Please enter a positive integer.";

// The sheet as the start page builds it, with the editing context set.
struct ProfileSheet {
    CNewProfilePage newProfile;
    CFolders2ScanPage folders;
    CPatternsPage patterns;
    CFilePropsPage props;
    CPropertySheet sheet{"Profile"};
    CScriptedUi ui;

    explicit ProfileSheet(CProfile* edit = nullptr) {
        g_nProfileMode = edit ? PROFILE_MODE_EDIT : PROFILE_MODE_ADD;
        g_pEditProfile = edit;
        if (edit) {
            newProfile.m_strName = edit->m_strName;
            newProfile.m_nScanScope = edit->m_nScanScope;
        }
        WizardApp().m_pNewProfilePage = &newProfile;
        WizardApp().m_pFolders2ScanPage = &folders;
        WizardApp().m_pPatternsPage = &patterns;
        WizardApp().m_pFilePropsPage = &props;
        for (CPropertyPage* p :
             std::initializer_list<CPropertyPage*>{&newProfile, &folders, &patterns, &props})
            sheet.AddPage(p);
    }
    ~ProfileSheet() {
        WizardApp().m_pNewProfilePage = nullptr;
        WizardApp().m_pFolders2ScanPage = nullptr;
        WizardApp().m_pPatternsPage = nullptr;
        WizardApp().m_pFilePropsPage = nullptr;
        g_pEditProfile = nullptr;
        g_nProfileMode = PROFILE_MODE_ADD;
    }

    // Runs the sheet with the steps once it is up; returns how it ended.
    int Run(std::function<void()> steps) {
        ui.modalActions.push_back([this, steps](QWidget*) {
            steps();
            if (sheet.GetSafeHwnd() && sheet.GetSafeHwnd()->isVisible())
                sheet.EndDialog(-1);
        });
        return sheet.DoModal();
    }

    CPropertyPage* Active() const { return sheet.GetActivePage(); }
    void Press(int id) { sheet.PressButton(id); }
    void Click(CPropertyPage& page, int id) { page.GetItem<QAbstractButton>(id)->click(); }
    void Type(CPropertyPage& page, int id, const char* text) {
        page.GetItem<QLineEdit>(id)->setText(QString::fromUtf8(text));
    }
    std::string Text(CPropertyPage& page, int id) const {
        return page.GetItem<QLineEdit>(id)->text().toStdString();
    }
    const CScriptedUi::Shown& Last() const { return ui.shown.back(); }
};

} // namespace

class ProfilePagesTest : public QObject {
    Q_OBJECT

  private slots:
    void cleanup() {
        g_profiles.RemoveAll();
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void theFoldersPageIsSkippedBothWaysForAWholeDriveProfile() {
        ProfileSheet s;
        s.Run([&] {
            QCOMPARE(s.sheet.GetSafeHwnd()->windowTitle(), QStringLiteral("Profile"));
            QCOMPARE(s.Active(), &s.newProfile);
            QCOMPARE(s.newProfile.GetCaption(), std::string("Add a New Profile"));
            QCOMPARE(Buttons(s.sheet), std::string("bN"));
            auto* all = s.newProfile.GetItem<QRadioButton>(IDC_SCOPE_ALL_FOLDERS);
            auto* listed = s.newProfile.GetItem<QRadioButton>(IDC_SCOPE_LISTED_FOLDERS);
            QVERIFY(all && listed && all->isEnabled() && listed->isEnabled());
            QVERIFY(all->isChecked() && !listed->isChecked());
            QCOMPARE(all->text(),
                     QStringLiteral("Scan all the folders on your disk(s) for files to clean"));
            QCOMPARE(listed->text(),
                     QStringLiteral("Only scan specific folders for files to clean"));

            s.Type(s.newProfile, IDC_PROFILE_NAME, "Junk");
            s.Press(ID_WIZNEXT);
            QCOMPARE(s.Active(), &s.patterns);
            QVERIFY(s.folders.GetSafeHwnd() == nullptr); // never shown
            QCOMPARE(Buttons(s.sheet), std::string("BN"));
            s.Press(ID_WIZBACK);
            QCOMPARE(s.Active(), &s.newProfile);
            QCOMPARE(s.Text(s.newProfile, IDC_PROFILE_NAME), std::string("Junk"));

            // Listed folders: the folders page comes in between, both ways.
            listed->click();
            QCOMPARE(s.newProfile.m_nScanScope, SCOPE_LISTED_FOLDERS);
            QVERIFY(listed->isChecked() && !all->isChecked());
            s.Press(ID_WIZNEXT);
            QCOMPARE(s.Active(), &s.folders);
            QCOMPARE(s.folders.GetCaption(), std::string("Folders to Scan"));
            QCOMPARE(Buttons(s.sheet), std::string("BN"));
            s.Press(ID_WIZNEXT); // no folder yet
            QCOMPARE(s.Active(), &s.folders);
            QCOMPARE(s.Last().text, std::string("Please add a folder or list of folders to scan."));
            QCOMPARE(s.Last().caption, std::string("Fernwick"));
            QCOMPARE(s.Last().type, MB_OK | MB_ICONSTOP);
            s.Press(ID_WIZBACK);
            QCOMPARE(s.Active(), &s.newProfile);
            s.Press(ID_WIZNEXT);
            QCOMPARE(s.Active(), &s.folders);
            AddSortedEntry(s.folders.m_lbScanFolders, "/srv");
            s.Press(ID_WIZNEXT);
            QCOMPARE(s.Active(), &s.patterns);
            s.Press(ID_WIZBACK);
            QCOMPARE(s.Active(), &s.folders);
            s.Press(ID_WIZBACK);
            all->click();
            QCOMPARE(s.newProfile.m_nScanScope, SCOPE_ALL_FOLDERS);
            s.Press(ID_WIZNEXT);
            QCOMPARE(s.Active(), &s.patterns);
            s.Press(ID_WIZNEXT);
            QCOMPARE(s.Active(), &s.props);
            QCOMPARE(s.props.GetCaption(), std::string("File Properties"));
            QCOMPARE(Buttons(s.sheet), std::string("BF"));
            s.Press(ID_WIZBACK);
            QCOMPARE(s.Active(), &s.patterns);
            s.Press(ID_WIZBACK);
            QCOMPARE(s.Active(), &s.newProfile);
            s.Press(IDCANCEL);
        });
        QCOMPARE(s.ui.Messages().size(), size_t(1));
    }

    void theNameIsTrimmedAndRefusedWhenTheFileCouldNotCarryIt() {
        ProfileSheet s;
        s.Run([&] {
            struct Refused {
                const char* typed;
                std::string message;
                unsigned type;
            };
            const Refused refused[] = {
                {"", "You must enter a name for this Profile.", MB_OK | MB_ICONSTOP},
                {" \t  ", "You must enter a name for this Profile.", MB_OK | MB_ICONSTOP},
                {"  ;Junk",
                 "A Profile name cannot begin with \";\": Fernwick's settings file would "
                 "read that line as a comment.",
                 MB_OK | MB_ICONEXCLAMATION},
                {"Ju\nnk",
                 "A Profile name cannot hold a line break: Fernwick's settings file "
                 "keeps one value per line.",
                 MB_OK | MB_ICONEXCLAMATION},
            };
            for (const Refused& r : refused) {
                s.Type(s.newProfile, IDC_PROFILE_NAME, r.typed);
                s.Press(ID_WIZNEXT);
                QCOMPARE(s.Active(), &s.newProfile);
                QCOMPARE(s.Last().text, r.message);
                QCOMPARE(s.Last().caption, std::string("Fernwick"));
                QCOMPARE(s.Last().type, r.type);
                // Left as typed, to be corrected.
                QCOMPARE(s.Text(s.newProfile, IDC_PROFILE_NAME), std::string(r.typed));
            }
            s.Type(s.newProfile, IDC_PROFILE_NAME, "  Temp Files \t");
            s.Press(ID_WIZNEXT);
            QCOMPARE(s.Active(), &s.patterns);
            QCOMPARE(s.newProfile.m_strName, std::string("Temp Files"));
            s.Press(ID_WIZBACK);
            QCOMPARE(s.Text(s.newProfile, IDC_PROFILE_NAME), std::string("Temp Files"));
            s.Press(IDCANCEL);
        });
        QCOMPARE(s.ui.Messages().size(), size_t(4));
    }

    void aNameAnotherProfileHasIsRefused() {
        for (const char* name : {"Temp Files", "Backups", "Twin", "Twin"}) {
            auto p = std::make_unique<CProfile>();
            p->m_strName = name;
            g_profiles.AddTail(std::move(p));
        }
        const auto taken = [](const std::string& name) {
            return "A Profile named " + name + " already exists.  Please choose another name.";
        };
        {
            ProfileSheet s;
            s.Run([&] {
                QLineEdit* edit = s.newProfile.GetItem<QLineEdit>(IDC_PROFILE_NAME);
                for (auto [typed, name] : {std::pair{"Temp Files", "Temp Files"},
                                           {"  Backups\t", "Backups"}}) {
                    s.Type(s.newProfile, IDC_PROFILE_NAME, typed);
                    s.Press(ID_WIZNEXT);
                    QCOMPARE(s.Active(), &s.newProfile);
                    QCOMPARE(s.Last().text, taken(name));
                    QCOMPARE(s.Last().caption, std::string("Fernwick"));
                    QCOMPARE(s.Last().type, MB_OK | MB_ICONSTOP);
                    QCOMPARE(s.Text(s.newProfile, IDC_PROFILE_NAME), std::string(typed));
                    QCOMPARE(s.sheet.GetSafeHwnd()->focusWidget(), edit);
                }
                // Names are told apart byte for byte, as a scheduled run's list tells them.
                s.Type(s.newProfile, IDC_PROFILE_NAME, "temp files");
                s.Press(ID_WIZNEXT);
                QCOMPARE(s.Active(), &s.patterns);
                s.Press(IDCANCEL);
            });
            QCOMPARE(s.ui.Messages().size(), size_t(2));
        }

        CProfile* backups = g_profiles.FindByName("Backups");
        {
            // Edit: another profile's name is refused, its own is kept.
            ProfileSheet s(backups);
            s.Run([&] {
                s.Type(s.newProfile, IDC_PROFILE_NAME, "Twin");
                s.Press(ID_WIZNEXT);
                QCOMPARE(s.Active(), &s.newProfile);
                QCOMPARE(s.Last().text, taken("Twin"));
                QCOMPARE(s.Last().type, MB_OK | MB_ICONSTOP);
                s.Type(s.newProfile, IDC_PROFILE_NAME, "Backups");
                s.Press(ID_WIZNEXT);
                QCOMPARE(s.Active(), &s.patterns);
                s.Press(IDCANCEL);
            });
            QCOMPARE(s.ui.Messages().size(), size_t(1));
        }
        {
            // One of two profiles a stored file gave one name may keep it.
            ProfileSheet s(g_profiles.FindByName("Twin"));
            s.Run([&] {
                s.Press(ID_WIZNEXT);
                QCOMPARE(s.Active(), &s.patterns);
                s.Press(IDCANCEL);
            });
            QVERIFY(s.ui.Messages().empty());
        }
        QCOMPARE(g_profiles.GetCount(), size_t(4));
    }

    void scanFoldersComeFromTheBrowserUntilOneIsScannable() {
        TempDir dir;
        const fs::path a = dir.path() / "A folder", b = dir.path() / "b folder";
        const fs::path blank = dir.path() / "ends in a blank ";
        for (const fs::path& p : {a, b, blank})
            fs::create_directories(p);
        WriteTextFile(dir.path() / "a file", "x");
        ProfileSheet s;
        s.newProfile.m_nScanScope = SCOPE_LISTED_FOLDERS;
        s.Run([&] {
            s.Type(s.newProfile, IDC_PROFILE_NAME, "Listed");
            s.Press(ID_WIZNEXT);
            QCOMPARE(s.Active(), &s.folders);
            QListWidget* list = s.folders.m_lbScanFolders;
            QCOMPARE(GetDlgCtrlID(list), IDC_SCANFOLDERS_LIST);

            s.Click(s.folders, IDC_SCANFOLDERS_DELETE); // nothing selected: no question
            QCOMPARE(s.ui.shown.size(), size_t(1));
            QCOMPARE(s.Last().text, std::string("Please select a folder to delete."));
            QCOMPARE(s.Last().type, MB_OK | MB_ICONSTOP);

            // Not a folder, not a path, not there: each is refused and the browser comes back.
            s.ui.folderAnswers = {std::string(), (dir.path() / "a file").string(),
                                  std::string("relative/path"), (dir.path() / "gone").string(),
                                  b.string()};
            s.ui.shown.clear();
            s.Click(s.folders, IDC_SCANFOLDERS_ADD);
            QCOMPARE(s.ui.shown.size(), size_t(9));
            for (size_t i = 0; i < 9; ++i) {
                if (i % 2 == 0) {
                    QCOMPARE(s.ui.shown[i].kind, std::string("folder"));
                    QCOMPARE(s.ui.shown[i].text,
                             std::string("Choose a folder for Fernwick to scan"));
                } else {
                    QCOMPARE(s.ui.shown[i].text, std::string(kNotScannable));
                    QCOMPARE(s.ui.shown[i].caption, std::string("Fernwick"));
                    QCOMPARE(s.ui.shown[i].type, MB_OK | MB_ICONEXCLAMATION);
                }
            }
            QCOMPARE(Entries(list), std::vector<std::string>{b.string()});

            // Cancel ends the command without a word.
            s.ui.shown.clear();
            s.Click(s.folders, IDC_SCANFOLDERS_ADD);
            QCOMPARE(s.ui.shown.size(), size_t(1));
            // A path the settings file would cut short is refused too.
            s.ui.folderAnswers = {blank.string(), a.string()};
            s.Click(s.folders, IDC_SCANFOLDERS_ADD);
            QCOMPARE(s.ui.Messages(),
                     std::vector<std::string>{"The path of a folder to scan cannot end with a "
                                              "blank or a tab: Fernwick's settings file would "
                                              "drop it."});
            // Sorted without regard to case; the same folder may be listed twice.
            s.ui.folderAnswers = {b.string()};
            s.Click(s.folders, IDC_SCANFOLDERS_ADD);
            QCOMPARE(Entries(list), (std::vector<std::string>{a.string(), b.string(), b.string()}));

            list->setCurrentRow(1);
            s.ui.shown.clear();
            s.ui.messageAnswers = {IDNO, IDCANCEL, IDYES};
            for (int i = 0; i < 3; ++i)
                s.Click(s.folders, IDC_SCANFOLDERS_DELETE);
            QCOMPARE(s.ui.shown.size(), size_t(3));
            for (const auto& shown : s.ui.shown) {
                QCOMPARE(shown.text, std::string("Are you sure you want to delete this folder "
                                                 "from your list of folders to scan?"));
                QCOMPARE(shown.caption, std::string("Fernwick"));
                QCOMPARE(shown.type & (MB_TYPEMASK | MB_ICONMASK),
                         MB_YESNOCANCEL | MB_ICONQUESTION);
            }
            QCOMPARE(Entries(list), (std::vector<std::string>{a.string(), b.string()}));

            s.Press(ID_WIZNEXT);
            QCOMPARE(s.Active(), &s.patterns);
            QCOMPARE(s.folders.m_lstScanFolders,
                     (std::vector<std::string>{a.string(), b.string()}));
            s.Press(IDCANCEL);
        });
    }

    void patternsRefuseProgramFilesAndDuplicatesAndStaySorted() {
        ProfileSheet s;
        s.Run([&] {
            s.Type(s.newProfile, IDC_PROFILE_NAME, "Junk");
            s.Press(ID_WIZNEXT);
            QCOMPARE(s.Active(), &s.patterns);
            QCOMPARE(s.patterns.GetCaption(), std::string("File Patterns"));
            // The six boxes as a new profile has them.
            const std::pair<int, const char*> boxes[] = {
                {IDC_PAT_TMP, "*.TMP"}, {IDC_PAT_BAK, "*.BAK"},       {IDC_PAT_CHK, "*.CHK"},
                {IDC_PAT_OLD, "*.OLD"}, {IDC_PAT_TILDE_NAME, "~*.*"}, {IDC_PAT_TILDE_EXT, "*.~*"}};
            const bool initially[] = {true, false, true, false, true, true};
            for (size_t i = 0; i < 6; ++i) {
                auto* box = s.patterns.GetItem<QCheckBox>(boxes[i].first);
                QVERIFY(box);
                QCOMPARE(box->text(), QString::fromUtf8(boxes[i].second));
                QCOMPARE(box->isChecked(), initially[i]);
            }

            InputSeen seen;
            AnswerInput(s.ui, {"*.exe"}, &seen);
            s.Click(s.patterns, IDC_ADD_PATTERN);
            QCOMPARE(seen.caption, std::string("Add File Pattern"));
            // Over its page, whichever window the desktop thinks is active (Wayland may say none).
            QCOMPARE(seen.parent, s.patterns.GetSafeHwnd());
            QCOMPARE(seen.prompt, std::string("Type in the name of a file pattern to search for.  "
                                              "This pattern will be flagged for deletion when "
                                              "scanning the hard drive."));
            QVERIFY(seen.closedWithOk);
            QCOMPARE(s.Last().text, std::string("Fernwick cannot allow you to delete files of this "
                                                "type.  This could render your PC unusable."));
            QCOMPARE(s.Last().caption, std::string("Fernwick"));
            QCOMPARE(s.Last().type, MB_OK);
            for (const char* refused : {"Setup.EXE", "a.dll.old", "readme.Drv.txt", "x.ocx"}) {
                AnswerInput(s.ui, {refused});
                s.Click(s.patterns, IDC_ADD_PATTERN);
            }
            QCOMPARE(s.ui.Messages().size(), size_t(5));
            QVERIFY(Entries(s.patterns.m_lbPatterns).empty());

            for (const char* accepted : {"*.ex", "b.x", "A.y", "*.TMP"}) {
                AnswerInput(s.ui, {accepted});
                s.Click(s.patterns, IDC_ADD_PATTERN);
            }
            QCOMPARE(s.ui.Messages().size(), size_t(5));
            for (const char* duplicate : {"*.EX", "*.tmp"}) {
                AnswerInput(s.ui, {duplicate});
                s.Click(s.patterns, IDC_ADD_PATTERN);
                QCOMPARE(s.Last().text, std::string(duplicate) + " is already in the list.");
                QCOMPARE(s.Last().caption, std::string("Information"));
                QCOMPARE(s.Last().type, MB_OK);
            }
            // What the file could not carry is refused in the dialog, and stays to be fixed.
            InputSeen fixed;
            AnswerInput(s.ui, {";x", "   ", "ok.y "}, &fixed);
            s.Click(s.patterns, IDC_ADD_PATTERN);
            QCOMPARE(fixed.leftInEdit, (std::vector<std::string>{";x", "   ", "ok.y "}));
            QVERIFY(!fixed.closedWithOk);
            QCOMPARE(s.ui.Messages().size(), size_t(10));
            QCOMPARE(s.ui.shown[s.ui.shown.size() - 3].text,
                     std::string("A file pattern cannot begin with \";\": Fernwick's settings file "
                                 "would read that line as a comment."));
            QCOMPARE(s.ui.shown[s.ui.shown.size() - 3].type, MB_OK | MB_ICONEXCLAMATION);
            QCOMPARE(s.ui.shown[s.ui.shown.size() - 2].text,
                     std::string("A file pattern cannot be empty or only blanks."));
            AnswerInput(s.ui, {";x", "ok.y"}, &fixed);
            s.Click(s.patterns, IDC_ADD_PATTERN);
            QVERIFY(fixed.closedWithOk);
            QCOMPARE(Entries(s.patterns.m_lbPatterns),
                     (std::vector<std::string>{"*.ex", "*.TMP", "A.y", "b.x", "ok.y"}));

            // Folder names: their own prompt, the same duplicate test.
            AnswerInput(s.ui, {"cache"}, &seen);
            s.Click(s.patterns, IDC_ADD_FOLDER);
            QCOMPARE(seen.caption, std::string("Add File Folder"));
            QCOMPARE(seen.prompt, std::string("Type in the name of a folder to search for.  This "
                                              "folder will be flagged for deletion when scanning "
                                              "the hard drive."));
            AnswerInput(s.ui, {"Cache"});
            s.Click(s.patterns, IDC_ADD_FOLDER);
            QCOMPARE(s.Last().text, std::string("Cache is already in the list."));
            QCOMPARE(s.Last().caption, std::string("Information"));
            for (const char* folder : {"Temp", "setup.exe"}) { // no program-file test for folders
                AnswerInput(s.ui, {folder});
                s.Click(s.patterns, IDC_ADD_FOLDER);
            }
            AnswerInput(s.ui, {}); // Cancel adds nothing
            s.Click(s.patterns, IDC_ADD_FOLDER);
            QCOMPARE(Entries(s.patterns.m_lbFolders),
                     (std::vector<std::string>{"cache", "setup.exe", "Temp"}));

            // Deleting: nothing selected is silent; No keeps; the two captions differ.
            const size_t before = s.ui.shown.size();
            s.Click(s.patterns, IDC_DELETE_PATTERN);
            s.Click(s.patterns, IDC_DELETE_FOLDER);
            QCOMPARE(s.ui.shown.size(), before);
            SelectEntry(s.patterns.m_lbPatterns, "b.x");
            s.ui.messageAnswers = {IDNO, IDYES};
            s.Click(s.patterns, IDC_DELETE_PATTERN);
            s.Click(s.patterns, IDC_DELETE_PATTERN);
            QCOMPARE(s.Last().text, std::string("Are you sure you want to delete 'b.x'?"));
            QCOMPARE(s.Last().caption, std::string("Fernwick"));
            QCOMPARE(s.Last().type & (MB_TYPEMASK | MB_ICONMASK), MB_YESNO);
            SelectEntry(s.patterns.m_lbFolders, "setup.exe");
            s.ui.messageAnswers = {IDYES};
            s.Click(s.patterns, IDC_DELETE_FOLDER);
            QCOMPARE(s.Last().text, std::string("Are you sure you want to delete 'setup.exe'?"));
            QCOMPARE(s.Last().caption, std::string("Fern Wick"));
            QCOMPARE(s.Last().type & (MB_TYPEMASK | MB_ICONMASK), MB_YESNO);

            // The checked boxes first, in their order, then the list as sorted.
            s.Click(s.patterns, IDC_PAT_TMP);
            s.Click(s.patterns, IDC_PAT_BAK);
            QVERIFY(s.patterns.m_bPatBAK && !s.patterns.m_bPatTMP);
            s.Press(ID_WIZNEXT);
            QCOMPARE(s.Active(), &s.props);
            QCOMPARE(s.patterns.m_lstPatterns,
                     (std::vector<std::string>{"*.BAK", "*.CHK", "~*.*", "*.~*", "*.ex", "*.TMP",
                                               "A.y", "ok.y"}));
            QCOMPARE(s.patterns.m_lstFolders, (std::vector<std::string>{"cache", "Temp"}));
            s.Press(IDCANCEL);
        });
    }

    void limitsAreValidatedWithTheirBoundsOnFinishAndBack() {
        ProfileSheet s;
        const int rc = s.Run([&] {
            s.Type(s.newProfile, IDC_PROFILE_NAME, "Junk");
            s.Press(ID_WIZNEXT);
            s.Press(ID_WIZNEXT);
            QCOMPARE(s.Active(), &s.props);
            const int edits[] = {IDC_MIN_SIZE, IDC_MAX_SIZE, IDC_MONTH, IDC_DAY, IDC_YEAR};
            const char* shown[] = {"0", "4294967295", "1", "1", "1980"};
            for (size_t i = 0; i < 5; ++i) {
                QCOMPARE(s.Text(s.props, edits[i]), std::string(shown[i]));
                QVERIFY(!s.props.GetItem<QLineEdit>(edits[i])->isEnabled());
            }
            auto* useLimits = s.props.GetItem<QCheckBox>(IDC_USE_LIMITS);
            QVERIFY(!useLimits->isChecked());
            QCOMPARE(useLimits->text(), QStringLiteral("Yes I want to specify these parameters"));
            QWidget* advice = s.props.GetDlgItem(IDC_LIMITS_ADVICE);
            QCOMPARE(advice->font().weight(), QFont::Bold);
            QVERIFY(s.props.GetDlgItem(IDC_MIN_SIZE)->font().weight() != QFont::Bold);

            useLimits->click();
            for (int id : edits)
                QVERIFY(s.props.GetItem<QLineEdit>(id)->isEnabled());
            // Typing takes digits only.
            s.Type(s.props, IDC_MIN_SIZE, "");
            QTest::keyClicks(s.props.GetItem<QLineEdit>(IDC_MIN_SIZE), QStringLiteral("1a2-3"));
            QCOMPARE(s.Text(s.props, IDC_MIN_SIZE), std::string("123"));

            struct Case {
                int id;
                const char* text;
                std::string message;
            };
            const Case cases[] = {
                {IDC_MIN_SIZE, "", kPositive},
                {IDC_MIN_SIZE, "12a", kPositive},
                {IDC_MIN_SIZE, "-1", kPositive},
                {IDC_MIN_SIZE, "4294967296", kPositive},
                {IDC_MAX_SIZE, "99999", "Please enter an integer between 100000 and 4294967295."},
                {IDC_MAX_SIZE, "0", "Please enter an integer between 100000 and 4294967295."},
                {IDC_DAY, "0", "Please enter an integer between 1 and 31."},
                {IDC_DAY, "32", "Please enter an integer between 1 and 31."},
                {IDC_MONTH, "13", "Please enter an integer between 1 and 12."},
                {IDC_MONTH, "0", "Please enter an integer between 1 and 12."},
                {IDC_YEAR, "1979", "Please enter an integer between 1980 and 2100."},
                {IDC_YEAR, "2101", "Please enter an integer between 1980 and 2100."},
            };
            for (const Case& c : cases) {
                const std::string good = s.Text(s.props, c.id);
                s.Type(s.props, c.id, c.text);
                for (int button : {ID_WIZFINISH, ID_WIZBACK}) {
                    s.ui.shown.clear();
                    s.Press(button);
                    QVERIFY(s.sheet.GetSafeHwnd()->isVisible());
                    QCOMPARE(s.Active(), &s.props);
                    QCOMPARE(s.ui.Messages(), std::vector<std::string>{c.message});
                    QCOMPARE(s.Last().caption, std::string("Fernwick"));
                    QCOMPARE(s.Last().type, MB_OK | MB_ICONEXCLAMATION);
                }
                s.Type(s.props, c.id, good.c_str());
            }
            // The exchange stops at the first refusal, in its order: minimum first.
            s.Type(s.props, IDC_YEAR, "3000");
            s.Type(s.props, IDC_MIN_SIZE, "x");
            s.ui.shown.clear();
            s.Press(ID_WIZFINISH);
            QCOMPARE(s.ui.Messages(), std::vector<std::string>{kPositive});
            s.Type(s.props, IDC_MIN_SIZE, " 7 ");
            s.Press(ID_WIZFINISH);
            QCOMPARE(s.Last().text, std::string("Please enter an integer between 1980 and 2100."));
            // Clearing the box disables the edits and keeps their values.
            useLimits->click();
            QVERIFY(!s.props.GetItem<QLineEdit>(IDC_YEAR)->isEnabled());
            QCOMPARE(s.Text(s.props, IDC_YEAR), std::string("3000"));
            // ... which are still checked: a refused value under a checked box can be fixed.
            useLimits->click();
            QVERIFY(s.props.GetItem<QLineEdit>(IDC_YEAR)->isEnabled());
            s.Type(s.props, IDC_YEAR, "2100");
            s.Type(s.props, IDC_MONTH, "12");
            s.Type(s.props, IDC_DAY, "31");
            s.Type(s.props, IDC_MAX_SIZE, "100000");
            s.ui.shown.clear();
            s.Press(ID_WIZFINISH);
            QVERIFY(s.ui.shown.empty());
        });
        QCOMPARE(rc, ID_WIZFINISH);
        QVERIFY(s.props.m_bUseLimits);
        QCOMPARE(s.props.m_nMinSize, 7u);
        QCOMPARE(s.props.m_nMaxSize, 100000u);
        QCOMPARE(s.props.m_nMonth, 12u);
        QCOMPARE(s.props.m_nDay, 31u);
        QCOMPARE(s.props.m_nYear, 2100u);
    }

    void editingShowsTheProfilesOwnValues() {
        CProfile p;
        p.m_strName = "Office Leftovers";
        p.m_nScanScope = SCOPE_LISTED_FOLDERS;
        p.m_lstScanFolders = {"/srv/b", "/srv/A"};
        p.m_lstPatterns = {"*.TMP", "*.tmp", "b.x", "*.OLD"};
        p.m_lstFolders = {"Temp", "cache"};
        p.m_bUseLimits = true;
        p.m_dwMinSize = 5;
        p.m_dwMaxSize = 200000;
        LocalMidnight(7, 4, 2100, p.m_timeOlderThan);
        ProfileSheet s(&p);
        s.Run([&] {
            QCOMPARE(s.Text(s.newProfile, IDC_PROFILE_NAME), std::string("Office Leftovers"));
            QVERIFY(s.newProfile.GetItem<QLineEdit>(IDC_PROFILE_NAME)->isEnabled());
            auto* listed = s.newProfile.GetItem<QRadioButton>(IDC_SCOPE_LISTED_FOLDERS);
            auto* all = s.newProfile.GetItem<QRadioButton>(IDC_SCOPE_ALL_FOLDERS);
            QVERIFY(listed->isChecked() && !all->isChecked());
            QVERIFY(!listed->isEnabled() && !all->isEnabled());
            s.Press(ID_WIZNEXT);
            QCOMPARE(s.Active(), &s.folders);
            QCOMPARE(Entries(s.folders.m_lbScanFolders),
                     (std::vector<std::string>{"/srv/A", "/srv/b"}));
            s.Press(ID_WIZNEXT);
            QCOMPARE(s.Active(), &s.patterns);
            // Only the standard patterns the profile holds, byte for byte, are checked.
            for (auto [id, checked] : {std::pair{IDC_PAT_TMP, true},
                                       {IDC_PAT_BAK, false},
                                       {IDC_PAT_CHK, false},
                                       {IDC_PAT_OLD, true},
                                       {IDC_PAT_TILDE_NAME, false},
                                       {IDC_PAT_TILDE_EXT, false}})
                QCOMPARE(s.patterns.IsItemChecked(id), checked);
            QCOMPARE(Entries(s.patterns.m_lbPatterns), (std::vector<std::string>{"*.tmp", "b.x"}));
            QCOMPARE(Entries(s.patterns.m_lbFolders), (std::vector<std::string>{"cache", "Temp"}));
            s.Press(ID_WIZNEXT);
            QCOMPARE(s.Active(), &s.props);
            QVERIFY(s.props.IsItemChecked(IDC_USE_LIMITS));
            const std::pair<int, const char*> values[] = {{IDC_MIN_SIZE, "5"},
                                                          {IDC_MAX_SIZE, "200000"},
                                                          {IDC_MONTH, "7"},
                                                          {IDC_DAY, "4"},
                                                          {IDC_YEAR, "2100"}};
            for (auto [id, text] : values) {
                QCOMPARE(s.Text(s.props, id), std::string(text));
                QVERIFY(s.props.GetItem<QLineEdit>(id)->isEnabled());
            }
            s.Press(IDCANCEL);
        });

        // Values out of range under a clear box cannot be corrected, so they are not refused:
        // shipped profiles have a maximum of 0. Checking the box brings the refusal.
        p.m_bUseLimits = false;
        p.m_nScanScope = SCOPE_ALL_FOLDERS;
        p.m_dwMaxSize = 0;
        ProfileSheet shipped(&p);
        const int rc = shipped.Run([&] {
            shipped.Type(shipped.newProfile, IDC_PROFILE_NAME, "Renamed");
            shipped.Press(ID_WIZNEXT);
            shipped.Press(ID_WIZNEXT);
            QCOMPARE(shipped.Active(), &shipped.props);
            QVERIFY(!shipped.props.IsItemChecked(IDC_USE_LIMITS));
            QVERIFY(!shipped.props.GetItem<QLineEdit>(IDC_MAX_SIZE)->isEnabled());
            QCOMPARE(shipped.Text(shipped.props, IDC_MAX_SIZE), std::string("0"));
            shipped.Click(shipped.props, IDC_USE_LIMITS);
            QCOMPARE(shipped.ui.Messages(),
                     std::vector<std::string>{
                         "Please enter an integer between 100000 and 4294967295."});
            QVERIFY(shipped.props.GetItem<QLineEdit>(IDC_MAX_SIZE)->isEnabled());
            shipped.Press(ID_WIZFINISH);
            QCOMPARE(shipped.ui.Messages().size(), size_t(2));
            QCOMPARE(shipped.Active(), &shipped.props);
            shipped.Click(shipped.props, IDC_USE_LIMITS);
            QVERIFY(!shipped.props.GetItem<QLineEdit>(IDC_MAX_SIZE)->isEnabled());
            shipped.Press(ID_WIZFINISH);
        });
        QCOMPARE(rc, ID_WIZFINISH);
        QCOMPARE(shipped.ui.Messages().size(), size_t(2));
        QVERIFY(!shipped.props.m_bUseLimits);
        QCOMPARE(shipped.props.m_nMaxSize, 0u);
    }
};

QTEST_MAIN(ProfilePagesTest)
#include "ProfilePagesTest.moc"
