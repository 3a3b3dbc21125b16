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

// Start page (template 129)
inline constexpr int IDC_START_PROFILES = 1063;
inline constexpr int IDC_START_ADD = 1064;
inline constexpr int IDC_START_EDIT = 1065;
inline constexpr int IDC_START_DELETE = 1022;
inline constexpr int IDC_START_SCHEDULE = 1066;
inline constexpr int IDC_START_LIVEUPDATE = 1071;
inline constexpr int IDC_START_ABOUT = 1054;
inline constexpr int IDC_START_NOTE = 1102;

// Drives page (template 132)
inline constexpr int IDC_DRIVES_HEADING = 1082;
inline constexpr int IDC_DRIVES_SELECT_ALL = 1030;
inline constexpr int IDC_DRIVES_LIST = 1083;

// Scan page (template 133)
inline constexpr int IDC_SCAN_START = 1015;
inline constexpr int IDC_SCAN_STOP = 1016;
inline constexpr int IDC_SCAN_STATUS = 1020;
inline constexpr int IDC_SCAN_OPEN = 1057;
inline constexpr int IDC_SCAN_RESULTS = 1084;
inline constexpr int IDC_SCAN_PROGRESS = 1108;
inline constexpr int IDC_SCAN_PROCESSING = 1109;

// Folder error dialog (template 163)
inline constexpr int IDC_FOLDERS_MISSING = 1082;
inline constexpr int IDC_FOLDERS_DONT_SHOW = 1106;

// Selection page (template 134)
inline constexpr int IDC_DELETE_FILES = 1084;
inline constexpr int IDC_DELETE_SELECT_ALL = 1030;
inline constexpr int IDC_DELETE_DESELECT_ALL = 1031;
inline constexpr int IDC_DELETE_TOTAL_LABEL = 1056;
inline constexpr int IDC_DELETE_TOTAL = 1029;
inline constexpr int IDC_DELETE_DISPOSE = 1027;
// The method buttons carry the method codes as their ids: 1022 to 1026.
