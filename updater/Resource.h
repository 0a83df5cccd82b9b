// Resource numbers of Renewer.exe: templates, controls, strings and commands.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// The about box and the system-menu command that opens it.
#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDM_ABOUTBOX 0x0010
#define IDC_ABOUT_VERSION 1000
#define IDC_ABOUT_LINE 1001

// The updater's window.
#define IDD_UPDATE 102
#define IDC_PROGRESS 1003
#define IDC_STATUS 1004
#define IDC_CLOSE 1006

// "Windows 通信端口初始化失败。"
#define IDS_SOCKETS_INIT_FAILED 103

#define IDR_MAINFRAME 128

// The provider's public key (a CryptoAPI PUBLICKEYBLOB) that update lists are signed with; only in
// builds given one.
#define IDR_UPDATE_KEY 200
