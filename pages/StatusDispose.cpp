// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// The scheduled cleaning's disposal, run by the status window once its search is done.
#include "dispose/CleaningLog.h"
#include "dispose/UnattendedDisposal.h"
#include "framework/Pump.h"
#include "pages/CStatusDlg.h"
#include "platform/StopSignal.h"

#include <QtWidgets/QLabel>

void CStatusDlg::DisposeFoundFiles() {
    UnattendedDisposalIo io;
    io.log = WriteLog;
    io.pump = PumpPendingMessages;
    io.progress = [this](const std::string& text) {
        if (m_stcFolder)
            m_stcFolder->setText(QString::fromStdString(text));
    };
    io.stopReason = [] {
        return StopSignalReceived() ? std::string(StopSignalName(StopSignalNumber()))
                                    : std::string();
    };
    std::vector<DisposalFile> files;
    files.reserve(m_found.Paths().size());
    for (size_t i = 0; i < m_found.Paths().size(); ++i)
        files.push_back({m_found.Paths()[i], m_found.Seen(i)});
    m_disposal = RunUnattendedDisposal(files, m_switches.method, m_switches.destination, io);
    m_bDisposed = true;
}
