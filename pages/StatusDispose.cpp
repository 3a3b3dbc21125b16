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
    const CFoundStore& found = m_found.Store();
    const DisposalFiles files{found.Count(), [&found](std::size_t i) {
                                  return DisposalFile{std::string(found.Path(i)), found.Seen(i)};
                              }};
    m_disposal = RunUnattendedDisposal(files, m_switches.method, m_switches.destination, io);
    m_bDisposed = true;
}
