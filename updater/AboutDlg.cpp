#include "updater/AboutDlg.h"

#include "updater/Resource.h"

CAboutDlg::CAboutDlg() : CSkinnedDialog(IDD_ABOUTBOX) {}
