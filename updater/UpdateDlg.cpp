#include "updater/UpdateDlg.h"

#include <commctrl.h>

#include <cstdlib>

#include "common/HttpGet.h"
#include "updater/AboutDlg.h"
#include "updater/Install.h"
#include "updater/ListSignature.h"
#include "updater/Md5.h"
#include "updater/ProfileFile.h"
#include "updater/Resource.h"
#include "updater/UpdateTexts.h"

namespace {

constexpr int kDownloadAttempts = 3;
// The position when a newer version is found: the download starts from it.
constexpr int kFoundPosition = 10;
// The configuration's texts are read into buffers of this size.
constexpr DWORD kConfigText = 260;
// A signature is the size of the key's modulus; nothing sensible is longer.
constexpr std::size_t kSignatureLimit = 4096;
// The list is read back whole to check its signature.
constexpr DWORD kListLimit = 16 * 1024 * 1024;

bool IsOk(const std::string& statusCode) {
  return std::atoi(statusCode.c_str()) == 200;
}

bool ReadSmallFile(const std::string& path, std::string& bytes) {
  bytes.clear();
  ui::CHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.Get() == INVALID_HANDLE_VALUE) {
    file.Release();
    return false;
  }
  const DWORD size = GetFileSize(file.Get(), nullptr);
  if (size == INVALID_FILE_SIZE || size > kListLimit) return false;
  bytes.resize(size);
  DWORD got = 0;
  if (size > 0 && (!ReadFile(file.Get(), &bytes[0], size, &got, nullptr) || got != size)) return false;
  return true;
}

// Writes a response body into path (created or emptied); false when the file cannot be created or
// the body cannot be read and written whole.
bool SaveBody(CHttpGet& request, const std::string& path, DWORD share) {
  ui::CHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, share, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.Get() == INVALID_HANDLE_VALUE) {
    file.Release();
    return false;
  }
  return request.CopyBodyTo(file.Get());
}

}  // namespace

CUpdateDlg::CUpdateDlg(const std::string& temporaryFolder, const std::string& programFolder)
    : CSkinnedDialog(IDD_UPDATE),
      m_temporaryFolder(temporaryFolder),
      m_programFolder(programFolder),
      m_listKey(CarriedListKey()) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  m_icon.Reset(static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0)));
  m_smallIcon.Reset(
      static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON,
                                    GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0)));
}

bool CUpdateDlg::ReadConfig() {
  const std::string path = m_programFolder + texts::kConfigFile;
  char version[kConfigText] = {};
  char address[kConfigText] = {};
  GetPrivateProfileStringA("Version", "Version", "1.0", version, sizeof(version), path.c_str());
  GetPrivateProfileStringA("URL", "URL", "", address, sizeof(address), path.c_str());
  m_installedVersion = version;
  return SplitHttpAddress(address, m_listAddress);
}

bool CUpdateDlg::OnInitDialog() {
  m_window = m_hwnd;
  HMENU systemMenu = GetSystemMenu(m_hwnd, FALSE);
  char about[128] = {};
  if (systemMenu != nullptr &&
      LoadStringA(GetModuleHandleA(nullptr), IDS_ABOUTBOX, about, sizeof(about)) > 0) {
    AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(systemMenu, MF_STRING, IDM_ABOUTBOX, about);
  }
  SendMessageA(m_hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon.Get()));
  SendMessageA(m_hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon.Get()));
  SetPropA(m_hwnd, texts::kRunningProperty, reinterpret_cast<HANDLE>(1));

  HWND progress = Item(IDC_PROGRESS);
  SendMessageA(progress, PBM_SETRANGE, 0, MAKELPARAM(1, 100));
  SendMessageA(progress, PBM_SETSTEP, 1, 0);
  m_position = 5;
  m_status = texts::kChecking;
  DoDataExchange(false);

  if (!m_checkThread.Start([this] { VersionCheckThread(); })) {
    MessageBoxA(m_hwnd, texts::kThreadFailed, texts::kCaption, MB_OK | MB_ICONSTOP);
  }
  return true;
}

void CUpdateDlg::DoDataExchange(bool save) {
  ExchangeText(IDC_STATUS, m_status, save);
  if (save) {
    m_position = Position();
  } else {
    SetPosition(m_position);
  }
}

bool CUpdateDlg::OnCommand(int id, int, HWND) {
  if (id != IDC_CLOSE) return false;
  End(IDOK);
  return true;
}

bool CUpdateDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (CSkinnedDialog::OnMessage(message, wParam, lParam, result)) return true;
  if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == IDM_ABOUTBOX) {
    CAboutDlg about;
    about.DoModal(m_hwnd);
    result = 0;
    return true;
  }
  if (message == WM_DESTROY) RemovePropA(m_hwnd, texts::kRunningProperty);
  return false;
}

void CUpdateDlg::VersionCheckThread() {
  CHttpGet request;
  if (!request.Send(m_listAddress.server, m_listAddress.port, m_listAddress.object)) {
    ReportInternetError(request.Error());
    return;
  }
  const std::string statusCode = request.StatusText();
  if (statusCode == "404") {
    SetStatus(texts::kListMissing);
    return;
  }
  if (!IsOk(statusCode)) {
    SetStatus(texts::kListStatusPrefix + statusCode);
    return;
  }
  const std::string listPath = m_temporaryFolder + texts::kListFile;
  const bool saved = SaveBody(request, listPath, FILE_SHARE_READ);
  request.Close();
  if (!saved) {
    SetStatus(texts::kListNotSaved);
    return;
  }
  if (!m_listKey.empty()) {
    if (const char* refusal = CheckListSignature(listPath)) {
      SetStatus(refusal);
      return;
    }
  }

  // The list is read once, here: what is installed is what was checked.
  CProfileFile profile(listPath);
  m_list = ReadUpdateList(profile);
  m_clientName = m_list.softwareName;
  m_reboot = m_list.reboot;
  m_offeredVersion = m_list.version;
  if (!IsNewerVersion(m_offeredVersion, m_installedVersion)) {
    SetStatus(texts::kUpToDate);
    return;
  }
  SetPosition(kFoundPosition);
  SetStatus(texts::kFoundPrefix + m_offeredVersion + texts::kFoundSuffix);
  if (!m_downloadThread.Start([this] { DownloadThread(); })) ShowMessage(texts::kThreadFailed, MB_ICONSTOP);
}

const char* CUpdateDlg::CheckListSignature(const std::string& listPath) {
  CHttpGet request;
  std::string signature;
  if (!request.Send(m_listAddress.server, m_listAddress.port, SignatureObject(m_listAddress.object)) ||
      !IsOk(request.StatusText()) || !request.ReadBody(signature, kSignatureLimit) || signature.empty()) {
    return texts::kSignatureMissing;
  }
  request.Close();
  std::string list;
  if (!ReadSmallFile(listPath, list) || !VerifyListSignature(m_listKey, list, signature)) {
    return texts::kSignatureInvalid;
  }
  return nullptr;
}

void CUpdateDlg::DownloadThread() {
  const int start = Position();
  // Every path is checked before the first download: a list that would write outside the program
  // folder is refused whole.
  if (CheckUpdateList(m_list) != ListProblem::kNone) {
    SetStatus(texts::kUnsafeList);
    return;
  }
  m_targets = DeriveTargets(m_programFolder, m_list.files);
  const int count = m_list.fileCount;
  if (count <= 0) {
    for (int step = 0; step < kEmptyListSteps; ++step) SetPosition(start + step);
  }
  for (int number = 1; number <= count; ++number) {
    const FilePositions positions = PositionsOfFile(start, count, number);
    SetPosition(positions.beforeRead);
    // Reading stopped after the first entry without an address; its download fails below.
    const std::size_t index = static_cast<std::size_t>(number - 1);
    const UpdateEntry entry = index < m_list.files.size() ? m_list.files[index] : UpdateEntry();
    const UpdateTargets target = index < m_targets.size() ? m_targets[index] : UpdateTargets();
    SetPosition(positions.beforeDownload);
    for (int attempt = 1; !DownloadFile(entry, target); ++attempt) {
      if (attempt == kDownloadAttempts) {
        // Nothing is installed; what was fetched stays as ".upf" files.
        SetStatus(texts::kVerifyFailed);
        return;
      }
      SetStatus(texts::kRetrying);
    }
    SetPosition(positions.done);
  }

  SetStatus(texts::kInstalling);
  SetPosition(kInstallPosition);
  InstallPlan plan;
  plan.programFolder = m_programFolder;
  plan.clientName = m_clientName;
  plan.reboot = m_reboot;
  plan.files = m_targets;
  if (InstallFiles(m_window, plan)) {
    SetPosition(kDonePosition);
    SetStatus(texts::kDone);
  } else {
    SetPosition(kInstallPosition);
    SetStatus(texts::kNotDone);
  }
}

int CUpdateDlg::DownloadFile(const UpdateEntry& entry, const UpdateTargets& target) {
  HttpAddress address;
  if (!SplitHttpAddress(entry.address, address)) {
    ShowMessage(texts::kListAddressError, MB_ICONSTOP);
    return 0;
  }
  CHttpGet request;
  if (!request.Send(address.server, address.port, address.object)) {
    ReportInternetError(request.Error());
    return 0;
  }
  SetStatus(texts::kDownloadingPrefix + address.object + texts::kDownloadingSuffix);
  const std::string statusCode = request.StatusText();
  if (!IsOk(statusCode)) {
    SetStatus(texts::kDownloadStatusPrefix + statusCode);
    return 0;
  }
  const std::string path = target.downloadName + kDownloadSuffix;
  ui::CHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.Get() == INVALID_HANDLE_VALUE) {
    file.Release();
    ShowMessage(texts::kWriteErrorPrefix + m_programFolder + target.fileName + texts::kWriteErrorSuffix,
                MB_ICONSTOP);
    return 0;
  }
  const bool copied = request.CopyBodyTo(file.Get());
  file.Reset();
  request.Close();
  std::string digest;
  // The digest must match exactly: the list writes it in lowercase.
  return copied && Md5OfFile(path.c_str(), digest) && digest == entry.digest ? 1 : 0;
}

void CUpdateDlg::SetStatus(const std::string& text) {
  SetDlgItemTextA(m_window, IDC_STATUS, text.c_str());
}

void CUpdateDlg::SetPosition(int position) {
  SendDlgItemMessageA(m_window, IDC_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

int CUpdateDlg::Position() {
  return static_cast<int>(SendDlgItemMessageA(m_window, IDC_PROGRESS, PBM_GETPOS, 0, 0));
}

void CUpdateDlg::ShowMessage(const std::string& text, UINT icon) {
  MessageBoxA(m_window, text.c_str(), texts::kCaption, MB_OK | icon);
}

void CUpdateDlg::ReportInternetError(DWORD error) {
  const std::string text = InternetErrorText(error);
  SetStatus(text);
  ShowMessage(text, MB_ICONSTOP);
}
