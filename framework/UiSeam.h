// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include <optional>
#include <string>

class QWidget;

// Every message box, file dialog, folder browser, shell open and scheduler prompt passes through
// one replaceable object, so tests can script the answers and record what was shown instead of
// blocking on a real window. Texts given to it are shown as they are, never as markup, and its
// windows show the normal cursor even when a wait cursor is up.
class CUiSeam {
public:
    virtual ~CUiSeam() = default;

    // Shows a message box; returns IDOK, IDYES, IDNO or IDCANCEL.
    virtual int MessageBox(QWidget* owner, const std::string& text, const std::string& caption,
                           unsigned type);
    // An Open dialog; with acceptNew a name that does not exist yet is accepted too.
    // nullopt when cancelled.
    virtual std::optional<std::string> GetOpenFileName(QWidget* owner, const std::string& title,
                                                       const std::string& initialPath,
                                                       const std::string& filter, bool acceptNew);
    // A folder browser; nullopt when cancelled.
    virtual std::optional<std::string> BrowseForFolder(QWidget* owner, const std::string& title,
                                                       const std::string& initialFolder);
    // Opens a file or URL with the desktop's program for it. Returns a value above 32 on
    // success, else the failure's code: 2 the file was not found or no browser is set up,
    // 31 no program is associated with the file's type (HasProgramFor).
    virtual int ShellOpen(QWidget* owner, const std::string& target);
    // Whether the desktop names a default program for the type of the file's contents.
    virtual bool HasProgramFor(const std::string& path);
    // Opens a file as plain text in the desktop's text editor, whatever its type; the same
    // results as ShellOpen.
    virtual int OpenAsText(QWidget* owner, const std::string& path);
    // Called once each modal dialog or sheet of ours has started its modal loop.
    virtual void ModalStarted(QWidget* window);
};

// The seam in use: the real one unless a test installed its own.
CUiSeam& TheUi();
// Installs seam (not owned); nullptr restores the real one.
void SetUiSeam(CUiSeam* seam);

// Convenience over TheUi().MessageBox.
int MessageBox(QWidget* owner, const std::string& text, const std::string& caption,
               unsigned type);

// Success values of ShellOpen, and the two failures the desktop can tell apart.
inline constexpr int SHELL_OK = 42;
inline constexpr int SHELL_ERROR_FILE_NOT_FOUND = 2;
inline constexpr int SHELL_ERROR_NO_ASSOCIATION = 31;
