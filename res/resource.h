// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
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
inline constexpr int IDD_PATTERNS = 135;
inline constexpr int IDD_FILEPROPS = 136;
inline constexpr int IDD_NEWPROFILE = 148;
inline constexpr int IDD_FOLDERS2SCAN = 149;
inline constexpr int IDD_SCHEDSETUP = 158;
inline constexpr int IDD_SCHEDDELETE = 159;
inline constexpr int IDD_STATUS = 160;
inline constexpr int IDD_FOLDERERROR = 163;
inline constexpr int IDD_SCHEDWHEN = 170;
inline constexpr int IDD_SCHEDULES = 171;

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

// Input dialog (template 131)
inline constexpr int IDC_INPUT_TEXT = 1011;
inline constexpr int IDC_INPUT_PROMPT = 1012;

// New-profile page (template 148); the two option buttons' ids are the scan scopes
inline constexpr int IDC_PROFILE_NAME = 1067;
inline constexpr int IDC_SCOPE_LISTED_FOLDERS = 1068;
inline constexpr int IDC_SCOPE_ALL_FOLDERS = 1069;

// Folders-to-scan page (template 149)
inline constexpr int IDC_SCANFOLDERS_LIST = 1069;
inline constexpr int IDC_SCANFOLDERS_ADD = 1064;
inline constexpr int IDC_SCANFOLDERS_DELETE = 1022;

// Patterns page (template 135)
inline constexpr int IDC_PAT_TMP = 1038;
inline constexpr int IDC_PAT_BAK = 1039;
inline constexpr int IDC_PAT_CHK = 1040;
inline constexpr int IDC_PAT_OLD = 1041;
inline constexpr int IDC_PAT_TILDE_NAME = 1042;
inline constexpr int IDC_PAT_TILDE_EXT = 1043;
inline constexpr int IDC_PATTERNS_LIST = 1044;
inline constexpr int IDC_ADD_PATTERN = 1004;
inline constexpr int IDC_DELETE_PATTERN = 1005;
inline constexpr int IDC_FOLDERNAMES_LIST = 1047;
inline constexpr int IDC_ADD_FOLDER = 1007;
inline constexpr int IDC_DELETE_FOLDER = 1008;

// File-properties page (template 136)
inline constexpr int IDC_MIN_SIZE = 1050;
inline constexpr int IDC_MAX_SIZE = 1051;
inline constexpr int IDC_MONTH = 1052;
inline constexpr int IDC_DAY = 1053;
inline constexpr int IDC_YEAR = 1054;
inline constexpr int IDC_USE_LIMITS = 1072;
inline constexpr int IDC_LIMITS_ADVICE = 1077;

// Schedule setup page (template 158)
inline constexpr int IDC_SCHEDSETUP_PROFILES = 1063;

// Scheduled-disposal page (template 159); the method buttons carry the method codes as their ids
inline constexpr int IDC_SCHED_DESTINATION = 1093;
inline constexpr int IDC_SCHED_BROWSE = 1094;
inline constexpr int IDC_SCHED_PROMPT = 1095;
inline constexpr int IDC_SCHED_NOTICE = 1082;

// When-to-clean dialog (template 170)
inline constexpr int IDC_WHEN_DAILY = 1110;
inline constexpr int IDC_WHEN_WEEKLY = 1111;
inline constexpr int IDC_WHEN_MONTHLY = 1112;
inline constexpr int IDC_WHEN_WEEKDAY = 1113;
inline constexpr int IDC_WHEN_DAY = 1114;
inline constexpr int IDC_WHEN_TIME = 1115;
inline constexpr int IDC_WHEN_CATCHUP = 1119;

// Scheduled-cleanings dialog (template 171); Close is IDCANCEL
inline constexpr int IDC_SCHEDULES_LIST = 1116;
inline constexpr int IDC_SCHEDULES_NEW = 1117;
inline constexpr int IDC_SCHEDULES_REMOVE = 1118;
