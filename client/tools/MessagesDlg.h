// CMessagesDlg: the history of the provider's messages (template 242). The list shows every message
// of the message store, newest first, with its date and time and its title; the selected one's
// content stands below it, and "打开链接" opens its web address with the shell (only an http or
// https address; the button is disabled for a message without one). The window reads the store
// when it opens and whenever Reload is called; it never writes to it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "client/messaging/ProviderMessage.h"
#include "common/ui/SkinnedDialog.h"

class CMessageStore;

// How a message's web address reaches the user's browser; tests replace it.
struct MessageLinkSystem {
  void (*openWebPage)(HWND owner, const char* address);
};
MessageLinkSystem& MessageLinkCalls();
MessageLinkSystem RealMessageLinkSystem();

// Opens address with the shell when it is a web link (IsWebLink); false, opening nothing, for any
// other text, such as a file or a program named in a message store edited by hand.
bool OpenMessageLink(HWND owner, const std::string& address);

class CMessagesDlg : public ui::CSkinnedDialog {
 public:
  explicit CMessagesDlg(CMessageStore& store);

  // Lists the store afresh (messages that came while the window is open), keeping the selected
  // message selected. Does nothing before the window exists.
  void Reload();

  // The messages as listed, newest first.
  const std::vector<ProviderMessage>& Rows() const { return m_rows; }
  // The listed row selected, or -1.
  int SelectedRow() const;

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnNotify(NMHDR* header, LRESULT& result) override;

 private:
  // Fills the list and selects the row of the message stored at position selectedPosition (the
  // newest when it is not listed).
  void Fill(size_t selectedPosition);
  // The content and the button for the selected row.
  void ShowSelected();
  void OpenSelectedLink();

  CMessageStore& m_store;
  std::vector<ProviderMessage> m_rows;
  // The store position of each row.
  std::vector<size_t> m_positions;
};
