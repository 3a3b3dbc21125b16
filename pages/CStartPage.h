#pragma once

#include "controls/CPictureStatic.h"
#include "framework/CPropertyPage.h"

#include <QtCore/QList>
#include <QtCore/QPointer>
#include <QtGui/QIcon>
#include <functional>
#include <string>

class CProfile;
class CProfileList;
class QLabel;
class QPushButton;
class QTreeWidget;

// The wizard's first page: the profiles with a check mark each, and the commands on them.
// Next goes to the drives page when a checked profile scans whole drives, else straight on to
// the scan page.
class CStartPage : public CPropertyPage {
  public:
    CStartPage();

    bool OnInitDialog() override;
    bool OnSetActive() override;
    int OnWizardNext() override;
    void DoDataExchange(CDataExchange* pDX) override;

    // Whether the profile's row shows the check mark; false while the page has no window.
    bool IsProfileChecked(const CProfile& profile) const;
    // Whether some checked profile scans every folder of the chosen drives.
    bool AnyCheckedScansAllFolders() const;
    // Reports the scan folders of listed-folder profiles that are missing. False when the
    // user chose to stay and fix them.
    bool VerifyScanFolders();

    // Next when at least one row is checked, else no button at all.
    void UpdateWizardButtons();

    void OnAdd();
    void OnEdit();
    void OnDelete();
    void OnSchedule();
    void OnViewLog();
    void OnLiveUpdate();
    void OnAbout();

    // The scan page, where Next goes when the drives page is not needed. Null means the page
    // two after this one in its sheet (this, drives, scan).
    CPropertyPage* m_pNextAfterDrives = nullptr;
    // What Live Update runs; CheckForUpdate unless a test puts its own here.
    std::function<int(QWidget*, const std::string&, const std::string&)> m_checkForUpdate;

    QList<QIcon> m_imageList;
    int m_nCheckedImage = 0;
    int m_nUncheckedImage = 1;

    QPointer<QLabel> m_stcNote;
    QPointer<CPictureStatic> m_picture;
    QPointer<QTreeWidget> m_lstProfiles;
    QPointer<QPushButton> m_btnViewLog;

  private:
    void OnListClicked();
};

// Whether a scan folder is there: anything lstat finds, a trailing '/' ignored, "/" always.
bool ScanFolderExists(const std::string& path);
// Logs the check of every listed-folder profile of the store and returns the report of its
// missing folders: per profile "name:" and a tab-indented line per folder, blocks separated
// by an empty line, every line ended by "\r\n". Empty when nothing is missing.
std::string FindMissingScanFolders(const CProfileList& profiles);
