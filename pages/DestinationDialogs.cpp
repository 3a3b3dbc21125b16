// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "pages/DestinationDialogs.h"

#include "framework/UiSeam.h"

#include <cstdlib>

std::string AskZipFileName(QWidget* owner) {
    auto name = TheUi().GetOpenFileName(owner, "Zip Files", "", "Zip Files (*.zip)", true);
    if (!name || name->empty())
        return {};
    // The dialog's default extension: a name typed without one becomes an archive name.
    const size_t slash = name->rfind('/');
    if (name->find('.', slash == std::string::npos ? 0 : slash) == std::string::npos)
        *name += ".zip";
    return *name;
}

std::string BrowseForMoveFolder(QWidget* owner) {
    const char* home = std::getenv("HOME");
    auto folder = TheUi().BrowseForFolder(owner, "Select a folder to move the files to",
                                          home ? home : "/");
    return folder ? *folder : std::string();
}
