#include "client/tools/SystemDiagnosisSource.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "client/tools/DiagnosisSystem.h"

namespace {

// The network adapter device class.
const GUID kNetworkClass = {0x4D36E972, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
const char kPciEnumerator[] = "PCI";
const char kNotice[] = "提示";

// The text of a fixed field filled by the system, which need not be terminated.
template <size_t N>
std::string FieldText(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

struct FreeDeleter {
  void operator()(void* block) const { std::free(block); }
};

}  // namespace

CSystemDiagnosisSource::~CSystemDiagnosisSource() {
  CloseDevices();
}

bool CSystemDiagnosisSource::OpenDevices() {
  CloseDevices();
  m_set = DiagnosisCalls().setupDiGetClassDevs(&kNetworkClass, kPciEnumerator, nullptr, DIGCF_PRESENT);
  return m_set != INVALID_HANDLE_VALUE;
}

bool CSystemDiagnosisSource::Device(int index, SP_DEVINFO_DATA* device) {
  if (m_set == INVALID_HANDLE_VALUE || index < 0) return false;
  ZeroMemory(device, sizeof(*device));
  device->cbSize = sizeof(*device);
  return DiagnosisCalls().setupDiEnumDeviceInfo(m_set, static_cast<DWORD>(index), device) != FALSE;
}

bool CSystemDiagnosisSource::HasDevice(int index) {
  SP_DEVINFO_DATA device;
  return Device(index, &device);
}

bool CSystemDiagnosisSource::DeviceDescription(int index, std::string* description) {
  SP_DEVINFO_DATA device;
  if (!Device(index, &device)) return false;
  char buffer[260] = {};
  DWORD type = 0;
  if (!DiagnosisCalls().setupDiGetDeviceRegistryProperty(m_set, &device, SPDRP_DEVICEDESC, &type,
                                                         reinterpret_cast<PBYTE>(buffer), sizeof(buffer),
                                                         nullptr)) {
    return false;
  }
  description->assign(buffer, strnlen(buffer, sizeof(buffer)));
  return true;
}

bool CSystemDiagnosisSource::NodeStatus(int index, unsigned long* status, unsigned long* problem) {
  SP_DEVINFO_DATA device;
  if (!Device(index, &device)) return false;
  ULONG bits = 0, number = 0;
  if (DiagnosisCalls().cmGetDevNodeStatus(&bits, &number, device.DevInst, 0) != CR_SUCCESS) return false;
  *status = bits;
  *problem = number;
  return true;
}

void CSystemDiagnosisSource::CloseDevices() {
  if (m_set == INVALID_HANDLE_VALUE) return;
  DiagnosisCalls().setupDiDestroyDeviceInfoList(m_set);
  m_set = INVALID_HANDLE_VALUE;
}

bool CSystemDiagnosisSource::ReadAdapters(std::vector<diagnosis::Adapter>* adapters) {
  DiagnosisSystem& api = DiagnosisCalls();
  // First ask with room for one adapter; a larger table says how much it needs.
  ULONG size = sizeof(IP_ADAPTER_INFO);
  std::unique_ptr<void, FreeDeleter> buffer(std::malloc(size));
  if (buffer == nullptr) return false;
  if (api.getAdaptersInfo(static_cast<PIP_ADAPTER_INFO>(buffer.get()), &size) == ERROR_BUFFER_OVERFLOW) {
    buffer.reset(std::malloc(size));
    if (buffer == nullptr) {
      std::fputs("Error allocating memory needed to call GetAdaptersinfo\n", stdout);
      return false;
    }
  }
  if (api.getAdaptersInfo(static_cast<PIP_ADAPTER_INFO>(buffer.get()), &size) != NO_ERROR) return false;
  adapters->clear();
  // The list lies inside the buffer: it can hold no more entries than fit.
  const size_t most = size / sizeof(IP_ADAPTER_INFO) + 1;
  for (const IP_ADAPTER_INFO* entry = static_cast<const IP_ADAPTER_INFO*>(buffer.get());
       entry != nullptr && adapters->size() < most; entry = entry->Next) {
    diagnosis::Adapter adapter;
    adapter.ip = FieldText(entry->IpAddressList.IpAddress.String);
    adapter.gateway = FieldText(entry->GatewayList.IpAddress.String);
    adapter.description = FieldText(entry->Description);
    const UINT length =
        entry->AddressLength < MAX_ADAPTER_ADDRESS_LENGTH ? entry->AddressLength : MAX_ADAPTER_ADDRESS_LENGTH;
    adapter.address.assign(entry->Address, entry->Address + length);
    adapters->push_back(adapter);
  }
  return true;
}

diagnosis::RasListing CSystemDiagnosisSource::ReadRasDevices(std::vector<diagnosis::RasDevice>* devices) {
  devices->clear();
  DiagnosisSystem& api = DiagnosisCalls();
  DWORD bytes = 0, count = 0;
  api.rasEnumDevices(nullptr, &bytes, &count);
  // A service without devices asks for nothing.
  if (bytes == 0) return diagnosis::RasListing::kListed;
  const size_t entries = (bytes + sizeof(RASDEVINFOA) - 1) / sizeof(RASDEVINFOA);
  std::unique_ptr<void, FreeDeleter> block(std::calloc(entries, sizeof(RASDEVINFOA)));
  if (block == nullptr) return diagnosis::RasListing::kAllocationFailed;
  RASDEVINFOA* list = static_cast<RASDEVINFOA*>(block.get());
  list[0].dwSize = sizeof(RASDEVINFOA);
  bytes = static_cast<DWORD>(entries * sizeof(RASDEVINFOA));
  count = 0;
  if (api.rasEnumDevices(list, &bytes, &count) != 0) return diagnosis::RasListing::kListed;
  for (DWORD i = 0; i < count && i < entries; ++i) {
    devices->push_back(
        diagnosis::RasDevice{FieldText(list[i].szDeviceType), FieldText(list[i].szDeviceName)});
  }
  return diagnosis::RasListing::kListed;
}

void CSystemDiagnosisSource::ShowError(const char* text) {
  if (m_quiet) return;
  DiagnosisCalls().messageBox(m_owner, text, kNotice, MB_OK | MB_ICONERROR);
}
