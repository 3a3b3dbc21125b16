// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "controls/CResultsListSink.h"

#include "controls/WholeTextTips.h"
#include "framework/Pump.h"

CResultsListSink::CResultsListSink(CFoundFilesView* list, CFoundStore* store, QLabel* status,
                                   Timing timing)
    : m_timing(timing), m_list(list), m_store(store), m_status(status) {}

CResultsListSink::~CResultsListSink() { Flush(); }

void CResultsListSink::OnFolder(const std::string& folder) {
    // Shown at the next pump: setting a label for every folder would cost more than the walk.
    m_folder = QString::fromStdString(folder);
}

void CResultsListSink::OnFileTaken(const FoundFile& file) {
    if (m_store)
        m_store->Add(file);
}

void CResultsListSink::Flush() {
    if (m_status && !m_folder.isEmpty()) {
        SetElidedText(m_status, m_folder);
        m_folder.clear();
    }
    if (!m_list || m_list->Model().Store() != m_store)
        return;
    const int first = m_list->Model().ShowNewFiles();
    m_list->WidenColumnsFrom(first);
}

void CResultsListSink::Pump() {
    // Reading the clock at every directory entry would cost more than the pumping saves.
    if (++m_nCalls % 32 != 1)
        return;
    PumpWhileWaiting();
}

void CResultsListSink::PumpWhileWaiting() {
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastPump < m_timing.pump)
        return;
    m_lastPump = now;
    if (now - m_lastFlush >= m_timing.flush) {
        m_lastFlush = now;
        Flush();
    }
    PumpPendingMessages();
}
