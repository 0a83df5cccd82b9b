// CSystemDiagnosisSource: the machine as the card check reads it, through the diagnosis table
// (DiagnosisCalls): the present PCI network devices, their node status, the adapter table and the
// remote-access devices. Its messages are boxes over the owner window.
#pragma once

#include <windows.h>

#include <setupapi.h>

#include <string>
#include <vector>

#include "client/tools/DiagnosisRules.h"

class CSystemDiagnosisSource : public diagnosis::CDiagnosisSource {
 public:
  // owner: the window the message boxes belong to (may be null).
  explicit CSystemDiagnosisSource(HWND owner = nullptr) : m_owner(owner) {}
  ~CSystemDiagnosisSource() override;
  CSystemDiagnosisSource(const CSystemDiagnosisSource&) = delete;
  CSystemDiagnosisSource& operator=(const CSystemDiagnosisSource&) = delete;

  void SetOwner(HWND owner) { m_owner = owner; }
  // While quiet, messages are dropped instead of shown.
  void SetQuiet(bool quiet) { m_quiet = quiet; }

  bool OpenDevices() override;
  bool HasDevice(int index) override;
  bool DeviceDescription(int index, std::string* description) override;
  bool NodeStatus(int index, unsigned long* status, unsigned long* problem) override;
  void CloseDevices() override;
  bool ReadAdapters(std::vector<diagnosis::Adapter>* adapters) override;
  diagnosis::RasListing ReadRasDevices(std::vector<diagnosis::RasDevice>* devices) override;
  void ShowError(const char* text) override;

 private:
  // The device at index of the open set; false when there is none.
  bool Device(int index, SP_DEVINFO_DATA* device);

  HWND m_owner;
  bool m_quiet = false;
  HDEVINFO m_set = INVALID_HANDLE_VALUE;
};
