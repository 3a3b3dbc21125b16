// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "framework/UiSeam.h"

#include "framework/WaitCursor.h"
#include "framework/WinTypes.h"

#include <gio/gio.h>

#include <QtCore/QFileInfo>
#include <QtCore/QUrl>
#include <QtGui/QDesktopServices>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QMessageBox>

namespace {

CUiSeam g_realSeam;
CUiSeam* g_seam = &g_realSeam;

QString Q(const std::string& s) { return QString::fromStdString(s); }

} // namespace

CUiSeam& TheUi() { return *g_seam; }

void SetUiSeam(CUiSeam* seam) { g_seam = seam ? seam : &g_realSeam; }

int MessageBox(QWidget* owner, const std::string& text, const std::string& caption,
               unsigned type) {
    return TheUi().MessageBox(owner, text, caption, type);
}

int CUiSeam::MessageBox(QWidget* owner, const std::string& text, const std::string& caption,
                        unsigned type) {
    CWaitCursorPause pause;
    QMessageBox box(owner);
    box.setWindowTitle(Q(caption));
    // Names of files, folders and profiles are text, even when they look like markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(Q(text));
    switch (type & MB_ICONMASK) {
    case MB_ICONSTOP:
        box.setIcon(QMessageBox::Critical);
        break;
    case MB_ICONQUESTION:
        box.setIcon(QMessageBox::Question);
        break;
    case MB_ICONEXCLAMATION:
        box.setIcon(QMessageBox::Warning);
        break;
    case MB_ICONINFORMATION:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        break;
    }
    struct Choice {
        QMessageBox::StandardButton button;
        int result;
    };
    std::vector<Choice> choices;
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
        choices = {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
        break;
    case MB_YESNOCANCEL:
        choices = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
        break;
    case MB_YESNO:
        choices = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
        break;
    default:
        choices = {{QMessageBox::Ok, IDOK}};
        break;
    }
    for (const Choice& c : choices)
        box.addButton(c.button);
    const size_t def = ((type & MB_DEFMASK) >> 8) < choices.size() ? (type & MB_DEFMASK) >> 8 : 0;
    box.setDefaultButton(choices[def].button);
    box.exec();
    const auto* clicked = box.clickedButton();
    for (const Choice& c : choices)
        if (clicked == box.button(c.button))
            return c.result;
    // Closed without a button: Cancel where there is one, else the only answer there is.
    return (type & MB_TYPEMASK) == MB_YESNO ? IDNO
           : choices.size() > 1             ? IDCANCEL
                                            : IDOK;
}

std::optional<std::string> CUiSeam::GetOpenFileName(QWidget* owner, const std::string& title,
                                                    const std::string& initialPath,
                                                    const std::string& filter, bool acceptNew) {
    CWaitCursorPause pause;
    QFileDialog dlg(owner, Q(title), Q(initialPath), Q(filter));
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(acceptNew ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return std::nullopt;
    return dlg.selectedFiles().front().toStdString();
}

std::optional<std::string> CUiSeam::BrowseForFolder(QWidget* owner, const std::string& title,
                                                    const std::string& initialFolder) {
    CWaitCursorPause pause;
    const QString dir = QFileDialog::getExistingDirectory(owner, Q(title), Q(initialFolder));
    if (dir.isEmpty())
        return std::nullopt;
    return dir.toStdString();
}

int CUiSeam::ShellOpen(QWidget*, const std::string& target) {
    const QString t = Q(target);
    const bool isUrl = t.contains(QStringLiteral("://"));
    if (!isUrl && !QFileInfo::exists(t))
        return SHELL_ERROR_FILE_NOT_FOUND;
    // A launcher would otherwise accept a file it has nothing to open with and do nothing.
    if (!isUrl && !HasProgramFor(target))
        return SHELL_ERROR_NO_ASSOCIATION;
    const QUrl url = isUrl ? QUrl(t) : QUrl::fromLocalFile(t);
    // openUrl is false when no launcher exists (no desktop, no xdg-open).
    if (QDesktopServices::openUrl(url))
        return SHELL_OK;
    return isUrl ? SHELL_ERROR_FILE_NOT_FOUND : SHELL_ERROR_NO_ASSOCIATION;
}

bool CUiSeam::HasProgramFor(const std::string& path) {
    // The type as the desktop sees it: from the contents where they can be read, else from
    // the name alone.
    gchar* type = nullptr;
    GFile* file = g_file_new_for_path(path.c_str());
    if (GFileInfo* info = g_file_query_info(file, G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE,
                                            G_FILE_QUERY_INFO_NOFOLLOW_SYMLINKS, nullptr, nullptr)) {
        if (const char* t = g_file_info_get_content_type(info))
            type = g_strdup(t);
        g_object_unref(info);
    }
    g_object_unref(file);
    if (!type)
        type = g_content_type_guess(path.c_str(), nullptr, 0, nullptr);
    GAppInfo* app = type ? g_app_info_get_default_for_type(type, FALSE) : nullptr;
    g_free(type);
    if (!app)
        return false;
    g_object_unref(app);
    return true;
}

int CUiSeam::OpenAsText(QWidget*, const std::string& path) {
    if (!QFileInfo::exists(Q(path)))
        return SHELL_ERROR_FILE_NOT_FOUND;
    GAppInfo* editor = g_app_info_get_default_for_type("text/plain", FALSE);
    if (!editor)
        return SHELL_ERROR_NO_ASSOCIATION;
    GFile* file = g_file_new_for_path(path.c_str());
    GList files{file, nullptr, nullptr};
    const gboolean ok = g_app_info_launch(editor, &files, nullptr, nullptr);
    g_object_unref(file);
    g_object_unref(editor);
    return ok ? SHELL_OK : SHELL_ERROR_NO_ASSOCIATION;
}

void CUiSeam::ModalStarted(QWidget*) {}
