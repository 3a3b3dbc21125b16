// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "res/ResourceInit.h"

#include <QtCore/QDir>

void InitFernwickResources() { Q_INIT_RESOURCE(fernwick_res); }
