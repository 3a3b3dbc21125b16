// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include <atomic>

// A manual-reset "stop" signal for a running search. It belongs to the window that runs the
// search: another running instance of the program can neither stop nor pre-empt it.
class CStopEvent {
public:
    void Set() { m_bSet.store(true, std::memory_order_relaxed); }
    void Reset() { m_bSet.store(false, std::memory_order_relaxed); }
    bool IsSet() const { return m_bSet.load(std::memory_order_relaxed); }

private:
    std::atomic<bool> m_bSet{false};
};
