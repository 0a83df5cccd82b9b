#include "client/core/MainDlg.h"

#include <windows.h>

#include <cstdio>

#include "client/core/AppTexts.h"
#include "client/messaging/MessageClient.h"
#include "client/messaging/MessageStore.h"
#include "client/store/ConfigStore.h"
#include "client/tools/MessagesDlg.h"

namespace {

// The balloon's text field holds 256 bytes with its terminator.
constexpr size_t kBalloonTextBytes = 255;
constexpr UINT kMessageBalloonTimeoutMs = 10000;

}  // namespace

// The provider's messages reach this window from the receiver thread through the message client;
// they are stored, and popped up when the subscriber wants that, here on the window's own thread.
void CMainDlg::OnMessagesArrived() {
  const std::vector<ProviderMessage> messages = m_messageClient->TakeMessages();
  if (messages.empty()) return;
  for (const ProviderMessage& message : messages) {
    if (m_messages != nullptr) m_messages->Append(message);
  }
  if (m_openMessages != nullptr) m_openMessages->Reload();
  // Of several that came at once the balloon shows the last: each would replace the one before.
  if (m_config.GetMsgPop()) ShowMessageBalloon(messages.back());
}

void CMainDlg::ShowMessageBalloon(const ProviderMessage& message) {
  m_tray.ShowBalloon(message.title.c_str(), CutText(message.content, kBalloonTextBytes).c_str(),
                     kMessageBalloonTimeoutMs);
  m_balloonMessage = true;
  m_balloonLink = message.url;
}

void CMainDlg::ForgetMessageBalloon() {
  m_balloonMessage = false;
  m_balloonLink.clear();
}

void CMainDlg::OnBalloonClicked() {
  // A balloon of the connection says nothing more when clicked.
  if (!m_balloonMessage) return;
  const std::string link = m_balloonLink;
  ForgetMessageBalloon();
  if (!OpenMessageLink(m_hwnd, link)) OpenMessages();
}

void CMainDlg::OpenMessages() {
  if (m_messages == nullptr) return;
  // One message window at a time: a second command brings the open one forward.
  if (m_openMessages != nullptr) {
    SetForegroundWindow(m_openMessages->Handle());
    return;
  }
  CMessagesDlg dialog(*m_messages);
  m_openMessages = &dialog;
  dialog.DoModal(m_hwnd);
  m_openMessages = nullptr;
}

// A connect command's dial that no access concentrator answered: the network diagnosis may tell the
// subscriber why. One question at a time, however many dials fail meanwhile.
void CMainDlg::OnOfferDiagnosis(unsigned long code) {
  if (m_offeringDiagnosis) return;
  m_offeringDiagnosis = true;
  char text[256];
  snprintf(text, sizeof(text), "连接失败：网络线路没有应答（错误 %lu）。\r\n是否现在进行宽带故障检测？",
           code);
  const int answer = MessageBoxA(m_hwnd, text, app::kNotice, MB_YESNO | MB_ICONQUESTION);
  m_offeringDiagnosis = false;
  if (answer == IDYES) OpenDiagnosis();
}
