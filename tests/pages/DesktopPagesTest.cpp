// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// The main wizard's pages as a desktop user meets them: Open on a file no program takes, the
// scan page's progress while the selection page copies, one window size and lists that grow
// with it, the folder error dialog's buttons, and no wait cursor over the dialogs of a run.
#include "pages/CWizardApp.h"
#include "framework/CPropertySheet.h"
#include "framework/UiSeam.h"
#include "framework/WinTypes.h"
#include "pages/CDeletePage.h"
#include "pages/CDrivesPage.h"
#include "pages/CFolderErrorDlg.h"
#include "pages/CScanPage.h"
#include "pages/CStartPage.h"
#include "profiles/CProfileList.h"
#include "res/resource.h"
#include "WizardSupport.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"
#include "support/TestOptionsFolder.h"

#include <QtTest/QtTest>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QDialog>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QProgressBar>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTreeWidget>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

// The seam's own Open, with the desktop's answer about the file's type scripted.
class CNoProgramUi : public CScriptedUi {
public:
    std::vector<std::string> asked;
    int ShellOpen(QWidget* owner, const std::string& target) override {
        shown.push_back({"shell", target, {}, 0});
        return CUiSeam::ShellOpen(owner, target);
    }
    bool HasProgramFor(const std::string& path) override {
        asked.push_back(path);
        return false;
    }
};

// The main wizard on a temporary tree of a few files, its profile's name written as markup.
struct Wizard : CCleaningWizardOnTree {
    explicit Wizard(int files = 3) : CCleaningWizardOnTree("Junk <b>x</b>") {
        for (int i = 0; i < files; ++i)
            WriteTextFile(tree / ("file " + std::to_string(i) + ".tmp"), "abc");
    }
    void Scan() {
        sheet.PressButton(ID_WIZNEXT);
        QCOMPARE(sheet.GetActivePage(), &scan);
        scan.m_btnStart->click();
    }
};

template <class T> T* Control(QWidget* w, int id) {
    for (T* c : w->findChildren<T*>())
        if (GetDlgCtrlID(c) == id)
            return c;
    return nullptr;
}

} // namespace

class DesktopPagesTest : public QObject {
    Q_OBJECT
    CTestOptionsFolder m_options;

private slots:
    void cleanup() { QVERIFY(QApplication::topLevelWidgets().isEmpty()); }

    void openShowsAFileAsTextWhenNoProgramTakesItsType() {
        CNoProgramUi ui;
        Wizard w;
        std::string path;
        w.Run(ui, [&] {
            w.Scan();
            CFoundFilesView* list = w.scan.m_listResults;
            QCOMPARE(list->RowCount(), 3);
            list->SelectRow(1);
            path = list->Text(1, 1).toStdString();
            w.scan.m_btnOpen->click();
        });
        QCOMPARE(ui.asked, std::vector<std::string>{path});
        QCOMPARE(ui.shown.size(), size_t(2));
        QCOMPARE(ui.shown[0].kind, std::string("shell"));
        QCOMPARE(ui.shown[1].kind, std::string("text"));
        QCOMPARE(ui.shown[1].text, path);
    }

    void theScanPageShowsItsProgressWhileTheSelectionPageCopies() {
        CScriptedUi ui;
        Wizard w;
        bool asked = false, labelShown = false, barShown = false, scanPageShown = false;
        w.Run(ui, [&] {
            w.Scan();
            CFoundFilesView* results = w.scan.m_listResults;
            QCOMPARE(results->RowCount(), 3);
            w.scan.m_progress->setValue(37);
            // Runs in the copy's first breather.
            QTimer::singleShot(0, [&] {
                asked = true;
                labelShown = w.scan.m_stcProcessing->isVisible();
                barShown = w.scan.m_progress->isVisible() && w.scan.m_progress->value() == 0;
                scanPageShown = w.scan.GetSafeHwnd()->isVisible() &&
                                !w.del.GetSafeHwnd()->isVisible();
            });
            w.sheet.PressButton(ID_WIZNEXT);
            QCOMPARE(w.sheet.GetActivePage(), &w.del);
            QCOMPARE(w.del.m_listFiles->RowCount(), 3);
            QVERIFY(w.del.GetSafeHwnd()->isVisible());
            // Back on the scan page the label is hidden and the bar no longer full.
            w.sheet.PressButton(ID_WIZBACK);
            QCOMPARE(w.sheet.GetActivePage(), &w.scan);
            QVERIFY(w.scan.m_stcProcessing->isHidden());
            QCOMPARE(w.scan.m_progress->value(), 0);
        });
        QVERIFY(asked);
        QVERIFY(labelShown);
        QVERIFY(barShown);
        QVERIFY(scanPageShown);
    }

    void theWizardKeepsOneSizeAndItsListsGrowWithIt() {
        CScriptedUi ui;
        Wizard w;
        w.Run(ui, [&] {
            QDialog* window = w.sheet.GetSafeHwnd();
            const QSize size = window->size();
            QWidget* startList = Control<QTreeWidget>(w.start.GetSafeHwnd(), IDC_START_PROFILES);
            QVERIFY(startList);
            const QSize startListSize = startList->size();
            w.Scan();
            w.sheet.PressButton(ID_WIZNEXT);
            QCOMPARE(w.sheet.GetActivePage(), &w.del);
            QCOMPARE(window->size(), size); // the taller selection page fits as it is
            const QSize filesSize = w.del.m_listFiles->size();
            const QSize resultsSize = w.scan.m_listResults->size();

            window->resize(size + QSize(200, 120));
            QCoreApplication::processEvents();
            QCOMPARE(w.del.m_listFiles->size(), filesSize + QSize(200, 120));
            w.sheet.PressButton(ID_WIZBACK);
            QCoreApplication::processEvents();
            QCOMPARE(w.scan.m_listResults->size(), resultsSize + QSize(200, 120));
            w.sheet.SetActivePage(&w.start);
            QCoreApplication::processEvents();
            QCOMPARE(startList->size(), startListSize + QSize(200, 120));
            QCOMPARE(window->size(), size + QSize(200, 120));
        });
    }

    void theFolderErrorDialogFollowsItsTemplate() {
        CScriptedUi ui;
        CFolderErrorDlg dlg;
        dlg.m_strMissing = "Junk:\r\n\t/nowhere\r\n";
        bool checked = false;
        ui.modalActions.push_back([&](QWidget* w) {
            auto guard = qScopeGuard([w] {
                if (w->isVisible())
                    static_cast<QDialog*>(w)->done(-1);
            });
            auto* now = Control<QPushButton>(w, IDOK);
            auto* later = Control<QPushButton>(w, IDCANCEL);
            auto* box = Control<QCheckBox>(w, IDC_FOLDERS_DONT_SHOW);
            auto* list = Control<QPlainTextEdit>(w, IDC_FOLDERS_MISSING);
            QVERIFY(now && later && box && list);
            // Fix Now left of Fix Later on one line, the check box above them from Fix Now on.
            QVERIFY(now->geometry().right() < later->x());
            QCOMPARE(now->y(), later->y());
            QCOMPARE(box->x(), now->x());
            QVERIFY(box->geometry().bottom() < now->y());
            QVERIFY(box->y() > list->geometry().bottom());
            // Tab order: Fix Later, Fix Now, the check box, the list.
            QWidget* next = later;
            QList<QWidget*> order;
            for (int i = 0; i < 4; ++i) {
                order << next;
                do
                    next = next->nextInFocusChain();
                while (next->focusPolicy() == Qt::NoFocus);
            }
            QCOMPARE(order, (QList<QWidget*>{later, now, box, list}));
            QCOMPARE(next, later);
            // The first focus and Enter are Fix Later's: no surprise return to the profiles.
            QCOMPARE(w->focusWidget(), later);
            QVERIFY(later->isDefault() && !now->isDefault());
            checked = true;
            QTest::keyClick(w->focusWidget(), Qt::Key_Return);
        });
        QCOMPARE(dlg.DoModal(), IDCANCEL);
        QVERIFY(checked);
    }

    void theRunsReportHasNoWaitCursorOverIt() {
        Wizard w;
        std::vector<bool> busy;
        // The disposal confirms, then reports; each message box is looked at as it opens.
        class CCursorUi : public CScriptedUi {
        public:
            std::vector<bool>* busy = nullptr;
            int MessageBox(QWidget* owner, const std::string& text, const std::string& caption,
                           unsigned type) override {
                // The real box lifts the wait cursor; the scripted one stands in after it.
                QTimer::singleShot(0, [this] {
                    busy->push_back(QApplication::overrideCursor() != nullptr);
                    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                        box->done(0);
                });
                CUiSeam::MessageBox(owner, text, caption, type);
                return CScriptedUi::MessageBox(owner, text, caption, type);
            }
        } cursorUi;
        cursorUi.busy = &busy;
        cursorUi.messageAnswers = {IDYES, IDOK};
        w.Run(cursorUi, [&] {
            w.Scan();
            w.sheet.PressButton(ID_WIZNEXT);
            w.del.m_listFiles->selectAll();
            w.del.OnDispose();
        });
        QCOMPARE(cursorUi.Messages().size(), size_t(2));
        QVERIFY(cursorUi.Messages()[1].find("were Deleted by Fernwick") != std::string::npos);
        QCOMPARE(busy, (std::vector<bool>{false, false}));
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }
};

QTEST_MAIN(DesktopPagesTest)
#include "DesktopPagesTest.moc"
