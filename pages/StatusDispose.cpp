// The scheduled cleaning's disposal, run by the status window once its search is done.
#include "app/CommandLine.h"
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
        return StopSignalReceived() ? std::string(StopSignalName(StopSignalNumber())) : std::string();
    };
    m_disposal = RunUnattendedDisposal(m_found.Paths(), GetSwitchValue("/x"), GetSwitchValue("/m"), io);
    m_bDisposed = true;
}
