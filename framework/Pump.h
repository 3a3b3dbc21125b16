#pragma once

// Processes the events waiting for the calling thread's windows, so a long loop on the
// user-interface thread keeps the window painted and its Stop and Cancel buttons working.
void PumpPendingMessages();

// The dialogs are laid out for an 8-point font: use the desktop's font family at that size.
void ApplyDialogFont();
