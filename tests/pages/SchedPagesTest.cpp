// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// The scheduling wizard's own pages (setup, scheduled disposal) and the when-dialog, driven
// offscreen as a user would, with a stand-in between them where the drives page goes.
#include "pages/CWizardApp.h"
#include "controls/ListViewHelpers.h"
#include "framework/CPropertySheet.h"
#include "pages/CScheduleWhenDlg.h"
#include "pages/CSchedDeletePage.h"
#include "pages/CSchedSetupPage.h"
#include "profiles/CProfileList.h"
#include "res/resource.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"

#include <QtCore/QScopeGuard>
#include <QtTest/QtTest>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QDialog>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QRadioButton>
#include <QtWidgets/QSpinBox>
#include <QtWidgets/QTimeEdit>
#include <QtWidgets/QTreeWidget>

namespace {

const char* const kNotice = "When you press <Finish> the Tasklane wizard will start.  It will ask "
                            "you for the time and day to perform your disk scan.";
const char* const kDeletedPrompt = "Where would you like to store your deleted files?";
const char* const kZipPrompt = "Where would you like to store your Zip file?";
const char* const kMovePrompt = "Where would you like to move your Deleted files to?";

// Lets the wizard go both ways, as the drives page does once a drive is checked.
class CStandInPage : public CPropertyPage {
public:
    CStandInPage()
        : CPropertyPage(900, [](QWidget* w) {
              w->setWindowTitle(QStringLiteral("Drives"));
              w->resize(200, 100);
          }) {}
    bool OnSetActive() override {
        CPropertyPage::OnSetActive();
        GetSheet()->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
        return true;
    }
};

void AddProfile(const std::string& name, int scope) {
    auto p = std::make_unique<CProfile>();
    p->m_strName = name;
    p->m_nScanScope = scope;
    g_profiles.AddTail(std::move(p));
}

// The scheduling wizard's order, the page pointers set as start-up sets them.
struct Wizard {
    CSchedSetupPage setup;
    CStandInPage drives;
    CSchedDeletePage dispose;
    CPropertySheet sheet;
    Wizard() {
        sheet.AddPage(&setup);
        sheet.AddPage(&drives);
        sheet.AddPage(&dispose);
        WizardApp().m_pSchedSetupPage = &setup;
        WizardApp().m_pSchedDeletePage = &dispose;
    }
    ~Wizard() {
        WizardApp().m_pSchedSetupPage = nullptr;
        WizardApp().m_pSchedDeletePage = nullptr;
    }
    // Runs the sheet with the steps once it is up; returns its result.
    int Run(CScriptedUi& ui, std::function<void()> steps) {
        ui.modalActions.push_back([this, steps](QWidget*) {
            auto guard = qScopeGuard([this] {
                if (sheet.GetSafeHwnd() && sheet.GetSafeHwnd()->isVisible())
                    sheet.PressButton(IDCANCEL);
            });
            steps();
        });
        return sheet.DoModal();
    }
    QTreeWidget* List() const { return setup.m_listProfiles; }
    void ClickRow(int row) {
        QTreeWidgetItem* item = List()->topLevelItem(row);
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, {},
                          List()->visualItemRect(item).center());
    }
    std::vector<bool> Checks() const { return setup.m_checks.GetChecks(); }
    // 'B', 'N', 'F' for the enabled wizard buttons in view.
    std::string Buttons() const {
        std::string s;
        for (auto [id, c] : {std::pair{ID_WIZBACK, 'B'}, {ID_WIZNEXT, 'N'}, {ID_WIZFINISH, 'F'}})
            if (QAbstractButton* b = sheet.GetButton(id); b && b->isVisible() && b->isEnabled())
                s += c;
        return s;
    }
    void Method(int id) { dispose.GetItem<QRadioButton>(id)->click(); }
    QLineEdit* Edit() const { return dispose.m_editDestination; }
    QString Prompt() const { return dispose.m_stcDestinationPrompt->text(); }
    // Whether the edit, Browse and the prompt are all enabled (1), all disabled (0), or mixed.
    int DestinationEnabled() const {
        const int on = dispose.m_editDestination->isEnabled() + dispose.m_btnBrowse->isEnabled() +
                       dispose.m_stcDestinationPrompt->isEnabled();
        return on == 3 ? 1 : on == 0 ? 0 : -1;
    }
};

} // namespace

class SchedPagesTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        g_profiles.RemoveAll();
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void setupPageCollectsTheCheckedProfilesAndSkipsTheDrivesPage() {
        CScriptedUi ui;
        AddProfile("A", SCOPE_LISTED_FOLDERS);
        AddProfile("B", SCOPE_LISTED_FOLDERS);
        AddProfile("C", SCOPE_LISTED_FOLDERS);
        Wizard wiz;
        wiz.Run(ui, [&] {
            QCOMPARE(wiz.sheet.GetSafeHwnd()->windowTitle(), QStringLiteral("Schedule Setup"));
            QCOMPARE(wiz.List()->headerItem()->text(0), QStringLiteral("Files to Clean"));
            QCOMPARE(wiz.Checks(), (std::vector<bool>{true, true, true}));
            QCOMPARE(wiz.Buttons(), std::string("N"));
            QVERIFY(wiz.setup.m_picture && wiz.setup.m_picture->isVisible());

            // Unchecking every row leaves only Cancel; checking one gives Next back.
            for (int r = 0; r < 3; ++r) {
                SelectItem(wiz.List(), r);
                wiz.ClickRow(r);
            }
            QCOMPARE(wiz.Checks(), (std::vector<bool>{false, false, false}));
            QCOMPARE(wiz.Buttons(), std::string());
            QVERIFY(wiz.sheet.GetButton(IDCANCEL)->isEnabled());
            wiz.ClickRow(0);
            wiz.ClickRow(2);
            QCOMPARE(wiz.Checks(), (std::vector<bool>{true, false, true}));
            QCOMPARE(wiz.Buttons(), std::string("N"));

            // Only listed folders: straight on to the disposal page, the names in store order
            // each with its blank.
            wiz.sheet.PressButton(ID_WIZNEXT);
            QCOMPARE(wiz.setup.m_strProfiles, std::string("A C "));
            QCOMPARE(wiz.sheet.GetActivePage(), &wiz.dispose);
            QCOMPARE(wiz.Buttons(), std::string("BF"));
            // Back goes to the page that came before, not to the drives page never shown.
            wiz.sheet.PressButton(ID_WIZBACK);
            QCOMPARE(wiz.sheet.GetActivePage(), &wiz.setup);
            QCOMPARE(wiz.Checks(), (std::vector<bool>{true, false, true}));
            QVERIFY(!wiz.drives.GetSafeHwnd());
        });
    }

    void aWholeDriveProfileShowsTheDrivesPage() {
        CScriptedUi ui;
        AddProfile("Folders", SCOPE_LISTED_FOLDERS);
        AddProfile("Everywhere", SCOPE_ALL_FOLDERS);
        Wizard wiz;
        wiz.Run(ui, [&] {
            QVERIFY(wiz.setup.AnyCheckedScansAllFolders());
            wiz.sheet.PressButton(ID_WIZNEXT);
            QCOMPARE(wiz.setup.m_strProfiles, std::string("Folders Everywhere "));
            QCOMPARE(wiz.sheet.GetActivePage(), &wiz.drives);
            wiz.sheet.PressButton(ID_WIZNEXT);
            QCOMPARE(wiz.sheet.GetActivePage(), &wiz.dispose);
            wiz.sheet.PressButton(ID_WIZBACK);
            QCOMPARE(wiz.sheet.GetActivePage(), &wiz.drives);
            // Back and Finish again each time the page is shown.
            wiz.sheet.PressButton(ID_WIZNEXT);
            QCOMPARE(wiz.Buttons(), std::string("BF"));
            wiz.sheet.PressButton(ID_WIZBACK);
            wiz.sheet.PressButton(ID_WIZBACK);
            SelectItem(wiz.List(), 1);
            wiz.ClickRow(1);
            QVERIFY(!wiz.setup.AnyCheckedScansAllFolders());
            wiz.sheet.PressButton(ID_WIZNEXT);
            QCOMPARE(wiz.setup.m_strProfiles, std::string("Folders "));
            QCOMPARE(wiz.sheet.GetActivePage(), &wiz.dispose);
        });
        // The names stay after the wizard has closed.
        QCOMPARE(wiz.setup.m_strProfiles, std::string("Folders "));
        QVERIFY(!wiz.setup.IsProfileChecked(*g_profiles.FindByName("Folders")));
    }

    void namesDifferingInCaseShareTheFirstRowAndNoProfilesLeaveOnlyCancel() {
        CScriptedUi ui;
        AddProfile("Temp", SCOPE_LISTED_FOLDERS);
        AddProfile("TEMP", SCOPE_LISTED_FOLDERS);
        {
            Wizard wiz;
            wiz.Run(ui, [&] {
                SelectItem(wiz.List(), 1);
                wiz.ClickRow(1); // the second row's own mark goes
                QCOMPARE(wiz.Checks(), (std::vector<bool>{true, false}));
                const CProfile& upper = *std::next(g_profiles.begin());
                QCOMPARE(upper.m_strName, std::string("TEMP"));
                QVERIFY(wiz.setup.IsProfileChecked(upper)); // it follows the first row
                wiz.sheet.PressButton(ID_WIZNEXT);
                QCOMPARE(wiz.setup.m_strProfiles, std::string("Temp TEMP "));
            });
        }
        g_profiles.RemoveAll();
        Wizard empty;
        empty.Run(ui, [&] {
            QCOMPARE(empty.List()->topLevelItemCount(), 0);
            QCOMPARE(empty.Buttons(), std::string());
        });
    }

    void disposalPageFollowsTheChosenMethod() {
        CScriptedUi ui;
        AddProfile("A", SCOPE_LISTED_FOLDERS);
        Wizard wiz;
        wiz.dispose.m_strDestination = "/earlier/archive.zip";
        const int result = wiz.Run(ui, [&] {
            wiz.sheet.PressButton(ID_WIZNEXT);
            QCOMPARE(wiz.sheet.GetActivePage(), &wiz.dispose);
            QCOMPARE(wiz.sheet.GetSafeHwnd()->windowTitle(),
                     QStringLiteral("Dispose of your files"));
            auto* notice = wiz.dispose.GetItem<QLabel>(IDC_SCHED_NOTICE);
            QCOMPARE(notice->text(), QString::fromUtf8(kNotice));
            QCOMPARE(notice->font().weight(), QFont::Bold);
            // Delete chosen, the last destination shown in the disabled edit.
            QVERIFY(wiz.dispose.IsItemChecked(1022));
            QCOMPARE(wiz.dispose.m_nMethod, 1022);
            QCOMPARE(wiz.DestinationEnabled(), 0);
            QCOMPARE(wiz.Prompt(), QString::fromUtf8(kDeletedPrompt));
            QCOMPARE(wiz.Edit()->text(), QStringLiteral("/earlier/archive.zip"));

            // Zip empties the edit; Browse puts the answer in, a cancelled one empties it.
            wiz.Method(1023);
            QCOMPARE(wiz.dispose.m_nMethod, 1023);
            QCOMPARE(wiz.DestinationEnabled(), 1);
            QCOMPARE(wiz.Prompt(), QString::fromUtf8(kZipPrompt));
            QCOMPARE(wiz.Edit()->text(), QString());
            ui.fileAnswers = {std::string("/backups/junk"), std::nullopt};
            wiz.dispose.m_btnBrowse->click();
            QCOMPARE(wiz.Edit()->text(), QStringLiteral("/backups/junk.zip"));
            wiz.dispose.m_btnBrowse->click();
            QCOMPARE(wiz.Edit()->text(), QString());
            wiz.Edit()->setText(QStringLiteral("/typed/a.zip"));
            // Zip again, even already chosen, empties the edit again.
            wiz.Method(1023);
            QCOMPARE(wiz.Edit()->text(), QString());

            // Move: the folder browser answers.
            wiz.Edit()->setText(QStringLiteral("/typed/a.zip"));
            wiz.Method(1024);
            QCOMPARE(wiz.Edit()->text(), QString());
            QCOMPARE(wiz.Prompt(), QString::fromUtf8(kMovePrompt));
            ui.folderAnswers = {std::string("/srv/old files")};
            wiz.dispose.m_btnBrowse->click();
            QCOMPARE(wiz.Edit()->text(), QStringLiteral("/srv/old files"));

            // Another method disables the three and keeps the text and the prompt.
            wiz.Method(1025);
            QCOMPARE(wiz.DestinationEnabled(), 0);
            QCOMPARE(wiz.Edit()->text(), QStringLiteral("/srv/old files"));
            QCOMPARE(wiz.Prompt(), QString::fromUtf8(kMovePrompt));
            wiz.Method(1026);
            QCOMPARE(wiz.dispose.m_nMethod, 1026);
            wiz.Method(1022);

            // Back and Next again: Back and Finish, the text where it was.
            wiz.sheet.PressButton(ID_WIZBACK);
            wiz.sheet.PressButton(ID_WIZNEXT);
            QCOMPARE(wiz.Buttons(), std::string("BF"));
            QCOMPARE(wiz.Edit()->text(), QStringLiteral("/srv/old files"));
            wiz.sheet.PressButton(ID_WIZFINISH);
        });
        QCOMPARE(result, ID_WIZFINISH);
        // Finish hands over the method with whatever the edit held.
        QCOMPARE(wiz.dispose.m_nMethod, 1022);
        QCOMPARE(wiz.dispose.m_strDestination, std::string("/srv/old files"));
        const std::vector<std::string> dialogs = {"open", "open", "folder"};
        QCOMPARE(ui.shown.size(), dialogs.size());
        for (size_t i = 0; i < dialogs.size(); ++i)
            QCOMPARE(ui.shown[i].kind, dialogs[i]);
        QCOMPARE(ui.shown[2].text, std::string("Select a folder to move the files to"));

        // A new wizard starts with Delete, the last destination in the disabled edit.
        wiz.Run(ui, [&] {
            wiz.sheet.PressButton(ID_WIZNEXT);
            QVERIFY(wiz.dispose.IsItemChecked(1022));
            QCOMPARE(wiz.Edit()->text(), QStringLiteral("/srv/old files"));
            wiz.sheet.PressButton(ID_WIZFINISH);
            QVERIFY(!wiz.sheet.GetSafeHwnd() || !wiz.sheet.GetSafeHwnd()->isVisible());
        });
        QCOMPARE(wiz.dispose.m_nMethod, 1022);
        QCOMPARE(wiz.dispose.m_strDestination, std::string("/srv/old files"));
    }

    void finishWithZipOrMoveAndNoDestinationAsksForOne() {
        CScriptedUi ui;
        AddProfile("A", SCOPE_LISTED_FOLDERS);
        Wizard wiz;
        const auto onThePage = [&] {
            return wiz.sheet.GetSafeHwnd() && wiz.sheet.GetSafeHwnd()->isVisible() &&
                   wiz.sheet.GetActivePage() == &wiz.dispose;
        };
        const int result = wiz.Run(ui, [&] {
            wiz.sheet.PressButton(ID_WIZNEXT);
            wiz.Method(1023);
            // The archive dialog, as Browse shows it; cancelled, the page stays.
            wiz.sheet.PressButton(ID_WIZFINISH);
            QVERIFY(onThePage());
            QCOMPARE(ui.shown.size(), size_t(1));
            QCOMPARE(ui.shown[0].kind, std::string("open"));
            QCOMPARE(ui.shown[0].text, std::string("Zip Files"));
            QCOMPARE(wiz.Edit()->text(), QString());
            QCOMPARE(wiz.dispose.m_strDestination, std::string());
            QCOMPARE(wiz.sheet.GetSafeHwnd()->focusWidget(), wiz.Edit());

            // Move: the folder browser; cancelled, the page stays.
            wiz.Method(1024);
            wiz.sheet.PressButton(ID_WIZFINISH);
            QVERIFY(onThePage());
            QCOMPARE(ui.shown.size(), size_t(2));
            QCOMPARE(ui.shown[1].kind, std::string("folder"));
            QCOMPARE(ui.shown[1].text, std::string("Select a folder to move the files to"));

            // Zip again, answered: the name goes into the edit and the wizard finishes.
            wiz.Method(1023);
            ui.fileAnswers = {std::string("/backups/weekly")};
            wiz.sheet.PressButton(ID_WIZFINISH);
            QVERIFY(!wiz.sheet.GetSafeHwnd() || !wiz.sheet.GetSafeHwnd()->isVisible());
        });
        QCOMPARE(result, ID_WIZFINISH);
        QCOMPARE(ui.shown.size(), size_t(3));
        QCOMPARE(ui.shown[2].kind, std::string("open"));
        QCOMPARE(wiz.dispose.m_nMethod, 1023);
        QCOMPARE(wiz.dispose.m_strDestination, std::string("/backups/weekly.zip"));

        // A typed destination asks nothing; Move answered through the browser finishes too.
        ui.shown.clear();
        QCOMPARE(wiz.Run(ui, [&] {
            wiz.sheet.PressButton(ID_WIZNEXT);
            wiz.Method(1023);
            wiz.Edit()->setText(QStringLiteral("/typed/a.zip"));
            wiz.sheet.PressButton(ID_WIZFINISH);
        }), ID_WIZFINISH);
        QVERIFY(ui.shown.empty());
        QCOMPARE(wiz.dispose.m_strDestination, std::string("/typed/a.zip"));
        ui.folderAnswers = {std::string("/srv/old files")};
        QCOMPARE(wiz.Run(ui, [&] {
            wiz.sheet.PressButton(ID_WIZNEXT);
            wiz.Method(1024);
            wiz.sheet.PressButton(ID_WIZFINISH);
        }), ID_WIZFINISH);
        QCOMPARE(ui.shown.size(), size_t(1));
        QCOMPARE(wiz.dispose.m_nMethod, 1024);
        QCOMPARE(wiz.dispose.m_strDestination, std::string("/srv/old files"));
    }

    void whenDialogTellsDailyWeeklyAndMonthly() {
        CScriptedUi ui;
        struct Case {
            int kindId;
            int weekday, day, hour, minute;
            CronWhen::Kind kind;
        };
        const Case cases[] = {{IDC_WHEN_DAILY, 3, 9, 4, 5, CronWhen::Daily},
                              {IDC_WHEN_WEEKLY, 0, 9, 23, 59, CronWhen::Weekly},
                              {IDC_WHEN_MONTHLY, 6, 31, 0, 0, CronWhen::Monthly}};
        for (const Case& c : cases) {
            std::vector<bool> enabled; // weekday box, day box
            bool catchUpOffered = false;
            ui.modalActions.push_back([&](QWidget* w) {
                QCOMPARE(w->windowTitle(), QStringLiteral("Schedule a Fernwick Cleaning"));
                // The catch-up at login is on unless the user turns it off.
                auto* catchUp = Control<QCheckBox>(w, IDC_WHEN_CATCHUP);
                QCOMPARE(catchUp->text(), QStringLiteral("&Run a missed cleaning at the next login"));
                catchUpOffered = catchUp->isChecked();
                if (c.kind == CronWhen::Monthly)
                    catchUp->click();
                auto* weekday = Control<QComboBox>(w, IDC_WHEN_WEEKDAY);
                QCOMPARE(weekday->count(), 7);
                QCOMPARE(weekday->itemText(0), QStringLiteral("Sunday"));
                Control<QRadioButton>(w, c.kindId)->click();
                weekday->setCurrentIndex(c.weekday);
                Control<QSpinBox>(w, IDC_WHEN_DAY)->setValue(c.day);
                Control<QTimeEdit>(w, IDC_WHEN_TIME)->setTime(QTime(c.hour, c.minute));
                enabled = {weekday->isEnabled(), Control<QSpinBox>(w, IDC_WHEN_DAY)->isEnabled()};
                Control<QPushButton>(w, IDOK)->click();
            });
            const std::optional<CronWhen> when = AskScheduleWhen(nullptr);
            QVERIFY(when);
            QCOMPARE(when->kind, c.kind);
            QVERIFY(catchUpOffered);
            QCOMPARE(when->catchUpAtLogin, c.kind != CronWhen::Monthly);
            QCOMPARE(enabled, (std::vector<bool>{c.kind == CronWhen::Weekly,
                                                 c.kind == CronWhen::Monthly}));
            QCOMPARE(when->hour, c.hour);
            QCOMPARE(when->minute, c.minute);
            if (c.kind == CronWhen::Weekly)
                QCOMPARE(when->weekday, c.weekday);
            if (c.kind == CronWhen::Monthly)
                QCOMPARE(when->dayOfMonth, c.day);
        }
        // Cancel, and the window's close button, choose nothing.
        ui.modalActions.push_back(
            [](QWidget* w) { Control<QPushButton>(w, IDCANCEL)->click(); });
        QVERIFY(!AskScheduleWhen(nullptr));
        ui.modalActions.push_back([](QWidget* w) { w->close(); });
        QVERIFY(!AskScheduleWhen(nullptr));
    }

private:
    template <class T> static T* Control(QWidget* window, int id) {
        for (T* child : window->findChildren<T*>())
            if (GetDlgCtrlID(child) == id)
                return child;
        return nullptr;
    }
};

QTEST_MAIN(SchedPagesTest)
#include "SchedPagesTest.moc"
