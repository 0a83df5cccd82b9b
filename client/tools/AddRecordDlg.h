// CAddRecordDlg: the add-record dialog of the record query (template 261): user name, IP address,
// start and end (a date and a time picker each, set to now when it opens), bytes sent and received
// (digits only). No field is checked. After "确定" the fields hold the texts the record is written
// with.
#pragma once

#include <string>

#include "common/ui/SkinnedDialog.h"

class CAddRecordDlg : public ui::CSkinnedDialog {
 public:
  CAddRecordDlg();

  std::string user;
  std::string ip;         // "%d.%d.%d.%d" of the address control
  std::string startTime;  // "%Y-%m-%d %H:%M:%S" of the start pickers
  std::string endTime;
  std::string sent;
  std::string received;

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(bool save) override;

 private:
  // The text of a date picker's date and a time picker's time; writes now into both when save is
  // false.
  std::string ExchangeMoment(int dateId, int timeId, bool save);
};
