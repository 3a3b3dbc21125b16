// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "platform/FsError.h"
#include "profiles/CProfile.h"

#include <cstddef>
#include <list>
#include <memory>
#include <string>
#include <string_view>

// The ordered store of profiles. It owns them: a profile removed from it is deleted.
class CProfileList {
    using Storage = std::list<std::unique_ptr<CProfile>>;

public:
    CProfileList() = default;
    CProfileList(const CProfileList&) = delete;
    CProfileList& operator=(const CProfileList&) = delete;
    CProfileList(CProfileList&&) = default;
    CProfileList& operator=(CProfileList&&) = default;

    CProfile* AddHead(std::unique_ptr<CProfile> profile);
    CProfile* AddTail(std::unique_ptr<CProfile> profile);
    // Unlinks and deletes the profile; false when the store does not hold it.
    bool Remove(const CProfile* profile);
    void RemoveAll() { m_list.clear(); }

    // The first profile, from the head, whose name equals name byte for byte; null if none.
    CProfile* FindByName(std::string_view name) const;

    std::size_t GetCount() const { return m_list.size(); }
    bool IsEmpty() const { return m_list.empty(); }

    // Appends the profiles of the settings file fileName (a bare name in the program
    // directory) to dest, in file order. An absent or unreadable file adds nothing.
    void Load(const std::string& fileName, CProfileList& dest) const;
    // Rewrites settings.dat from the store. When the file could not be written, or must not
    // be (SaveRefusal), the old file is left exactly as it was.
    FsError Save() const;
    // Why settings.dat must not be written: LoadAndMerge left it unread (damaged and not
    // kept aside, or unreadable), and a save would replace the user's profiles in it. Its
    // text says what is wrong with the file, without its path; none when a save may write it.
    FsError SaveRefusal() const;
    // Start-up: loads settings.dat, then merges in the profiles of the update file whose
    // names are new, and consumes the update file when it held any profile. Without consume
    // the merge happens in memory only and no file is written or removed. A settings.dat
    // left unread is not written for the life of the store, and the update file then stays.
    void LoadAndMerge(bool consume = true);

    // Iteration from head to tail yields CProfile&.
    class const_iterator {
    public:
        using iterator_category = std::bidirectional_iterator_tag;
        using value_type = CProfile;
        using difference_type = std::ptrdiff_t;
        using pointer = CProfile*;
        using reference = CProfile&;
        const_iterator() = default;
        explicit const_iterator(Storage::const_iterator it) : m_it(it) {}
        CProfile& operator*() const { return **m_it; }
        CProfile* operator->() const { return m_it->get(); }
        const_iterator& operator++() {
            ++m_it;
            return *this;
        }
        const_iterator operator++(int) {
            auto old = *this;
            ++m_it;
            return old;
        }
        const_iterator& operator--() {
            --m_it;
            return *this;
        }
        const_iterator operator--(int) {
            auto old = *this;
            --m_it;
            return old;
        }
        bool operator==(const const_iterator&) const = default;

    private:
        Storage::const_iterator m_it;
    };
    const_iterator begin() const { return const_iterator(m_list.begin()); }
    const_iterator end() const { return const_iterator(m_list.end()); }

private:
    Storage m_list;
    std::string m_unreadSettings; // the settings.dat that LoadAndMerge left unread
    std::string m_unreadWhy;      // what is wrong with it
};

// The program's one profile store.
extern CProfileList g_profiles;

// What the "Profile" sheet is doing: PROFILE_MODE_ADD or PROFILE_MODE_EDIT.
inline constexpr int PROFILE_MODE_ADD = 1;
inline constexpr int PROFILE_MODE_EDIT = 2;
extern int g_nProfileMode;
// The profile being edited; meaningful only in PROFILE_MODE_EDIT.
extern CProfile* g_pEditProfile;
