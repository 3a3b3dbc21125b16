// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// Long paths on the pages that show them: the scan page's status field, the found-files and
// selection lists, the drives list, the profile's folders list and the scheduled destination
// keep their size and show what they cut off whole in a tooltip.
#include "controls/CResultsListSink.h"
#include "controls/WholeTextTips.h"
#include "dispose/DisposalMethod.h"
#include "framework/CPropertySheet.h"
#include "pages/CFolders2ScanPage.h"
#include "pages/CSchedDeletePage.h"
#include "profiles/CProfileList.h"
#include "res/resource.h"
#include "WizardSupport.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"
#include "support/TestOptionsFolder.h"

#include <QtCore/QScopeGuard>
#include <QtGui/QTextDocumentFragment>
#include <QtTest/QtTest>
#include <QtWidgets/QDialog>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QRadioButton>
#include <QtWidgets/QToolTip>
#include <QtWidgets/QTreeWidget>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

// What a tooltip shows, without the markup that keeps it plain.
QString Shown(const QString& tip) { return QTextDocumentFragment::fromHtml(tip).toPlainText(); }

// A folder path of at least length characters under root, in names of 60 characters.
fs::path LongFolder(const fs::path& root, std::size_t length) {
    fs::path folder = root;
    for (char c = 'a'; folder.string().size() < length; ++c)
        folder /= std::string(1, c) + std::string(59, '_');
    return folder;
}

// The tooltip a rest of the pointer on the cell shows, asked at a point of the cell that is
// in view; empty when it shows none.
QString TipOnCell(QAbstractItemView* view, const QModelIndex& index) {
    const QRect cell = view->visualRect(index) & view->viewport()->rect();
    if (cell.isEmpty())
        return QStringLiteral("(cell not in view)");
    QToolTip::hideText();
    const QPoint at(cell.left() + 8, cell.center().y());
    QHelpEvent help(QEvent::ToolTip, at, view->viewport()->mapToGlobal(at));
    QApplication::sendEvent(view->viewport(), &help);
    return help.isAccepted() && QToolTip::isVisible() ? Shown(QToolTip::text()) : QString();
}

// The main wizard on a temporary tree holding a file at a long path and one at a short path,
// its one profile of listed folders so the drives page is skipped.
struct CleaningWizard : CCleaningWizardOnTree {
    CScriptedUi ui;
    fs::path longFile = LongFolder(tree, 200) / "report.tmp";
    fs::path shortFile = tree / "a.tmp";

    CleaningWizard() {
        WriteTextFile(longFile, "abc");
        WriteTextFile(shortFile, "abc");
    }
    void Run(std::function<void()> steps) { CCleaningWizardOnTree::Run(ui, std::move(steps)); }
};

// The row of the list whose path column holds path.
QModelIndex PathCell(CFoundFilesView* list, const fs::path& path) {
    const QString text = QString::fromStdString(path.string());
    for (int r = 0; r < list->RowCount(); ++r)
        if (list->Text(r, CResultsListSink::kColPath) == text)
            return list->model()->index(r, CResultsListSink::kColPath);
    return {};
}

} // namespace

class LongPathsTest : public QObject {
    Q_OBJECT
    CTestOptionsFolder m_options;

private slots:
    void cleanup() {
        g_profiles.RemoveAll();
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void theScanStatusKeepsItsSizeAndTipsTheWholeFolder() {
        CleaningWizard w;
        w.Run([&] {
            w.sheet.PressButton(ID_WIZNEXT);
            QCOMPARE(w.sheet.GetActivePage(), &w.scan);
            QDialog* window = w.sheet.GetSafeHwnd();
            QLabel* status = w.scan.m_stcStatus;
            QCoreApplication::processEvents();
            const QSize size = window->size();
            const QRect place = status->geometry();

            const QString folder = QString::fromStdString(LongFolder(w.tree, 300).string());
            QVERIFY(folder.size() >= 300);
            {
                // The scan's own sink, as the walk enters the folder.
                CResultsListSink sink(w.scan.m_listResults, &w.scan.m_found, status);
                sink.OnFolder(folder.toStdString());
                sink.Flush();
            }
            QCoreApplication::processEvents();
            QCOMPARE(status->geometry(), place);
            QCOMPARE(window->size(), size);
            const QString shown = status->text();
            QVERIFY(shown.contains(QChar(u'\u2026')));
            QVERIFY(shown.startsWith(folder.left(8)));
            QVERIFY(shown.endsWith(folder.right(8)));
            QVERIFY(status->fontMetrics().horizontalAdvance(shown) < status->contentsRect().width());
            QCOMPARE(Shown(status->toolTip()), folder);
            QCOMPARE(status->textFormat(), Qt::PlainText);

            // An enlarged window gives the field, and so the folder, more room.
            window->resize(size + QSize(250, 0));
            QCoreApplication::processEvents();
            QCOMPARE(status->width(), place.width() + 250);
            QVERIFY(status->text().size() > shown.size());
            QCOMPARE(Shown(status->toolTip()), folder);

            // The scan's end leaves a short text and no tooltip of the folder before it.
            w.scan.m_btnStart->click();
            QCOMPARE(status->text(), QStringLiteral("Done.  Press <Next> to continue..."));
            QCOMPARE(status->toolTip(), QString());
            QCOMPARE(window->size(), size + QSize(250, 0));
        });
    }

    void foundFilesCutByTheListShowWholeOnHover() {
        CleaningWizard w;
        w.Run([&] {
            w.sheet.PressButton(ID_WIZNEXT);
            w.scan.m_btnStart->click();
            CFoundFilesView* results = w.scan.m_listResults;
            QCOMPARE(results->RowCount(), 2);
            const QModelIndex longCell = PathCell(results, w.longFile);
            const QModelIndex shortCell = PathCell(results, w.shortFile);
            QVERIFY(longCell.isValid() && shortCell.isValid());
            // The column fits the long path, so it runs past the list's right edge.
            QVERIFY(results->visualRect(longCell).right() > results->viewport()->width());
            QCOMPARE(TipOnCell(results, longCell), QString::fromStdString(w.longFile.string()));
            QCOMPARE(TipOnCell(results, shortCell), QString());
            QCOMPARE(TipOnCell(results, results->model()->index(shortCell.row(), 0)), QString());

            // The selection page's copy of the rows does the same.
            w.sheet.PressButton(ID_WIZNEXT);
            QCOMPARE(w.sheet.GetActivePage(), &w.del);
            CFoundFilesView* files = w.del.m_listFiles;
            QCOMPARE(TipOnCell(files, PathCell(files, w.longFile)),
                     QString::fromStdString(w.longFile.string()));
            QCOMPARE(TipOnCell(files, PathCell(files, w.shortFile)), QString());
        });
    }

    void aLongMountPointShowsWholeOnTheDrivesPage() {
        class CStore : public IDriveLetterStore {
        public:
            std::map<std::string, char> Load() override { return {}; }
            void Save(const std::map<std::string, char>&) override {}
        };
        const std::string mountPoint =
            "/media/alice/" + std::string(60, 'L') + "/" + std::string(60, 'M');
        auto mount = [](int id, unsigned minor, const std::string& at) {
            MountEntry m;
            m.mountId = id;
            m.parentId = 1;
            m.major = 8;
            m.minor = minor;
            m.root = "/";
            m.mountPoint = at;
            m.fsType = "ext4";
            m.source = "/dev/sda" + std::to_string(minor);
            return m;
        };
        CDrivesPage page;
        page.SetVolumeSource([&] {
            CStore store;
            VolumeProbes probes;
            probes.removable = [](const MountEntry&) { return false; };
            probes.label = [](const MountEntry&) { return std::string(); };
            return BuildVolumeTable({mount(20, 1, "/"), mount(21, 2, mountPoint)}, store, probes);
        });
        page.SetSpaceProbe([](const std::string&) { return std::optional<SpaceInfo>(); });
        CScriptedUi ui;
        CPropertySheet sheet;
        sheet.AddPage(&page);
        bool checked = false;
        ui.modalActions.push_back([&](QWidget*) {
            auto end = qScopeGuard([&] { sheet.EndDialog(IDCANCEL); });
            QTreeWidget* list = page.m_listDrives;
            QCOMPARE(list->topLevelItemCount(), 2);
            const QString drive = list->topLevelItem(1)->text(0);
            QVERIFY(drive.endsWith(QString::fromStdString(mountPoint)));
            QCOMPARE(TipOnCell(list, list->model()->index(1, 0)), drive);
            QCOMPARE(TipOnCell(list, list->model()->index(0, 0)), QString()); // "C: /"
            checked = true;
        });
        sheet.DoModal();
        QVERIFY(checked);
    }

    void theProfilesFoldersListShowsALongFolderWholeOnHover() {
        TempDir dir;
        const std::string longFolder = LongFolder(dir.path(), 220).string();
        CProfile profile;
        profile.m_strName = "Junk";
        profile.m_nScanScope = SCOPE_LISTED_FOLDERS;
        profile.m_lstScanFolders = {longFolder, "/srv"};
        g_nProfileMode = PROFILE_MODE_EDIT;
        g_pEditProfile = &profile;
        auto reset = qScopeGuard([] {
            g_pEditProfile = nullptr;
            g_nProfileMode = PROFILE_MODE_ADD;
        });
        CFolders2ScanPage page;
        CPropertySheet sheet{"Profile"};
        sheet.AddPage(&page);
        CScriptedUi ui;
        bool checked = false;
        ui.modalActions.push_back([&](QWidget*) {
            auto end = qScopeGuard([&] { sheet.EndDialog(IDCANCEL); });
            QListWidget* list = page.m_lbScanFolders;
            QCOMPARE(list->count(), 2);
            const QModelIndex folderIndex = list->model()->index(1, 0);
            QCOMPARE(list->item(1)->text(), QString::fromStdString(longFolder));
            QCOMPARE(TipOnCell(list, folderIndex), QString::fromStdString(longFolder));
            QCOMPARE(TipOnCell(list, list->model()->index(0, 0)), QString());
            checked = true;
        });
        sheet.DoModal();
        QVERIFY(checked);
    }

    void theScheduledDestinationTipsItsWholePathWhileCut() {
        CSchedDeletePage page;
        CPropertySheet sheet;
        sheet.AddPage(&page);
        CScriptedUi ui;
        bool checked = false;
        ui.modalActions.push_back([&](QWidget*) {
            auto end = qScopeGuard([&] { sheet.EndDialog(IDCANCEL); });
            page.GetItem<QRadioButton>(METHOD_MOVE)->click();
            QLineEdit* edit = page.m_editDestination;
            QVERIFY(edit->isEnabled());
            const QString longPath = QString::fromStdString(LongFolder("/home/alice", 200).string());
            edit->setText(longPath);
            QCOMPARE(Shown(edit->toolTip()), longPath);
            edit->setText(QStringLiteral("/srv/old"));
            QCOMPARE(edit->toolTip(), QString());
            checked = true;
        });
        sheet.DoModal();
        QVERIFY(checked);
    }
};

QTEST_MAIN(LongPathsTest)
#include "LongPathsTest.moc"
