#include "client/tools/DiagBusyDlg.h"

#include "client/resources/Resource.h"

CDiagBusyDlg::CDiagBusyDlg() : CSkinnedDialog(IDD_DIAGNOSIS_BUSY) {}
