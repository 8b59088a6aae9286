// Ids of the notifier's resources, dialog controls and menu commands.
// Included by Mewlark.rc and by the C++ code; plain #defines only.
#pragma once

// The system headers name a stock icon IDI_ERROR; this file's IDI_ERROR is the notifier's
// own icon group 138. Including them first here keeps the order of includes irrelevant.
#ifdef RC_INVOKED
#include <winresrc.h>
#else
#include <windows.h>
#endif
#undef IDI_ERROR

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Resources
#define IDM_ABOUT 104
#define IDM_EXIT 105
#define IDR_TRAYMENU 109
#define IDD_LOGIN 110
#define IDD_ABOUT 111
#define IDB_POPUP 134
#define IDB_POPUP_150 135  // the popup's picture drawn for 150 % and 200 %
#define IDB_POPUP_200 136
#define IDI_IDLE 137
#define IDI_ERROR 138
#define IDI_NEWMAIL 139
#define IDI_LOGGEDOUT 140
#define IDD_OPTIONS 141

// Login dialog
#define IDC_USERID 1000
#define IDC_PASSWORD 1001
#define IDC_SAVE_LOGIN 1002

// About box
#define IDC_VERSION 1003
#define IDC_NOTICE 1004

// Options dialog
#define IDC_SOUND_ENABLE 1005
#define IDC_SOUND_DEFAULT 1007
#define IDC_SOUND_CHOOSE 1008
#define IDC_SOUND_FILE 1009
#define IDC_BROWSE 1010
#define IDC_PLAY_TEST 1011
#define IDC_WINDOWS_NOTIFICATION 1012

// Tray menu commands (IDM_ABOUT and IDM_EXIT above)
#define IDM_OPEN_MAIL 32773
#define IDM_OPTIONS 32774
#define IDM_LOGOUT 32781
#define IDM_REFETCH 32782
#define IDM_HELP 32783

// The product's legal notice: the about box and the version resource show the same line.
#define MEWLARK_LEGAL_NOTICE "Copyright (C) 2024 Mewlark Project"
