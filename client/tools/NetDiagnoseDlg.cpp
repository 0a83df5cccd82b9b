#include "client/tools/NetDiagnoseDlg.h"

#include <commctrl.h>

#include <string>

#include "client/resources/Resource.h"
#include "client/tools/DiagnosisSystem.h"
#include "client/tools/ModemAddressDlg.h"
#include "common/WorkerThreads.h"
#include "common/ui/Controls.h"
#include "common/ui/Images.h"

using diagnosis::Picture;
using diagnosis::StageResult;

namespace {

// A provider check posts its answer: wParam carries the run (low word) and the stage (high word),
// lParam the answer (ping: 1 answered; server: the dial's error code).
constexpr UINT kProbeDoneMessage = WM_APP + 1;

constexpr UINT_PTR kRunTimer = 1;
constexpr UINT kTickMs = 15;
constexpr int kPositionsPerTick = 3;
// The card check runs once the bar shows this position; each provider stage is checked before
// its third of the rest of the bar.
constexpr int kCardCheckPosition = 50;
constexpr int kLastPosition = 100;
constexpr int kStageFirst[diagnosis::kProviderStages] = {51, 68, 85};
constexpr int kStageLast[diagnosis::kProviderStages] = {67, 84, 100};

constexpr int kIconSize = 48;

// A stage's pictures, stacked at one place: neutral, working, faulty.
struct Stack {
  int ids[3];
};
const Stack kCardStack = {{IDC_DIAG_CARD, IDC_DIAG_CARD_WORKING, IDC_DIAG_CARD_FAULTY}};
const Stack kDriverStack = {{IDC_DIAG_DRIVER, IDC_DIAG_DRIVER_WORKING, IDC_DIAG_DRIVER_FAULTY}};
const Stack kProviderStacks[diagnosis::kProviderStages] = {
    {{IDC_DIAG_MODEM, IDC_DIAG_MODEM_WORKING, IDC_DIAG_MODEM_FAULTY}},
    {{IDC_DIAG_GATEWAY, IDC_DIAG_GATEWAY_WORKING, IDC_DIAG_GATEWAY_FAULTY}},
    {{IDC_DIAG_SERVER, IDC_DIAG_SERVER_WORKING, IDC_DIAG_SERVER_FAULTY}},
};

// Every picture control with its icon, loaded at full size.
const struct {
  int control;
  int icon;
} kPictures[] = {
    {IDC_DIAG_CARD, IDI_DIAG_CARD},
    {IDC_DIAG_CARD_WORKING, IDI_DIAG_CARD_WORKING},
    {IDC_DIAG_CARD_FAULTY, IDI_DIAG_CARD_FAULTY},
    {IDC_DIAG_DRIVER, IDI_DIAG_DRIVER},
    {IDC_DIAG_DRIVER_WORKING, IDI_DIAG_DRIVER_WORKING},
    {IDC_DIAG_DRIVER_FAULTY, IDI_DIAG_DRIVER_FAULTY},
    {IDC_DIAG_LINK, IDI_DIAG_LINK},
    {IDC_DIAG_MODEM, IDI_DIAG_MODEM},
    {IDC_DIAG_MODEM_WORKING, IDI_DIAG_MODEM_WORKING},
    {IDC_DIAG_MODEM_FAULTY, IDI_DIAG_MODEM_FAULTY},
    {IDC_DIAG_GATEWAY, IDI_DIAG_GATEWAY},
    {IDC_DIAG_GATEWAY_WORKING, IDI_DIAG_GATEWAY_WORKING},
    {IDC_DIAG_GATEWAY_FAULTY, IDI_DIAG_GATEWAY_FAULTY},
    {IDC_DIAG_SERVER, IDI_DIAG_SERVER},
    {IDC_DIAG_SERVER_WORKING, IDI_DIAG_SERVER_WORKING},
    {IDC_DIAG_SERVER_FAULTY, IDI_DIAG_SERVER_FAULTY},
};

// The summary's texts and frames, hidden while the detail pages show.
const int kSummaryControls[] = {
    IDC_DIAG_LOCAL_GROUP,     IDC_DIAG_PROVIDER_GROUP, IDC_DIAG_RESULT_CAPTION, IDC_DIAG_RESULT,
    IDC_DIAG_PROVIDER_RESULT, IDC_DIAG_PROGRESS,       IDC_DIAG_LABEL_CARD,     IDC_DIAG_LABEL_DRIVER,
    IDC_DIAG_LABEL_MODEM,     IDC_DIAG_LABEL_GATEWAY,  IDC_DIAG_LABEL_SERVER,
};

const CDiagnosisPage::Column kDriverColumns[] = {{"序号", 58}, {"驱动描述", 530}};
const CDiagnosisPage::Column kDeviceColumns[] = {
    {"序号", 40}, {"设备状态", 60}, {"网线状态", 70}, {"网卡设备描述", 600}};
const CDiagnosisPage::Column kInterfaceColumns[] = {
    {"序号", 40}, {"IP地址", 100}, {"MAC地址", 120}, {"描述", 600}};
const CDiagnosisPage::Column kPppoeColumns[] = {{"序号", 58}, {"PPPOE虚拟网卡描述", 530}};

template <size_t N>
constexpr int CountOf(const CDiagnosisPage::Column (&)[N]) {
  return static_cast<int>(N);
}

int PictureIndex(Picture picture) {
  switch (picture) {
    case Picture::kWorking:
      return 1;
    case Picture::kFaulty:
      return 2;
    default:
      return 0;
  }
}

// The provider checks outlive a stopped run or a closed dialog: they end on their own, and their
// answers then find no run waiting. The workers are waited for when the program ends.
CWorkerThreads& ProbeWorkers() {
  static CWorkerThreads workers;
  return workers;
}

}  // namespace

CNetDiagnoseDlg::CNetDiagnoseDlg()
    : CSkinnedDialog(IDD_DIAGNOSIS),
      m_driverPage(IDD_DIAG_DRIVER_PAGE, kDriverColumns, CountOf(kDriverColumns)),
      m_devicePage(IDD_DIAG_DEVICE_PAGE, kDeviceColumns, CountOf(kDeviceColumns)),
      m_interfacePage(IDD_DIAG_INTERFACE_PAGE, kInterfaceColumns, CountOf(kInterfaceColumns)),
      m_pppoePage(IDD_DIAG_PPPOE_PAGE, kPppoeColumns, CountOf(kPppoeColumns)) {
  INITCOMMONCONTROLSEX controls;
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_PROGRESS_CLASS | ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES;
  InitCommonControlsEx(&controls);
}

int CNetDiagnoseDlg::ProbesRunning() {
  return ProbeWorkers().Running();
}

void CNetDiagnoseDlg::DoDataExchange(bool save) {
  ExchangeText(IDC_DIAG_RESULT, m_state.result, save);
  ExchangeCheck(IDC_DIAG_DETAIL, detail, save);
}

bool CNetDiagnoseDlg::OnInitDialog() {
  m_source.SetOwner(m_hwnd);
  for (const auto& picture : kPictures) {
    ui::CIcon icon(ui::LoadIconSized(picture.icon, kIconSize));
    if (!icon.Valid()) continue;
    SendMessageA(Item(picture.control), STM_SETICON, reinterpret_cast<WPARAM>(icon.Get()), 0);
    m_icons.push_back(std::move(icon));
  }
  m_pages.AddPage("网卡驱动程序", &m_driverPage, IDD_DIAG_DRIVER_PAGE);
  m_pages.AddPage("网卡设备", &m_devicePage, IDD_DIAG_DEVICE_PAGE);
  m_pages.AddPage("网卡接口", &m_interfacePage, IDD_DIAG_INTERFACE_PAGE);
  m_pages.AddPage("虚拟PPPOE网卡", &m_pppoePage, IDD_DIAG_PPPOE_PAGE);
  m_pages.Attach(Item(IDC_DIAG_PAGES));
  SendMessageA(Item(IDC_DIAG_PROGRESS), PBM_SETRANGE32, 0, kLastPosition);
  m_detailShown = false;
  ShowPictures();
  ShowProviderText();
  DoDataExchange(false);
  return true;
}

bool CNetDiagnoseDlg::OnCommand(int id, int code, HWND) {
  if (code != BN_CLICKED) return false;
  switch (id) {
    case IDC_DIAG_START:
      if (!m_running) StartRun();
      return true;
    case IDC_DIAG_STOP:
      StopRun();
      return true;
    case IDC_DIAG_CONFIGURE:
      ConfigureModem();
      return true;
    case IDC_DIAG_DETAIL:
      if (m_running) return true;
      DoDataExchange(true);
      ApplyView(detail != 0);
      DoDataExchange(false);
      return true;
    default:
      return false;
  }
}

void CNetDiagnoseDlg::OnCancel() {
  StopRun();
  End(IDCANCEL);
}

void CNetDiagnoseDlg::OnTimer(UINT_PTR id) {
  if (id == kRunTimer) Advance();
}

bool CNetDiagnoseDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (message == kProbeDoneMessage) {
    OnProbeDone(wParam, lParam);
    result = 0;
    return true;
  }
  return CSkinnedDialog::OnMessage(message, wParam, lParam, result);
}

void CNetDiagnoseDlg::StartRun() {
  DoDataExchange(true);
  m_state.interfaces.clear();
  FillPages();
  for (StageResult& stage : m_stages) stage = StageResult();
  m_providerUnreachable = false;
  m_stopped = false;
  ShowPictures();
  ShowProviderText();
  m_runModem = modem;
  ++m_runId;
  m_running = true;
  m_probing = false;
  m_position = 0;
  m_nextStage = 0;
  // The switch would repeat the card check under the run's feet; it comes back when the run ends.
  ui::Enable(Item(IDC_DIAG_DETAIL), false);
  SendMessageA(Item(IDC_DIAG_PROGRESS), PBM_SETRANGE32, 0, kLastPosition);
  ShowRunPosition(m_position++);
  SetTimer(m_hwnd, kRunTimer, kTickMs, nullptr);
}

void CNetDiagnoseDlg::SwapButtons(int enable, int disable) {
  ui::Enable(Item(enable), true);
  // A control that is disabled while it has the focus leaves the keyboard nowhere.
  if (GetFocus() == Item(disable))
    SendMessageA(m_hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(enable)), TRUE);
  ui::Enable(Item(disable), false);
}

void CNetDiagnoseDlg::ShowRunPosition(int position) {
  if (position <= kCardCheckPosition) SwapButtons(IDC_DIAG_STOP, IDC_DIAG_START);
  SendMessageA(Item(IDC_DIAG_PROGRESS), PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void CNetDiagnoseDlg::Advance() {
  if (!m_running || m_probing) return;
  if (m_position <= kCardCheckPosition) {
    for (int i = 0; i < kPositionsPerTick && m_position <= kCardCheckPosition; ++i)
      ShowRunPosition(m_position++);
    if (m_position > kCardCheckPosition) {
      // A message of the check runs a message loop of its own: the timer must not step the run
      // meanwhile.
      KillTimer(m_hwnd, kRunTimer);
      CheckCards();
      if (m_running) SetTimer(m_hwnd, kRunTimer, kTickMs, nullptr);
    }
    return;
  }
  if (m_nextStage < diagnosis::kProviderStages && m_position == kStageFirst[m_nextStage]) {
    StartStage(m_nextStage);
    return;
  }
  const int last = kStageLast[m_nextStage - 1];
  for (int i = 0; i < kPositionsPerTick && m_position <= last; ++i) ShowRunPosition(m_position++);
  if (m_position > kLastPosition) FinishRun();
}

void CNetDiagnoseDlg::StartStage(int stage) {
  using namespace diagnosis;
  if (!ProviderReachable(m_state.outcome)) {
    m_providerUnreachable = true;
    m_stages[stage] = StageResult();
    ++m_nextStage;
    ShowProviderText();
    return;
  }
  std::string address;
  bool checkable = true;
  switch (stage) {
    case kModemStage:
      address = ModemTarget(m_runModem, m_state.cardGateway);
      checkable = !address.empty();
      break;
    case kGatewayStage:
      address = FindDefaultGateway();
      checkable = !address.empty();
      break;
    default:
      checkable = ServerCheckable(m_state.outcome);
      break;
  }
  if (!checkable) {
    m_stages[stage] = StageSkipped(static_cast<ProviderStage>(stage));
    ++m_nextStage;
    ShowPictures();
    ShowProviderText();
    return;
  }
  m_stages[stage] = StageRunning(static_cast<ProviderStage>(stage), address);
  ShowProviderText();
  m_probeAddress = address;
  m_probing = true;
  KillTimer(m_hwnd, kRunTimer);
  const HWND window = m_hwnd;
  const WPARAM tag = MAKEWPARAM(m_runId, stage);
  auto probe = [window, tag, stage, address]() {
    const unsigned long answer =
        stage == kServerStage ? ProbeAuthenticationServer() : (PingAddress(address) ? 1 : 0);
    PostMessageA(window, kProbeDoneMessage, tag, static_cast<LPARAM>(answer));
  };
  // Without a thread the check runs here; its answer still comes as a message.
  if (!ProbeWorkers().Start(probe)) probe();
}

void CNetDiagnoseDlg::OnProbeDone(WPARAM tag, LPARAM answer) {
  using namespace diagnosis;
  const int stage = HIWORD(tag);
  if (!m_running || !m_probing || LOWORD(tag) != m_runId || stage != m_nextStage) return;
  switch (stage) {
    case kModemStage:
      m_stages[stage] = ModemResult(m_probeAddress, answer != 0);
      break;
    case kGatewayStage:
      m_stages[stage] = GatewayResult(m_probeAddress, answer != 0);
      break;
    default:
      m_stages[stage] = ServerResult(static_cast<unsigned long>(answer));
      break;
  }
  m_probing = false;
  ++m_nextStage;
  ShowPictures();
  ShowProviderText();
  SetTimer(m_hwnd, kRunTimer, kTickMs, nullptr);
}

void CNetDiagnoseDlg::FinishRun() {
  KillTimer(m_hwnd, kRunTimer);
  m_running = false;
  m_hadRun = true;
  SwapButtons(IDC_DIAG_START, IDC_DIAG_STOP);
  ui::Enable(Item(IDC_DIAG_DETAIL), true);
  detail = 0;
  ui::SetChecked(Item(IDC_DIAG_DETAIL), false);
  // The summary comes back with a second card check; what it would report the run has just
  // shown, so its messages are not shown twice.
  m_source.SetQuiet(true);
  ApplyView(false);
  m_source.SetQuiet(false);
  DoDataExchange(false);
}

void CNetDiagnoseDlg::StopRun() {
  if (!m_running) return;
  KillTimer(m_hwnd, kRunTimer);
  m_running = false;
  m_probing = false;
  // An answer still on its way belongs to this run and is ignored.
  ++m_runId;
  for (int stage = m_nextStage; stage < diagnosis::kProviderStages; ++stage) m_stages[stage] = StageResult();
  m_stopped = true;
  SwapButtons(IDC_DIAG_START, IDC_DIAG_STOP);
  ui::Enable(Item(IDC_DIAG_DETAIL), m_hadRun);
  ShowPictures();
  ShowProviderText();
}

void CNetDiagnoseDlg::CheckCards() {
  diagnosis::RunCardCheck(m_source, m_state);
  FillPages();
  ShowPictures();
  ui::SetText(Item(IDC_DIAG_RESULT), m_state.result);
}

void CNetDiagnoseDlg::ApplyView(bool detailed) {
  if (!detailed) CheckCards();
  m_detailShown = detailed;
  for (int id : kSummaryControls) ui::Show(Item(id), !detailed);
  ShowPictures();
  ui::Show(Item(IDC_DIAG_PAGES), detailed);
}

void CNetDiagnoseDlg::ShowPictures() {
  const bool summary = !m_detailShown;
  auto show = [this, summary](const Stack& stack, Picture picture) {
    const int shown = PictureIndex(picture);
    for (int i = 0; i < 3; ++i) ui::Show(Item(stack.ids[i]), summary && i == shown);
  };
  show(kCardStack, m_state.card);
  show(kDriverStack, m_state.driver);
  for (int stage = 0; stage < diagnosis::kProviderStages; ++stage)
    show(kProviderStacks[stage], m_stages[stage].picture);
  ui::Show(Item(IDC_DIAG_LINK), summary);
}

void CNetDiagnoseDlg::ShowProviderText() {
  std::string text =
      m_providerUnreachable ? diagnosis::kProviderUnreachableText : diagnosis::ProviderText(m_stages);
  if (m_stopped) {
    if (!text.empty()) text += '\n';
    text += diagnosis::kRunStoppedText;
  }
  ui::SetText(Item(IDC_DIAG_PROVIDER_RESULT), text);
}

void CNetDiagnoseDlg::FillPages() {
  std::vector<std::vector<std::string>> rows;
  for (const auto& row : m_state.drivers) rows.push_back({row.number, row.text});
  m_driverPage.SetRows(rows);
  rows.clear();
  for (const auto& row : m_state.devices) rows.push_back({row.number, row.state, row.cable, row.description});
  m_devicePage.SetRows(rows);
  rows.clear();
  for (const auto& row : m_state.interfaces) rows.push_back({row.number, row.ip, row.mac, row.description});
  m_interfacePage.SetRows(rows);
  rows.clear();
  for (const auto& row : m_state.pppoe) rows.push_back({row.number, row.text});
  m_pppoePage.SetRows(rows);
}

void CNetDiagnoseDlg::ConfigureModem() {
  CModemAddressDlg dialog;
  dialog.autoDetect = modem.autoDetect ? 1 : 0;
  dialog.address = modem.address;
  if (dialog.DoModal(m_hwnd) != IDOK) return;
  modem.autoDetect = dialog.autoDetect != 0;
  modem.address = dialog.address;
}
