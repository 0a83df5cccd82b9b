#pragma once

#define IDD_WINE_CHECK 100
#define IDC_WINE_CHECK_TEXT 1000
