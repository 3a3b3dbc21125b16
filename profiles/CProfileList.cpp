// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "profiles/CProfileList.h"

#include <algorithm>

CProfileList g_profiles;
int g_nProfileMode = PROFILE_MODE_ADD;
CProfile* g_pEditProfile = nullptr;

CProfile* CProfileList::AddHead(std::unique_ptr<CProfile> profile) {
    m_list.push_front(std::move(profile));
    return m_list.front().get();
}

CProfile* CProfileList::AddTail(std::unique_ptr<CProfile> profile) {
    m_list.push_back(std::move(profile));
    return m_list.back().get();
}

bool CProfileList::Remove(const CProfile* profile) {
    auto it = std::find_if(m_list.begin(), m_list.end(),
                           [profile](const auto& p) { return p.get() == profile; });
    if (it == m_list.end())
        return false;
    m_list.erase(it);
    return true;
}

CProfile* CProfileList::FindByName(std::string_view name) const {
    for (const auto& p : m_list)
        if (p->m_strName == name)
            return p.get();
    return nullptr;
}
