#pragma once

// Dialog templates, pictures and control ids. Pages and dialogs bind their controls by these
// numbers; the templates under res/dialogs/ carry them as the "ctrlId" property. Several ids
// are stored in settings.dat and on scheduled command lines: do not change them.

// Standard buttons
inline constexpr int IDC_OK = 1;
inline constexpr int IDC_CANCEL = 2;

// Dialog templates
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDD_START = 129;
inline constexpr int IDD_INPUT = 131;
inline constexpr int IDD_DRIVES = 132;
inline constexpr int IDD_SCAN = 133;
inline constexpr int IDD_DELETE = 134;
inline constexpr int IDD_FILEPROPS = 136;
inline constexpr int IDD_NEWPROFILE = 148;
inline constexpr int IDD_STATUS = 160;
inline constexpr int IDD_FOLDERERROR = 163;

// Icons, bitmaps, cursor
inline constexpr int IDR_MAINFRAME = 128;   // program icon
inline constexpr int IDB_START = 145;       // start and schedule setup pages, 100x170
inline constexpr int IDI_CHECKED = 146;     // check mark in a box
inline constexpr int IDI_UNCHECKED = 147;   // empty box
inline constexpr int IDB_DRIVES = 154;      // drives page, 105x190
inline constexpr int IDB_ABOUT = 161;       // About box, 149x154
inline constexpr int IDC_HAND = 162;        // pointer over a picture link
inline constexpr int IDB_STATUS = 166;      // status window, 173x71, 16 colours

// Controls
inline constexpr int IDC_VIEWLOG = 1058;
inline constexpr int IDC_PICTURE = 1086;       // side picture of the wizard pages
inline constexpr int IDC_PICTURE_LINK = 1100;  // About box and status window picture
inline constexpr int IDC_ABOUT_VERSION = 1101;
inline constexpr int IDC_ANIMATE = 1080;       // the searching animation
inline constexpr int IDC_STATUS_FOLDER = 1096; // status window: folder, then progress
inline constexpr int IDC_STATUS_BYTES = 1097;
inline constexpr int IDC_STATUS_FILES = 1098;
