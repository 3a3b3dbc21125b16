// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "pages/CDrivesPage.h"

#include "framework/DriveLetterStore.h"
#include "controls/ListViewHelpers.h"
#include "framework/CDataExchange.h"
#include "framework/CPropertySheet.h"
#include "framework/WinTypes.h"
#include "profiles/CProfileList.h"
#include "res/ResourceInit.h"
#include "res/resource.h"
#include "ui_dlg132_drives.h"

#include <QtCore/QTimer>
#include <QtWidgets/QTreeWidget>

namespace {

const char* const kHeadingStart = "Select the drives you want to scan for ";
const char* const kRemovableText = "Removable";

QString TypeText(DriveType type) {
    switch (type) {
    case DriveType::Removable:
        return QString::fromUtf8(kRemovableText);
    case DriveType::Fixed:
        return QStringLiteral("Fixed");
    case DriveType::Network:
        return QStringLiteral("Network");
    case DriveType::Ram:
        return QStringLiteral("RAM");
    }
    return {};
}

QString SizeText(const std::optional<std::uint64_t>& bytes) {
    return bytes ? QString::fromStdString(CDrivesPage::FormatKBytes(*bytes / 1024)) : QString();
}

} // namespace

CDrivesPage::CDrivesPage()
    : CPropertyPage(IDD_DRIVES, FromForm<Ui::Dlg132Drives>()),
      m_volumeSource([] {
          // The sizes are asked later, off this thread: a network share may not answer.
          VolumeProbes probes = SystemProbes();
          probes.space = nullptr;
          CDriveLetterStore store;
          return CVolumeTable::Load(store, probes);
      }),
      m_spaceProbe(SystemProbes().space),
      m_isProfileChecked([](const CProfile&) { return true; }) {
    InitFernwickResources();
}

void CDrivesPage::SetVolumeSource(VolumeSource source) { m_volumeSource = std::move(source); }

void CDrivesPage::SetSpaceProbe(CSpaceQuery::Probe probe) { m_spaceProbe = std::move(probe); }

void CDrivesPage::SetSpaceTimeLimit(std::chrono::milliseconds limit) { m_spaceTimeLimit = limit; }

bool CDrivesPage::SizesPending() const { return m_spaceTimer && m_spaceTimer->isActive(); }

void CDrivesPage::SetProfileFilter(ProfileFilter isChecked) {
    m_isProfileChecked = std::move(isChecked);
}

std::string CDrivesPage::FormatKBytes(std::uint64_t kbytes) {
    return std::to_string(kbytes) + " KBytes";
}

void CDrivesPage::DoDataExchange(CDataExchange* pDX) {
    CPropertyPage::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PICTURE, m_picture);
    DDX_Control(pDX, IDC_DRIVES_LIST, m_listDrives);
    DDX_Text(pDX, IDC_DRIVES_HEADING, m_strHeading);
}

bool CDrivesPage::OnInitDialog() {
    CPropertyPage::OnInitDialog();

    // Drives may have come or gone since the last run.
    m_volumes = m_volumeSource ? m_volumeSource() : CVolumeTable();

    if (QTreeWidget* list = m_listDrives) {
        m_checks.Attach(list, true, [this] { UpdateWizardButtons(); });
        const QString headers[] = {QStringLiteral("Drive"), QStringLiteral("Type"),
                                   QStringLiteral("Label"), QStringLiteral("Free Space"),
                                   QStringLiteral("Total Space")};
        for (int c = 0; c < 5; ++c)
            AddColumn(list, c, headers[c]);

        m_nCheckedImage = CCheckMarkList::kCheckedImage;
        m_nUncheckedImage = CCheckMarkList::kUncheckedImage;

        for (const Volume& v : m_volumes.Volumes()) {
            QStringList texts{QString::fromStdString(v.Text()), TypeText(v.type)};
            // A medium can be swapped while the page is open: no label or sizes for it.
            if (v.type != DriveType::Removable)
                texts << QString::fromStdString(v.label) << SizeText(v.freeBytes)
                      << SizeText(v.totalBytes);
            const int row = m_checks.InsertRow(list->topLevelItemCount(), texts, false);
            SetItemData(list, row, static_cast<unsigned char>(v.letter));
        }
        FitColumns(list, true);
        AskSizes();
    }
    OnClicked(IDC_DRIVES_SELECT_ALL, &CDrivesPage::OnSelectAllDrives);

    if (CPropertySheet* sheet = GetSheet())
        sheet->SetWizardButtons(PSWIZB_BACK);
    if (m_picture)
        m_picture->LoadBitmap(IDB_DRIVES);
    return true;
}

void CDrivesPage::AskSizes() {
    // The drives whose rows show sizes (all but removable ones) are asked at once, each on a
    // thread of its own, unless the source gave their sizes; the rows are filled as the
    // answers come, so the page never waits for a slow drive.
    m_spaceLetters.clear();
    std::vector<std::string> mountPoints;
    for (const Volume& v : m_volumes.Volumes()) {
        if (v.type != DriveType::Removable && !v.freeBytes && !v.totalBytes) {
            m_spaceLetters += v.letter;
            mountPoints.push_back(v.mountPoint);
        }
    }
    m_spaceShown.assign(mountPoints.size(), false);
    m_spaceQuery = std::make_unique<CSpaceQuery>(mountPoints, m_spaceProbe);
    m_spaceDeadline = std::chrono::steady_clock::now() + m_spaceTimeLimit;
    // The timer belongs to the list: it goes with the page's window, and the threads still
    // waiting then are left to themselves.
    m_spaceTimer = new QTimer(m_listDrives);
    m_spaceTimer->setInterval(50);
    QObject::connect(m_spaceTimer, &QTimer::timeout, m_spaceTimer, [this] { ShowSizes(); });
    m_spaceTimer->start();
    ShowSizes();
}

void CDrivesPage::ShowSizes() {
    QTreeWidget* list = m_listDrives;
    if (!list || !m_spaceQuery)
        return;
    // Decided before the answers are looked at: an answer that came after the look and
    // before this test would otherwise never be shown.
    const bool last = m_spaceQuery->AllAnswered() ||
                      std::chrono::steady_clock::now() >= m_spaceDeadline;
    bool changed = false;
    for (size_t i = 0; i < m_spaceLetters.size(); ++i) {
        if (m_spaceShown[i] || !m_spaceQuery->Answered(i))
            continue;
        m_spaceShown[i] = true;
        const std::optional<SpaceInfo> space = m_spaceQuery->Answer(i);
        if (!space)
            continue;
        for (int r = 0, rows = list->topLevelItemCount(); r < rows; ++r) {
            if (GetItemData(list, r) != static_cast<unsigned char>(m_spaceLetters[i]))
                continue;
            list->topLevelItem(r)->setText(3, SizeText(space->freeBytes));
            list->topLevelItem(r)->setText(4, SizeText(space->totalBytes));
            changed = true;
        }
    }
    if (changed)
        FitColumns(list, true);
    // Past the limit a drive that has not answered keeps its size columns empty for good.
    if (last) {
        if (m_spaceTimer)
            m_spaceTimer->stop();
    }
}

bool CDrivesPage::OnSetActive() {
    m_strHeading = kHeadingStart;
    bool first = true;
    for (const CProfile& profile : g_profiles) {
        if (!profile.ScansAllFolders() || !m_isProfileChecked || !m_isProfileChecked(profile))
            continue;
        if (!first)
            m_strHeading += ", ";
        m_strHeading += profile.m_strName;
        first = false;
    }
    UpdateData(false);
    UpdateWizardButtons();
    return CPropertyPage::OnSetActive();
}

bool CDrivesPage::IsRowChecked(int row) const { return m_checks.IsChecked(row); }

void CDrivesPage::UpdateWizardButtons() {
    CPropertySheet* sheet = GetSheet();
    if (!sheet)
        return;
    sheet->SetWizardButtons(m_checks.AnyChecked() ? PSWIZB_BACK | PSWIZB_NEXT : PSWIZB_BACK);
}

void CDrivesPage::OnSelectAllDrives() {
    if (QTreeWidget* list = m_listDrives) {
        const QString removable = QString::fromUtf8(kRemovableText);
        for (int r = 0, rows = list->topLevelItemCount(); r < rows; ++r) {
            if (list->topLevelItem(r)->text(1) != removable)
                m_checks.SetChecked(r, true);
        }
    }
    UpdateWizardButtons();
}

int CDrivesPage::OnWizardNext() {
    m_strDrives.clear();
    for (const ScanDrive& drive : CheckedDrives())
        m_strDrives += drive.letter;
    return 0;
}

std::vector<ScanDrive> CDrivesPage::CheckedDrives() const {
    std::vector<ScanDrive> drives;
    const int rows = m_listDrives ? m_listDrives->topLevelItemCount() : 0;
    for (int r = 0; r < rows; ++r) {
        if (!IsRowChecked(r))
            continue;
        const char letter = static_cast<char>(GetItemData(m_listDrives, r));
        const Volume* volume = m_volumes.Find(letter);
        drives.push_back({letter, volume ? volume->mountPoint : std::string()});
    }
    return drives;
}
