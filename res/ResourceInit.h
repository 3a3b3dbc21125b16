// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

// Makes the compiled-in pictures, icons and animation reachable under ":/art/". Call once
// before the first picture is loaded (static libraries drop unreferenced resources).
void InitFernwickResources();
