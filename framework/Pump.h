// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

// Processes the events waiting for the calling thread's windows, so a long loop on the
// user-interface thread keeps the window painted and its Stop and Cancel buttons working.
void PumpPendingMessages();
