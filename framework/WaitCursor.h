// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

// Shows the wait cursor for its lifetime (nested ones stack).
class CWaitCursor {
public:
    CWaitCursor();
    ~CWaitCursor();
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;

private:
    bool m_bShown = false;
};

// Lifts every wait cursor shown for its lifetime and puts them back afterwards: a window that
// waits for the user shows the normal cursor, however busy the code that opened it is.
class CWaitCursorPause {
public:
    CWaitCursorPause();
    ~CWaitCursorPause();
    CWaitCursorPause(const CWaitCursorPause&) = delete;
    CWaitCursorPause& operator=(const CWaitCursorPause&) = delete;

private:
    int m_nLifted = 0;
};
