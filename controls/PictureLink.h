// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

class QWidget;

// Makes a picture a link to the maker's web site: the hand cursor over it, and a left-button
// press opens the site (the window stays open).
void MakePictureLink(QWidget* picture);
