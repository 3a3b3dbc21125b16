// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "framework/CTemplateWnd.h"

#include <cstdint>
#include <optional>
#include <string>

// One exchange between a window's controls and its members. The first refused value stops
// it: every later exchange call does nothing.
class CDataExchange {
public:
    CDataExchange(CTemplateWnd* wnd, bool bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(wnd) {}

    const bool m_bSaveAndValidate;
    CTemplateWnd* const m_pDlgWnd;

    bool Failed() const { return m_bFailed; }
    // The control about to be exchanged; remembered so a refusal can put the focus on it.
    QWidget* PrepareCtrl(int id);
    // Refuses the last prepared control's value: shows text, focuses the control, stops.
    void Fail(const std::string& text);

private:
    int m_idLastControl = 0;
    bool m_bFailed = false;
};

// The framework's standard validation messages.
inline constexpr const char* kMsgPositiveInteger = "Please enter a positive integer.";
inline constexpr const char* kMsgIntegerBetween = "Please enter an integer between %1 and %2.";

// An unsigned decimal with blanks and tabs allowed around it; nullopt for anything else
// (empty, negative, other characters, more than 32 bits).
std::optional<std::uint32_t> ParseUnsignedField(const std::string& text);

void DDX_Text(CDataExchange* pDX, int id, std::string& value);
void DDX_Text(CDataExchange* pDX, int id, std::uint32_t& value);
void DDV_MinMaxDWord(CDataExchange* pDX, std::uint32_t value, std::uint32_t min,
                     std::uint32_t max);
void DDX_Check(CDataExchange* pDX, int id, bool& value);

// Binds a control member to the control with this id when the window is filled.
template <class T> void DDX_Control(CDataExchange* pDX, int id, QPointer<T>& control) {
    if (pDX->Failed())
        return;
    control = qobject_cast<T*>(pDX->PrepareCtrl(id));
}
