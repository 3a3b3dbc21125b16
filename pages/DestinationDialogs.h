// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include <string>

class QWidget;

// Asks for the zip archive to pack files into: an Open dialog that also takes a new name.
// Empty when cancelled.
std::string AskZipFileName(QWidget* owner);
// Asks for the folder to move files to. Empty when cancelled.
std::string BrowseForMoveFolder(QWidget* owner);
