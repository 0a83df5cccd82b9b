#include "client/core/PageBase.h"

CPageBase::CPageBase(UINT templateId, const int* links) : CSkinnedDialog(templateId, links) {}

// A page is part of the main window: the keys that would end a dialog must not end it.
void CPageBase::OnOK() {}

void CPageBase::OnCancel() {}
