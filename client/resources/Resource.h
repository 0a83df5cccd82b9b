// Resource numbers of Quillon.exe. The dial engine and the watchers address the main window's
// controls, toolbar commands and menus by these numbers, so they never change.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Dialog templates.
#define IDD_ABOUT 100
#define IDD_MAIN 102
#define IDD_LOGIN 146
#define IDD_SHORTCUT_PAGE 162
#define IDD_NAVIGATION_PAGE 169
#define IDD_CONTACT_PAGE 228

// Icons, bitmaps, menus, toolbar.
#define IDR_MAINFRAME 128
#define IDB_BACKGROUND 129
#define IDR_TRAY_MENU 130
#define IDR_MAIN_MENU 133
#define IDR_TOOLBAR 137
#define IDB_TABS 138
#define IDI_TRAY 250
#define IDB_TOOLBAR_DISABLED 301

// Main window controls.
#define IDC_TABS 1001
#define IDC_IP_LABEL 1009
#define IDC_NAME_LABEL 1011
#define IDC_STATE_LABEL 1012
#define IDC_IP_TEXT 1013
#define IDC_NAME_TEXT 1014
#define IDC_STATE_TEXT 1015
#define IDC_MESSAGE_TEXT 1016
#define IDC_AD_VIEW 1235
#define IDC_CAPTION_MINIMIZE 1240
#define IDC_CAPTION_CLOSE 1241

// Login page controls.
#define IDC_DISCONNECT 1002
#define IDC_CONNECT 1003
#define IDC_USER_NAME 1005
#define IDC_PASSWORD 1006
#define IDC_DEVICE_LIST 1008
#define IDC_REMEMBER_PASSWORD 1021
#define IDC_USER_LABEL 1022
#define IDC_PASSWORD_LABEL 1023
#define IDC_DEVICE_LABEL 1024

// About dialog.
#define IDC_ABOUT_LINK 1019
#define IDC_ABOUT_VERSION 1020

// Web navigation page: the first link and the number of links.
#define IDC_NAV_LINK_FIRST 1301
#define IDC_NAV_LINK_COUNT 6

// Contact page.
#define IDC_CONTACT_SLOGAN 1320

// Commands.
#define ID_TRAY_DISCONNECT 32771
#define ID_TRAY_EXIT 32772
#define ID_UPDATE 32773
#define ID_TRAY_CONNECT 32774
#define ID_MENU_CONNECT 32775
#define ID_MENU_DISCONNECT 32776
#define ID_MENU_EXIT 32778
#define ID_DIAGNOSIS 32779
#define ID_ABOUT 32780
#define ID_CONNECT 32781
#define ID_DISCONNECT 32782
#define ID_SETTINGS 32783
#define ID_TRAY_ABOUT 32784
#define ID_STATISTICS 32794
#define ID_USER_MANAGEMENT 32795
#define ID_RECORD_QUERY 32796
#define ID_MENU_SETTINGS 32797
#define ID_TRAY_SHOW 32803
#define ID_TRAY_STATISTICS 32804
#define ID_HELP_TOPICS 32816

// Strings: toolbar tooltips carry their command's number; the tab tooltips follow.
#define IDS_TAB_LOGIN 32785
#define IDS_TAB_SHORTCUTS 32786
#define IDS_TAB_RECOMMENDED 32787
#define IDS_TAB_SERVICE 32788
