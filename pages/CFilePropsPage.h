// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "framework/CPropertyPage.h"
#include "profiles/ProfileEntries.h"

#include <cstdint>

// Last page of the "Profile" sheet: the optional limits. With them on, a file the patterns
// take is listed when it is older than the date, smaller than the minimum or larger than the
// maximum. Finish ends the sheet once every value in use is within its range.
class CFilePropsPage : public CPropertyPage {
  public:
    CFilePropsPage();

    bool OnInitDialog() override;
    bool OnSetActive() override;
    bool OnWizardFinish() override;
    void DoDataExchange(CDataExchange* pDX) override;

    // The check box: the five edits are enabled with it.
    void OnUseLimits();
    // The values a new profile starts with.
    void ResetToDefaults();

    std::uint32_t m_nMinSize = 0;
    std::uint32_t m_nDay = 1;
    std::uint32_t m_nMonth = 1;
    std::uint32_t m_nYear = kFirstYear;
    bool m_bUseLimits = false;
    std::uint32_t m_nMaxSize = kDefaultMaxSize;

  private:
    void EnableLimits(bool enable);
};
