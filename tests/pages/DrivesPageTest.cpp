// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// The drives page, driven offscreen inside a small wizard with a recorded volume table.
#include "controls/ListViewHelpers.h"
#include "framework/TestPages.h"
#include "pages/CDrivesPage.h"
#include "profiles/CProfileList.h"
#include "res/resource.h"
#include "support/HeldSpaceProbe.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"
#include "support/TestOptionsFolder.h"

#include <QtCore/QRegularExpression>
#include <QtCore/QSettings>
#include <QtTest/QtTest>
#include <QtWidgets/QDialog>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTreeWidget>

#include <map>
#include <memory>
#include <thread>

namespace {

class MemoryLetterStore : public IDriveLetterStore {
public:
    std::map<std::string, char> letters;
    std::map<std::string, char> Load() override { return letters; }
    void Save(const std::map<std::string, char>& l) override { letters = l; }
};

MountEntry Mount(int id, unsigned major, unsigned minor, const char* mountPoint,
                 const char* fsType, const char* source) {
    MountEntry m;
    m.mountId = id;
    m.parentId = 1;
    m.major = major;
    m.minor = minor;
    m.root = "/";
    m.mountPoint = mountPoint;
    m.fsType = fsType;
    m.source = source;
    return m;
}

constexpr std::uint64_t kGiB = 1024ull * 1024 * 1024;
constexpr std::uint64_t kTiB = 1024 * kGiB;

// The sizes of the recorded machine; the backup disk's cannot be read.
std::optional<SpaceInfo> RecordedSpace(const std::string& mountPoint) {
    static const std::map<std::string, SpaceInfo> sizes = {
        {"/", {2 * kGiB, 6'000'000'000'000ull}},
        {"/home", {1536 * 1024, 500'107'862'016ull}},
        {"/media/alice/STICK", {8 * kGiB, 16 * kGiB}},
        {"/mnt/nas", {3 * kTiB, 8 * kTiB}},
        {"/tmp", {1 * kGiB, 2 * kGiB}},
    };
    const auto it = sizes.find(mountPoint);
    return it == sizes.end() ? std::nullopt : std::optional<SpaceInfo>(it->second);
}

// A machine with a 6 TB system disk, /home, a USB stick, an NFS share, /tmp in memory and a
// backup disk. The mounts are listed out of letter order. As the page's own source, the
// table has no sizes: the page asks them (RecordedSpace).
CVolumeTable RecordedTable() {
    const std::vector<MountEntry> mounts = {
        Mount(20, 8, 2, "/", "ext4", "/dev/sda2"),
        Mount(21, 0, 35, "/tmp", "tmpfs", "tmpfs"),
        Mount(22, 0, 50, "/mnt/nas", "nfs4", "nas.local:/export"),
        Mount(23, 8, 17, "/media/alice/STICK", "vfat", "/dev/sdb1"),
        Mount(24, 8, 4, "/srv/backup", "ext4", "/dev/sda4"),
        Mount(25, 8, 3, "/home", "ext4", "/dev/sda3"),
    };
    MemoryLetterStore store;
    store.letters = {{"/home", 'D'}, {"/media/alice/STICK", 'E'}, {"/mnt/nas", 'F'},
                     {"/tmp", 'G'}, {"/srv/backup", 'H'}};
    VolumeProbes probes;
    probes.removable = [](const MountEntry& m) { return m.source == "/dev/sdb1"; };
    probes.label = [](const MountEntry& m) -> std::string {
        static const std::map<std::string, std::string> labels = {
            {"/dev/sda2", "System"}, {"/dev/sda3", "Home"}, {"/dev/sdb1", "STICK"},
            {"/dev/sda4", "Backup"}};
        const auto it = labels.find(m.source);
        return it == labels.end() ? std::string() : it->second;
    };
    return BuildVolumeTable(mounts, store, probes);
}

enum Row { RowC, RowD, RowE, RowF, RowG, RowH };

void AddProfile(const char* name, int scope) {
    auto p = std::make_unique<CProfile>();
    p->m_strName = name;
    p->m_nScanScope = scope;
    g_profiles.AddTail(std::move(p));
}

QStringList Texts(std::initializer_list<const char*> texts) {
    QStringList list;
    for (const char* t : texts)
        list << QString::fromUtf8(t);
    return list;
}

QStringList RowTexts(QTreeWidget* list, int row) {
    QStringList texts;
    for (int c = 0; c < 5; ++c)
        texts << list->topLevelItem(row)->text(c);
    return texts;
}

// The rows showing the check mark, as a string of their letters.
QString CheckedLetters(CDrivesPage& page) {
    QString letters;
    QTreeWidget* list = page.m_listDrives;
    for (int r = 0; list && r < list->topLevelItemCount(); ++r) {
        if (GetItemImage(list, r) == page.m_nCheckedImage)
            letters += QChar(static_cast<char16_t>(GetItemData(list, r)));
    }
    return letters;
}

QPoint RowCentre(QTreeWidget* list, int row) {
    return list->visualItemRect(list->topLevelItem(row)).center();
}

void ClickRow(CDrivesPage& page, int row, Qt::KeyboardModifiers mods = {},
              Qt::MouseButton button = Qt::LeftButton) {
    QTreeWidget* list = page.m_listDrives;
    QTest::mouseClick(list->viewport(), button, mods, RowCentre(list, row));
}

} // namespace

class DrivesPageTest : public QObject {
    Q_OBJECT
    CTestOptionsFolder m_config;

    // Runs Start, the drives page and After as a wizard; the action starts on the drives page.
    // A failed check inside the action leaves it early and the wizard is then cancelled.
    static int Run(CDrivesPage& page, std::function<void(CPropertySheet&)> action) {
        CScriptedUi ui;
        CTestPage start("Start"), after("After");
        after.m_buttons = PSWIZB_BACK;
        CPropertySheet sheet;
        sheet.AddPage(&start);
        sheet.AddPage(&page);
        sheet.AddPage(&after);
        ui.modalActions.push_back([&](QWidget*) {
            sheet.PressButton(ID_WIZNEXT);
            if (sheet.GetActivePage() == &page)
                action(sheet);
            else
                QFAIL("the drives page was not shown");
            if (sheet.GetSafeHwnd() && sheet.GetSafeHwnd()->isVisible())
                sheet.EndDialog(IDCANCEL);
        });
        return sheet.DoModal();
    }

    static bool NextEnabled(CPropertySheet& sheet) {
        return sheet.GetButton(ID_WIZNEXT)->isEnabled();
    }

    // The recorded drives answer at once; the limit is generous so that a loaded machine
    // starting the threads late does not turn an answer into a give-up.
    static CDrivesPage& Recorded(CDrivesPage& page) {
        page.SetVolumeSource(RecordedTable);
        page.SetSpaceProbe(RecordedSpace);
        page.SetSpaceTimeLimit(std::chrono::seconds(60));
        return page;
    }

private slots:
    void cleanup() {
        g_profiles.RemoveAll();
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void kbytesKeepAll64Bits() {
        QCOMPARE(CDrivesPage::FormatKBytes(0), std::string("0 KBytes"));
        QCOMPARE(CDrivesPage::FormatKBytes(1536), std::string("1536 KBytes"));
        QCOMPARE(CDrivesPage::FormatKBytes(2 * kGiB / 1024), std::string("2097152 KBytes"));
        QCOMPARE(CDrivesPage::FormatKBytes(4294967296ull), std::string("4294967296 KBytes"));
        QCOMPARE(CDrivesPage::FormatKBytes(UINT64_MAX),
                 std::string("18446744073709551615 KBytes"));
    }

    void rowsShowTheTableInLetterOrderAllUnchecked() {
        CDrivesPage page;
        QVERIFY(page.m_strDrives.empty());
        Run(Recorded(page), [&](CPropertySheet& sheet) {
            QTRY_VERIFY_WITH_TIMEOUT(!page.SizesPending(), 20000);
            QCOMPARE(page.GetCaption(), std::string("Drives"));
            QCOMPARE(sheet.GetSafeHwnd()->windowTitle(), QStringLiteral("Drives"));
            QTreeWidget* list = page.m_listDrives;
            QVERIFY(list);
            QCOMPARE(list->selectionMode(), QAbstractItemView::ExtendedSelection);
            QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
            QCOMPARE(GetColumnCount(list), 5);
            const QStringList headers = {QStringLiteral("Drive"), QStringLiteral("Type"),
                                         QStringLiteral("Label"), QStringLiteral("Free Space"),
                                         QStringLiteral("Total Space")};
            for (int c = 0; c < 5; ++c)
                QCOMPARE(GetColumnText(list, c), headers[c]);

            const std::vector<QStringList> rows = {
                Texts({"C: /", "Fixed", "System", "2097152 KBytes", "5859375000 KBytes"}),
                Texts({"D: /home", "Fixed", "Home", "1536 KBytes", "488386584 KBytes"}),
                Texts({"E: /media/alice/STICK", "Removable", "", "", ""}),
                Texts({"F: /mnt/nas", "Network", "", "3221225472 KBytes", "8589934592 KBytes"}),
                Texts({"G: /tmp", "RAM", "", "1048576 KBytes", "2097152 KBytes"}),
                Texts({"H: /srv/backup", "Fixed", "Backup", "", ""}),
            };
            QCOMPARE(list->topLevelItemCount(), int(rows.size()));
            const QFontMetrics metrics(list->font());
            for (int r = 0; r < int(rows.size()); ++r) {
                QCOMPARE(RowTexts(list, r), rows[size_t(r)]);
                QCOMPARE(GetItemData(list, r), qint64('C' + r));
                QCOMPARE(GetItemImage(list, r), page.m_nUncheckedImage);
                QVERIFY(!list->topLevelItem(r)->icon(0).isNull());
                for (int c = 0; c < 5; ++c)
                    QVERIFY(list->columnWidth(c) >=
                            metrics.horizontalAdvance(rows[size_t(r)][c]));
            }
            QVERIFY(page.m_nCheckedImage >= 0 && page.m_nUncheckedImage >= 0);
            QVERIFY(page.m_nCheckedImage != page.m_nUncheckedImage);
            QVERIFY(page.CheckedDrives().empty());

            QVERIFY(sheet.GetButton(ID_WIZBACK)->isEnabled());
            QVERIFY(!NextEnabled(sheet));
            auto* selectAll = page.GetItem<QPushButton>(IDC_DRIVES_SELECT_ALL);
            QVERIFY(selectAll);
            QCOMPARE(selectAll->text(), QStringLiteral("&Select All Fixed and Network Drives"));

            QVERIFY(page.m_picture);
            QCOMPARE(page.m_picture->GetDib().GetWidth(), 105);
            QCOMPARE(page.m_picture->GetDib().GetHeight(), 190);
            QVERIFY(page.m_picture->contentsRect().width() >= 105);
            QVERIFY(page.m_picture->contentsRect().height() >= 190);
        });
    }

    void mouseClicksToggleTheFirstSelectedRow() {
        CDrivesPage page;
        Run(Recorded(page), [&](CPropertySheet& sheet) {
            QTreeWidget* list = page.m_listDrives;
            ClickRow(page, RowC);
            QCOMPARE(CheckedLetters(page), QStringLiteral("C"));
            QVERIFY(NextEnabled(sheet));
            ClickRow(page, RowC);
            QCOMPARE(CheckedLetters(page), QString());
            QVERIFY(!NextEnabled(sheet));

            ClickRow(page, RowF);
            QCOMPARE(CheckedLetters(page), QStringLiteral("F"));
            // With two rows selected the click toggles the upper one, not the one clicked.
            ClickRow(page, RowD, Qt::ControlModifier);
            QCOMPARE(GetSelectedItems(list), (std::vector<int>{RowD, RowF}));
            QCOMPARE(CheckedLetters(page), QStringLiteral("DF"));
            ClickRow(page, RowH, Qt::ShiftModifier);
            QCOMPARE(GetFirstSelectedItem(list), int(RowD));
            QCOMPARE(CheckedLetters(page), QStringLiteral("F"));
            QVERIFY(NextEnabled(sheet));

            // Below the last row: the selection goes, nothing is toggled.
            const QPoint below(RowCentre(list, RowH).x(),
                               list->visualItemRect(list->topLevelItem(RowH)).bottom() + 20);
            QVERIFY(list->viewport()->rect().contains(below));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, below);
            QCOMPARE(GetFirstSelectedItem(list), -1);
            QCOMPARE(CheckedLetters(page), QStringLiteral("F"));

            // A double click counts once.
            const QPoint g = RowCentre(list, RowG);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, g);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, g);
            QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, g);
            QCOMPARE(CheckedLetters(page), QStringLiteral("FG"));
            ClickRow(page, RowG);
            QCOMPARE(CheckedLetters(page), QStringLiteral("F"));

            // Neither the right button nor the keyboard toggles.
            ClickRow(page, RowC, {}, Qt::RightButton);
            QCOMPARE(CheckedLetters(page), QStringLiteral("F"));
            ClickRow(page, RowC);
            QCOMPARE(CheckedLetters(page), QStringLiteral("CF"));
            list->setFocus();
            for (int key : {Qt::Key_Space, Qt::Key_Down, Qt::Key_Space, Qt::Key_Up, Qt::Key_End,
                            Qt::Key_Home})
                QTest::keyClick(list, Qt::Key(key));
            QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
            QCOMPARE(CheckedLetters(page), QStringLiteral("CF"));
            QCOMPARE(sheet.GetActivePage(), &page);
        });
    }

    void selectAllLeavesRemovableDrivesAsTheyAre() {
        CDrivesPage page;
        Run(Recorded(page), [&](CPropertySheet& sheet) {
            auto* selectAll = page.GetItem<QPushButton>(IDC_DRIVES_SELECT_ALL);
            QVERIFY(selectAll);
            selectAll->click();
            QCOMPARE(CheckedLetters(page), QStringLiteral("CDFGH"));
            QVERIFY(NextEnabled(sheet));

            ClickRow(page, RowE); // the stick checked by hand
            ClickRow(page, RowD); // and /home unchecked
            QCOMPARE(CheckedLetters(page), QStringLiteral("CEFGH"));
            selectAll->click();
            QCOMPARE(CheckedLetters(page), QStringLiteral("CDEFGH"));
        });
    }

    void nextStoresTheCheckedLettersInRowOrder() {
        CDrivesPage page;
        Run(Recorded(page), [&](CPropertySheet& sheet) {
            ClickRow(page, RowD);
            ClickRow(page, RowC);
            QVERIFY(page.m_strDrives.empty()); // only leaving with Next writes it
            sheet.PressButton(ID_WIZNEXT);
            QCOMPARE(sheet.GetActiveIndex(), 2);
            QCOMPARE(page.m_strDrives, std::string("CD"));
            const std::vector<ScanDrive> drives = page.CheckedDrives();
            QCOMPARE(drives.size(), size_t(2));
            QCOMPARE(drives[0].letter, 'C');
            QCOMPARE(drives[0].root, std::string("/"));
            QCOMPARE(drives[1].letter, 'D');
            QCOMPARE(drives[1].root, std::string("/home"));

            // Back from the next page: the marks and Next are still there.
            sheet.PressButton(ID_WIZBACK);
            QCOMPARE(sheet.GetActivePage(), &page);
            QCOMPARE(CheckedLetters(page), QStringLiteral("CD"));
            QVERIFY(NextEnabled(sheet));

            ClickRow(page, RowG);
            ClickRow(page, RowD);
            sheet.PressButton(ID_WIZBACK); // leaving backwards keeps the stored letters
            QCOMPARE(sheet.GetActiveIndex(), 0);
            QCOMPARE(page.m_strDrives, std::string("CD"));
            sheet.PressButton(ID_WIZNEXT);
            QCOMPARE(CheckedLetters(page), QStringLiteral("CG"));
            QVERIFY(NextEnabled(sheet));
            sheet.PressButton(ID_WIZNEXT);
            QCOMPARE(page.m_strDrives, std::string("CG"));
            QCOMPARE(page.CheckedDrives()[1].root, std::string("/tmp"));
        });
    }

    void headingNamesCheckedProfilesThatScanAllFolders() {
        CDrivesPage page;
        Run(Recorded(page), [&](CPropertySheet& sheet) {
            auto* heading = page.GetItem<QLabel>(IDC_DRIVES_HEADING);
            QVERIFY(heading);
            QCOMPARE(heading->text(), QStringLiteral("Select the drives you want to scan for "));
            QCOMPARE(page.m_strHeading, std::string("Select the drives you want to scan for "));

            AddProfile("A", SCOPE_ALL_FOLDERS);
            AddProfile("Listed", SCOPE_LISTED_FOLDERS);
            AddProfile("Unchecked", SCOPE_ALL_FOLDERS);
            AddProfile("B", SCOPE_ALL_FOLDERS);
            sheet.PressButton(ID_WIZBACK);
            sheet.PressButton(ID_WIZNEXT);
            QCOMPARE(heading->text(),
                     QStringLiteral("Select the drives you want to scan for A, Unchecked, B"));

            page.SetProfileFilter([](const CProfile& p) { return p.m_strName != "Unchecked"; });
            sheet.PressButton(ID_WIZBACK);
            sheet.PressButton(ID_WIZNEXT);
            QCOMPARE(heading->text(), QStringLiteral("Select the drives you want to scan for A, B"));
            QCOMPARE(page.m_strHeading, std::string("Select the drives you want to scan for A, B"));
        });
    }

    void aSecondRunRebuildsTheRowsUnchecked() {
        CDrivesPage page;
        int loads = 0;
        page.SetSpaceProbe(RecordedSpace);
        page.SetVolumeSource([&loads] {
            ++loads;
            std::vector<Volume> volumes = RecordedTable().Volumes();
            if (loads > 1)
                volumes.erase(volumes.begin() + RowE); // the stick was taken out
            return CVolumeTable(volumes);
        });
        Run(page, [&](CPropertySheet& sheet) {
            ClickRow(page, RowD);
            sheet.PressButton(ID_WIZNEXT);
        });
        QCOMPARE(page.m_strDrives, std::string("D"));
        QVERIFY(page.GetSafeHwnd() == nullptr);
        QVERIFY(page.CheckedDrives().empty());

        Run(page, [&](CPropertySheet& sheet) {
            QCOMPARE(loads, 2);
            QTreeWidget* list = page.m_listDrives;
            QCOMPARE(list->topLevelItemCount(), 5);
            QCOMPARE(FindItemByText(list, QStringLiteral("E: /media/alice/STICK")), -1);
            QCOMPARE(list->topLevelItem(2)->text(0), QStringLiteral("F: /mnt/nas"));
            QCOMPARE(CheckedLetters(page), QString());
            QVERIFY(!NextEnabled(sheet));
            QCOMPARE(page.m_strDrives, std::string("D"));
            ClickRow(page, 2);
            QCOMPARE(page.CheckedDrives()[0].root, std::string("/mnt/nas"));
        });
        QCOMPARE(page.m_strDrives, std::string("D")); // left with Cancel, not Next
    }

    void aShareThatDoesNotAnswerHoldsUpNothing() {
        CDrivesPage page;
        Recorded(page);
        const HeldSpaceProbe probe("/mnt/nas", RecordedSpace);
        page.SetSpaceProbe(probe.Probe());
        page.SetSpaceTimeLimit(std::chrono::seconds(5));
        Run(page, [&](CPropertySheet& sheet) {
            QTreeWidget* list = page.m_listDrives;
            // The page is there and works while the share keeps it waiting.
            QVERIFY(page.SizesPending());
            QCOMPARE(list->topLevelItemCount(), 6);
            ClickRow(page, RowF);
            QCOMPARE(CheckedLetters(page), QStringLiteral("F"));
            QVERIFY(NextEnabled(sheet));
            QTRY_COMPARE_WITH_TIMEOUT(list->topLevelItem(RowD)->text(3),
                                      QStringLiteral("1536 KBytes"), 20000);

            // After the time limit the page gives up on the share: its row has no sizes.
            QTRY_VERIFY_WITH_TIMEOUT(!page.SizesPending(), 20000);
            QCOMPARE(RowTexts(list, RowF),
                     Texts({"F: /mnt/nas", "Network", "", "", ""}));
            QCOMPARE(RowTexts(list, RowC),
                     Texts({"C: /", "Fixed", "System", "2097152 KBytes", "5859375000 KBytes"}));
            QCOMPARE(RowTexts(list, RowG),
                     Texts({"G: /tmp", "RAM", "", "1048576 KBytes", "2097152 KBytes"}));
            QVERIFY(!probe.AskedOn(std::this_thread::get_id()));

            // A late answer changes nothing.
            probe.Release();
            probe.WaitReturned();
            QTest::qWait(200); // time for a stray update to show, were there one
            QCOMPARE(list->topLevelItem(RowF)->text(3), QString());
            sheet.PressButton(ID_WIZNEXT);
            QCOMPARE(page.m_strDrives, std::string("F"));
        });
    }

    void theWizardClosesWhileAShareHangs() {
        const HeldSpaceProbe probe("/mnt/nas", RecordedSpace);
        {
            CDrivesPage page;
            Recorded(page);
            page.SetSpaceProbe(probe.Probe());
            Run(page, [&](CPropertySheet&) { QVERIFY(page.SizesPending()); });
            QVERIFY(page.GetSafeHwnd() == nullptr);
        } // the window and the page are gone; the share's thread still waits
        probe.Release();
        probe.WaitReturned(); // and answers into what it owns, with nothing left to show it
    }

    void thisMachineShowsItsRootDrive() {
        ScopedTestHome home;
        CDrivesPage page;
        // A loaded machine may take more than the page's two seconds to answer for "/".
        page.SetSpaceTimeLimit(std::chrono::seconds(15));
        Run(page, [&](CPropertySheet&) {
            QTreeWidget* list = page.m_listDrives;
            const int row = FindItemByText(list, QStringLiteral("C: /"));
            QVERIFY(row >= 0);
            QCOMPARE(list->topLevelItem(row)->text(1), QStringLiteral("Fixed"));
            QTRY_VERIFY_WITH_TIMEOUT(!page.SizesPending(), 20000);
            const QString total = list->topLevelItem(row)->text(4);
            QVERIFY2(QRegularExpression(QStringLiteral("^[1-9][0-9]* KBytes$"))
                         .match(total)
                         .hasMatch(),
                     qPrintable(total));
        });
    }
};

QTEST_MAIN(DrivesPageTest)
#include "DrivesPageTest.moc"
