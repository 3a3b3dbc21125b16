// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// The wizard window and the seam's dialogs as a desktop user meets them: the new page readied
// while the old one still shows its progress, no wait cursor over a window that waits for the
// user, and names shown as typed.
#include "TestPages.h"
#include "framework/CDialog.h"
#include "framework/UiSeam.h"
#include "framework/WaitCursor.h"
#include "support/ScriptedUi.h"

#include <QtTest/QtTest>
#include <QtWidgets/QDialog>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QStackedWidget>

namespace {

// A page of its own template size that notes what was on screen while it was being readied.
class CSizedPage : public CPropertyPage {
public:
    CSizedPage(const char* caption, QSize size)
        : CPropertyPage(600, [caption, size](QWidget* w) {
              w->setWindowTitle(QString::fromUtf8(caption));
              w->resize(size);
              auto* label = new QLabel(QStringLiteral("Some text"), w);
              label->setProperty("ctrlId", 1);
              label->setGeometry(10, 10, 150, 20);
          }) {}
    std::function<void()> onSetActive;
    bool OnSetActive() override {
        if (onSetActive)
            onSetActive();
        return CPropertyPage::OnSetActive();
    }
};

int Run(CPropertySheet& sheet, CScriptedUi& ui, std::function<void()> action) {
    ui.modalActions.push_back([&sheet, action](QWidget*) {
        action();
        if (sheet.GetSafeHwnd() && sheet.GetSafeHwnd()->isVisible())
            sheet.EndDialog(IDCANCEL);
    });
    return sheet.DoModal();
}

bool WaitCursorShown() {
    return QApplication::overrideCursor() &&
           QApplication::overrideCursor()->shape() == Qt::WaitCursor;
}

} // namespace

class SheetDesktopTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QVERIFY(QApplication::topLevelWidgets().isEmpty()); }

    void theNewPageIsReadiedWhileTheOldOneIsStillShown() {
        CScriptedUi ui;
        CSizedPage first("First", QSize(300, 120)), second("Second", QSize(300, 120));
        CPropertySheet sheet;
        sheet.AddPage(&first);
        sheet.AddPage(&second);
        bool firstShown = false, secondShown = true, firstGreyed = true;
        second.onSetActive = [&] {
            firstShown = first.GetSafeHwnd()->isVisible();
            secondShown = second.GetSafeHwnd()->isVisible();
            firstGreyed = !first.GetSafeHwnd()->isEnabled();
            // Nothing the user does meanwhile starts another move or ends the wizard.
            QTest::mouseClick(sheet.GetButton(ID_WIZBACK), Qt::LeftButton);
            QTest::keyClick(sheet.GetSafeHwnd(), Qt::Key_Escape);
            sheet.GetSafeHwnd()->reject(); // the close box
        };
        Run(sheet, ui, [&] {
            sheet.PressButton(ID_WIZNEXT);
            QVERIFY(firstShown);
            QVERIFY(!secondShown);
            QVERIFY(!firstGreyed);
            QCOMPARE(sheet.GetActivePage(), &second);
            QVERIFY(second.GetSafeHwnd()->isVisible());
            QVERIFY(!first.GetSafeHwnd()->isVisible());
            QVERIFY(sheet.GetSafeHwnd()->isVisible());
            // Afterwards the window takes input again.
            QTest::mouseClick(sheet.GetButton(ID_WIZBACK), Qt::LeftButton);
            QCOMPARE(sheet.GetActivePage(), &first);
        });
    }

    void noWaitCursorOverDialogsThatWaitForTheUser() {
        CScriptedUi ui;
        CWaitCursor busy;
        QVERIFY(WaitCursorShown());
        bool dialogBusy = true, sheetBusy = true;
        {
            CDialog dlg(700, [](QWidget* w) { w->resize(200, 100); });
            ui.modalActions.push_back([&](QWidget*) {
                dialogBusy = QApplication::overrideCursor() != nullptr;
                dlg.EndDialog(IDOK);
            });
            QCOMPARE(dlg.DoModal(), IDOK);
        }
        QVERIFY(!dialogBusy);
        QVERIFY(WaitCursorShown());
        CTestPage page("Only");
        CPropertySheet sheet;
        sheet.AddPage(&page);
        Run(sheet, ui, [&] {
            sheetBusy = QApplication::overrideCursor() != nullptr;
            // Busy work inside the wizard shows it again, and only for its own time.
            CWaitCursor inner;
            QVERIFY(WaitCursorShown());
        });
        QVERIFY(!sheetBusy);
        QVERIFY(WaitCursorShown());
    }

    void theRealMessageBoxShowsTextAsTypedWithTheNormalCursor() {
        SetUiSeam(nullptr);
        CWaitCursor busy;
        bool plain = false, busyOverBox = true, found = false;
        QString shown;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            found = true;
            plain = box->textFormat() == Qt::PlainText;
            busyOverBox = QApplication::overrideCursor() != nullptr;
            for (QLabel* label : box->findChildren<QLabel*>())
                if (label->text().contains(QStringLiteral("x</b>")))
                    shown = label->textFormat() == Qt::PlainText ? label->text() : QString();
            box->button(QMessageBox::No)->click();
        });
        const int answer =
            MessageBox(nullptr, "Delete <b>x</b>.tmp?", "Fernwick", MB_YESNO | MB_ICONQUESTION);
        QVERIFY(found);
        QCOMPARE(answer, IDNO);
        QVERIFY(plain);
        QCOMPARE(shown, QStringLiteral("Delete <b>x</b>.tmp?"));
        QVERIFY(!busyOverBox);
        QVERIFY(WaitCursorShown());
    }

};

QTEST_MAIN(SheetDesktopTest)
#include "SheetDesktopTest.moc"
