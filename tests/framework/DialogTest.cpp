// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// Modal dialogs, data exchange and the real message box behind the seam.
#include "TestPages.h"
#include "framework/CDialog.h"
#include "framework/WaitCursor.h"
#include "support/ScriptedUi.h"

#include <QtTest/QtTest>
#include <QtWidgets/QAbstractButton>
#include <QtWidgets/QMessageBox>

namespace {

class CTestDlg : public CDialog {
public:
    CTestDlg() : CDialog(501, Setup()) {}
    std::uint32_t m_nDays = 3;
    std::string m_strText = "hello";
    int m_nInits = 0;

    bool OnInitDialog() override {
        CDialog::OnInitDialog();
        ++m_nInits;
        return true;
    }
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Text(pDX, IDC_TEST_NAME, m_strText);
        DDX_Text(pDX, IDC_TEST_NUMBER, m_nDays);
        DDV_MinMaxDWord(pDX, m_nDays, 1, 31);
    }

private:
    static TemplateSetup Setup() {
        return [](QWidget* w) {
            TestTemplate("Test Dialog")(w);
            auto* ok = new QPushButton(QStringLiteral("OK"), w);
            ok->setProperty("ctrlId", IDOK);
            auto* cancel = new QPushButton(QStringLiteral("Cancel"), w);
            cancel->setProperty("ctrlId", IDCANCEL);
            cancel->move(0, 80);
        };
    }
};

QAbstractButton* ButtonOf(QWidget* dlg, int id) {
    for (auto* b : dlg->findChildren<QAbstractButton*>())
        if (GetDlgCtrlID(b) == id)
            return b;
    return nullptr;
}

} // namespace

class DialogTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QVERIFY(QApplication::topLevelWidgets().isEmpty()); }

    void okStoresValidatedValuesAndCancelKeepsMembers() {
        CScriptedUi ui;
        CTestDlg dlg;
        ui.modalActions.push_back([&](QWidget* w) {
            auto guard = qScopeGuard([&] { if (w->isVisible()) dlg.EndDialog(-1); });
            QCOMPARE(w->windowTitle(), QStringLiteral("Test Dialog"));
            QCOMPARE(dlg.GetDlgItemText(IDC_TEST_NAME), std::string("hello"));
            dlg.SetDlgItemText(IDC_TEST_NAME, "typed");
            dlg.SetDlgItemText(IDC_TEST_NUMBER, "32");
            ButtonOf(w, IDOK)->click();
            QVERIFY(w->isVisible()); // refused: the dialog stays
            QCOMPARE(ui.Messages().back(), std::string("Please enter an integer between 1 and 31."));
            dlg.SetDlgItemText(IDC_TEST_NUMBER, "31");
            ButtonOf(w, IDOK)->click();
        });
        QCOMPARE(dlg.DoModal(), IDOK);
        QCOMPARE(dlg.m_nDays, 31u);
        QCOMPARE(dlg.m_strText, std::string("typed"));
        QVERIFY(dlg.GetSafeHwnd() == nullptr);

        ui.modalActions.push_back([&](QWidget* w) {
            dlg.SetDlgItemText(IDC_TEST_NUMBER, "5");
            QTest::keyClick(w, Qt::Key_Escape);
        });
        QCOMPARE(dlg.DoModal(), IDCANCEL);
        QCOMPARE(dlg.m_nDays, 31u);
        QCOMPARE(dlg.m_nInits, 2);
    }

    void endDialogReturnsItsResult() {
        CScriptedUi ui;
        CTestDlg dlg;
        ui.modalActions.push_back([&](QWidget*) { dlg.EndDialog(IDNO); });
        QCOMPARE(dlg.DoModal(), IDNO);
    }

    void unsignedFieldsAcceptOnlyDigitsWithBlanksAround() {
        QCOMPARE(ParseUnsignedField("0"), std::optional<std::uint32_t>(0));
        QCOMPARE(ParseUnsignedField(" \t4294967295 \t"), std::optional<std::uint32_t>(4294967295u));
        QCOMPARE(ParseUnsignedField("+12"), std::optional<std::uint32_t>(12));
        for (const char* bad : {"", " ", "-1", "1 2", "12a", "a12", "4294967296", "99999999999999999999", "1.5"})
            QVERIFY2(!ParseUnsignedField(bad).has_value(), bad);
    }

    void realMessageBoxMapsButtonsAndDefaults() {
        // The real seam with a real box, answered by clicking its No button.
        QTimer::singleShot(0, [] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            QCOMPARE(box->text(), QStringLiteral("Delete it?"));
            QCOMPARE(box->windowTitle(), QStringLiteral("Fern Wick"));
            QCOMPARE(box->icon(), QMessageBox::Question);
            QCOMPARE(box->defaultButton(), box->button(QMessageBox::No));
            box->button(QMessageBox::No)->click();
        });
        QCOMPARE(MessageBox(nullptr, "Delete it?", "Fern Wick", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2),
                 IDNO);

        QTimer::singleShot(0, [] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            QCOMPARE(box->icon(), QMessageBox::Critical);
            box->reject(); // closed without a button
        });
        QCOMPARE(MessageBox(nullptr, "Stop", "Fernwick", MB_YESNOCANCEL | MB_ICONSTOP), IDCANCEL);
    }

    void waitCursorIsRestored() {
        {
            CWaitCursor outer;
            {
                CWaitCursor inner;
                QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
            }
            QVERIFY(QApplication::overrideCursor() != nullptr);
        }
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }
};

QTEST_MAIN(DialogTest)
#include "DialogTest.moc"
