// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// Drives small wizards through the sheet as a user would, with scripted answers.
#include "TestPages.h"
#include "support/ScriptedUi.h"

#include <QtTest/QtTest>
#include <QtWidgets/QDialog>

class WizardTest : public QObject {
    Q_OBJECT

    // Runs the sheet with one action once it is up. A failed check inside the action leaves
    // it early; the wizard is then cancelled so the test ends instead of hanging.
    static int Run(CPropertySheet& sheet, CScriptedUi& ui, std::function<void()> action) {
        ui.modalActions.push_back([&sheet, action](QWidget*) {
            action();
            if (sheet.GetSafeHwnd() && sheet.GetSafeHwnd()->isVisible())
                sheet.EndDialog(-1);
        });
        return sheet.DoModal();
    }

private slots:
    void cleanup() { QVERIFY(QApplication::topLevelWidgets().isEmpty()); }

    void buttonsFollowSetWizardButtons() {
        CScriptedUi ui;
        CTestPage first("First"), last("Last");
        first.m_buttons = PSWIZB_NEXT;
        last.m_buttons = PSWIZB_BACK | PSWIZB_FINISH;
        CPropertySheet sheet;
        sheet.AddPage(&first);
        sheet.AddPage(&last);
        const int rc = Run(sheet, ui, [&] {
            auto* back = sheet.GetButton(ID_WIZBACK);
            auto* next = sheet.GetButton(ID_WIZNEXT);
            auto* finish = sheet.GetButton(ID_WIZFINISH);
            QVERIFY(!back->isEnabled());
            QVERIFY(next->isVisible() && next->isEnabled());
            QVERIFY(!finish->isVisible());
            QCOMPARE(sheet.GetSafeHwnd()->windowTitle(), QStringLiteral("First"));

            sheet.SetWizardButtons(0);
            QVERIFY(!next->isEnabled());
            next->click(); // a disabled button does nothing
            QCOMPARE(sheet.GetActiveIndex(), 0);
            sheet.SetWizardButtons(PSWIZB_NEXT);

            next->click();
            QCOMPARE(sheet.GetActiveIndex(), 1);
            QVERIFY(back->isEnabled());
            QVERIFY(!next->isVisible()); // Finish takes Next's place
            QVERIFY(finish->isVisible() && finish->isEnabled());
            QCOMPARE(sheet.GetSafeHwnd()->windowTitle(), QStringLiteral("Last"));

            sheet.SetWizardButtons(PSWIZB_BACK | PSWIZB_DISABLEDFINISH);
            QVERIFY(finish->isVisible() && !finish->isEnabled());
            sheet.SetWizardButtons(PSWIZB_BACK | PSWIZB_FINISH);
            finish->click();
        });
        QCOMPARE(rc, ID_WIZFINISH);
    }

    void nextReturningMinusOneStays() {
        CScriptedUi ui;
        CTestPage a("A"), b("B");
        int asked = 0;
        a.onNext = [&] { return ++asked == 1 ? -1 : 0; };
        CPropertySheet sheet(std::string("Own Caption"));
        sheet.AddPage(&a);
        sheet.AddPage(&b);
        const int rc = Run(sheet, ui, [&] {
            QCOMPARE(sheet.GetSafeHwnd()->windowTitle(), QStringLiteral("Own Caption"));
            sheet.PressButton(ID_WIZNEXT);
            QCOMPARE(sheet.GetActiveIndex(), 0);
            QVERIFY(b.GetSafeHwnd() == nullptr);
            sheet.PressButton(ID_WIZNEXT);
            QCOMPARE(sheet.GetActiveIndex(), 1);
            sheet.PressButton(IDCANCEL);
        });
        QCOMPARE(rc, IDCANCEL);
        QCOMPARE(asked, 2);
    }

    void jumpsSkipAPageInBothDirections() {
        CScriptedUi ui;
        CTestPage start("Start"), skipped("Skipped"), target("Target");
        CPropertySheet sheet;
        start.onNext = [&] {
            sheet.SetActivePage(&target);
            return 0; // the jump is the move
        };
        target.onBack = [&] {
            sheet.SetActivePage(0);
            return 0;
        };
        sheet.AddPage(&start);
        sheet.AddPage(&skipped);
        sheet.AddPage(&target);
        Run(sheet, ui, [&] {
            sheet.PressButton(ID_WIZNEXT);
            QCOMPARE(sheet.GetActivePage(), &target);
            QVERIFY(skipped.GetSafeHwnd() == nullptr); // never shown, never made
            sheet.PressButton(ID_WIZBACK);
            QCOMPARE(sheet.GetActivePage(), &start);
            QCOMPARE(skipped.m_nInits, 0);
            QCOMPARE(start.m_nActivations, 2);
            sheet.EndDialog(IDCANCEL);
        });
    }

    void pageWindowIsRebuiltInASecondRunWhileMembersStay() {
        CScriptedUi ui;
        CTestPage page("Page"), after("After");
        CPropertySheet sheet;
        sheet.AddPage(&page);
        sheet.AddPage(&after);
        Run(sheet, ui, [&] {
            QCOMPARE(page.NumberEdit()->text(), QStringLiteral("7"));
            page.NumberEdit()->setText(QStringLiteral(" 42\t"));
            page.GetItem<QCheckBox>(IDC_TEST_CHECK)->setChecked(true);
            sheet.PressButton(ID_WIZNEXT); // leaving the page stores its controls
            sheet.PressButton(ID_WIZBACK);
            QCOMPARE(page.m_nInits, 1); // shown again, not rebuilt
            sheet.PressButton(IDCANCEL);
        });
        QVERIFY(page.GetSafeHwnd() == nullptr);
        QVERIFY(after.GetSafeHwnd() == nullptr);
        QCOMPARE(page.m_nNumber, 42u);
        QVERIFY(page.m_bCheck);

        Run(sheet, ui, [&] {
            QCOMPARE(page.m_nInits, 2);
            QCOMPARE(page.NumberEdit()->text(), QStringLiteral("42"));
            QVERIFY(page.GetItem<QCheckBox>(IDC_TEST_CHECK)->isChecked());
            QVERIFY(after.GetSafeHwnd() == nullptr);
            sheet.PressButton(IDCANCEL);
        });
    }

    void eachPageStartsWithTheFocusOnItsFirstControlOrWhereTheUserLeftIt() {
        CScriptedUi ui;
        CTestPage first("First"), second("Second");
        CPropertySheet sheet;
        sheet.AddPage(&first);
        sheet.AddPage(&second);
        Run(sheet, ui, [&] {
            QWidget* window = sheet.GetSafeHwnd();
            QCOMPARE(window->focusWidget(), first.NumberEdit());
            sheet.PressButton(ID_WIZNEXT);
            QCOMPARE(window->focusWidget(), second.NumberEdit());
            // The user moves on within the page; coming back finds the focus where it was.
            second.GetItem<QLineEdit>(IDC_TEST_NAME)->setFocus();
            sheet.PressButton(ID_WIZBACK);
            QCOMPARE(window->focusWidget(), first.NumberEdit());
            sheet.PressButton(ID_WIZNEXT);
            QCOMPARE(window->focusWidget(), second.GetItem<QLineEdit>(IDC_TEST_NAME));
            sheet.PressButton(IDCANCEL);
        });
    }

    void refusedValuesShowTheStandardMessagesAndKeepThePage() {
        CScriptedUi ui;
        CTestPage page("Page", 10, 20), after("After");
        page.m_nNumber = 15;
        page.m_buttons = PSWIZB_BACK | PSWIZB_NEXT;
        after.m_buttons = PSWIZB_BACK;
        CPropertySheet sheet;
        sheet.AddPage(&page);
        sheet.AddPage(&after);
        Run(sheet, ui, [&] {
            for (const char* bad : {"", "abc", "-3", "12x", "4294967296"}) {
                page.NumberEdit()->setText(QString::fromUtf8(bad));
                page.GetItem<QLineEdit>(IDC_TEST_NAME)->setText(QStringLiteral("changed"));
                sheet.PressButton(ID_WIZNEXT);
                QCOMPARE(sheet.GetActiveIndex(), 0);
                QCOMPARE(ui.shown.back().text, std::string("Please enter a positive integer."));
                QCOMPARE(ui.shown.back().caption, std::string("Fernwick"));
                QCOMPARE(ui.shown.back().type, MB_OK | MB_ICONEXCLAMATION);
                QCOMPARE(sheet.GetSafeHwnd()->focusWidget(), page.NumberEdit());
                // The exchange stopped at the refused value: later members are untouched.
                QCOMPARE(page.m_strName, std::string("page"));
            }
            page.NumberEdit()->setText(QStringLiteral("21"));
            sheet.PressButton(ID_WIZNEXT);
            QCOMPARE(ui.shown.back().text, std::string("Please enter an integer between 10 and 20."));
            QCOMPARE(sheet.GetActiveIndex(), 0);
            QCOMPARE(ui.Messages().size(), size_t(6));

            page.NumberEdit()->setText(QStringLiteral("20"));
            sheet.PressButton(ID_WIZNEXT);
            QCOMPARE(sheet.GetActiveIndex(), 1);
            QCOMPARE(page.m_nNumber, 20u);
            QCOMPARE(page.m_strName, std::string("changed"));
            sheet.PressButton(IDCANCEL);
        });
    }

    void scriptedAnswersReachTheCaller() {
        CScriptedUi ui;
        CTestPage a("A"), b("B");
        std::vector<int> answers;
        a.onNext = [&] {
            const int answer = MessageBox(a.GetSafeHwnd(), "Go on?", "Fernwick", MB_YESNO | MB_ICONQUESTION);
            answers.push_back(answer);
            return answer == IDYES ? 0 : -1;
        };
        CPropertySheet sheet;
        sheet.AddPage(&a);
        sheet.AddPage(&b);
        ui.messageAnswers = {IDNO, IDYES};
        Run(sheet, ui, [&] {
            sheet.PressButton(ID_WIZNEXT);
            QCOMPARE(sheet.GetActiveIndex(), 0);
            sheet.PressButton(ID_WIZNEXT);
            QCOMPARE(sheet.GetActiveIndex(), 1);
            sheet.PressButton(IDCANCEL);
        });
        QCOMPARE(answers, (std::vector<int>{IDNO, IDYES}));
        QCOMPARE(ui.shown.size(), size_t(2));
        QCOMPARE(ui.shown[0].text, std::string("Go on?"));
        QCOMPARE(ui.shown[0].caption, std::string("Fernwick"));
        QCOMPARE(ui.shown[0].type, MB_YESNO | MB_ICONQUESTION);
    }

    void finishAndCancelAskTheActivePage() {
        CScriptedUi ui;
        CTestPage only("Only");
        only.m_buttons = PSWIZB_FINISH;
        int finishes = 0, cancels = 0;
        only.onFinish = [&] { return ++finishes > 1; };
        only.onQueryCancel = [&] { return ++cancels > 1; };
        CPropertySheet sheet;
        sheet.AddPage(&only);
        const int rc = Run(sheet, ui, [&] {
            QTest::keyClick(sheet.GetSafeHwnd(), Qt::Key_Escape); // refused
            QVERIFY(sheet.GetSafeHwnd()->isVisible());
            sheet.PressButton(ID_WIZFINISH); // refused
            QVERIFY(sheet.GetSafeHwnd()->isVisible());
            sheet.PressButton(ID_WIZFINISH);
        });
        QCOMPARE(rc, ID_WIZFINISH);
        QCOMPARE(cancels, 1);
        QCOMPARE(finishes, 2);

        const int rc2 = Run(sheet, ui, [&] { QTest::keyClick(sheet.GetSafeHwnd(), Qt::Key_Escape); });
        QCOMPARE(rc2, IDCANCEL);
    }

    void aPageRunsANestedSheet() {
        CScriptedUi ui;
        CTestPage outer("Outer"), inner1("Inner 1"), inner2("Inner 2");
        inner2.m_buttons = PSWIZB_BACK | PSWIZB_FINISH;
        int innerResult = 0;
        outer.onButton = [&] {
            CPropertySheet nested(std::string("Profile"));
            nested.AddPage(&inner1);
            nested.AddPage(&inner2);
            ui.modalActions.push_back([&](QWidget* w) {
                QCOMPARE(w->windowTitle(), QStringLiteral("Profile"));
                inner1.NumberEdit()->setText(QStringLiteral("99"));
                nested.PressButton(ID_WIZNEXT);
                nested.PressButton(ID_WIZFINISH);
            });
            innerResult = nested.DoModal();
        };
        CPropertySheet sheet;
        sheet.AddPage(&outer);
        Run(sheet, ui, [&] {
            outer.GetItem<QPushButton>(IDC_TEST_BUTTON)->click();
            QCOMPARE(innerResult, ID_WIZFINISH);
            QCOMPARE(inner1.m_nNumber, 99u);
            QVERIFY(inner1.GetSafeHwnd() == nullptr); // destroyed with the nested sheet
            QVERIFY(outer.GetSafeHwnd() != nullptr);  // the outer page is still up
            sheet.PressButton(IDCANCEL);
        });
    }
};

QTEST_MAIN(WizardTest)
#include "WizardTest.moc"
