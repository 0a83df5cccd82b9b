#include "common/ui/WebBrowserHost.h"

#include <exdisp.h>
#include <ole2.h>

#include <string>

namespace ui {

// The client site, in-place site and frame that the browser talks to. One object answers for
// all three; it lives as long as its CWebBrowserHost, and the browser's references only keep a
// count, so a browser that holds on to it a little longer finds it still there.
class CWebBrowserHost::CSite : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
 public:
  explicit CSite(HWND host) : m_host(host) {}
  virtual ~CSite() {}

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite)) {
      *out = static_cast<IOleClientSite*>(this);
    } else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceSite)) {
      *out = static_cast<IOleInPlaceSite*>(this);
    } else if (IsEqualIID(iid, IID_IOleInPlaceUIWindow) || IsEqualIID(iid, IID_IOleInPlaceFrame)) {
      *out = static_cast<IOleInPlaceFrame*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_references)); }
  STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(InterlockedDecrement(&m_references)); }

  // IOleClientSite
  STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetContainer(IOleContainer** out) override {
    if (out) *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow
  STDMETHODIMP GetWindow(HWND* out) override {
    if (out == nullptr) return E_POINTER;
    *out = m_host;
    return S_OK;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnUIActivate() override { return S_OK; }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
    if (frame) {
      *frame = static_cast<IOleInPlaceFrame*>(this);
      AddRef();
    }
    if (document) *document = nullptr;
    if (position) GetClientRect(m_host, position);
    if (clip) GetClientRect(m_host, clip);
    if (info) {
      info->fMDIApp = FALSE;
      info->hwndFrame = GetAncestor(m_host, GA_ROOT);
      info->haccel = nullptr;
      info->cAccelEntries = 0;
    }
    return S_OK;
  }
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
  STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
  STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
  STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

  // IOleInPlaceUIWindow
  STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return OLE_E_INVALIDRECT; }
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }

  // IOleInPlaceFrame
  STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
  STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
  STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

 private:
  HWND m_host;
  LONG m_references = 1;
};

CWebBrowserHost::CWebBrowserHost() {}

CWebBrowserHost::~CWebBrowserHost() {
  Destroy();
  delete m_site;
}

bool CWebBrowserHost::Create(HWND host) {
  Destroy();
  if (host == nullptr) return false;
  m_host = host;
  if (m_site == nullptr) m_site = new CSite(host);

  IOleObject* object = nullptr;
  if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                              reinterpret_cast<void**>(&object))) ||
      object == nullptr) {
    return false;
  }
  if (FAILED(object->SetClientSite(static_cast<IOleClientSite*>(m_site)))) {
    object->Release();
    return false;
  }
  RECT area;
  GetClientRect(host, &area);
  if (FAILED(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(m_site), 0, host,
                            &area))) {
    object->SetClientSite(nullptr);
    object->Release();
    return false;
  }
  IWebBrowser2* browser = nullptr;
  if (FAILED(object->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser))) ||
      browser == nullptr) {
    object->Close(OLECLOSE_NOSAVE);
    object->SetClientSite(nullptr);
    object->Release();
    return false;
  }
  // An advertisement must never stop the user with a script error box.
  browser->put_Silent(VARIANT_TRUE);
  m_object = object;
  m_browser = browser;
  Resize();
  return true;
}

bool CWebBrowserHost::Navigate(const char* address) {
  if (m_browser == nullptr || address == nullptr) return false;
  int length = MultiByteToWideChar(CP_ACP, 0, address, -1, nullptr, 0);
  if (length <= 0) return false;
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, address, -1, &wide[0], length);
  BSTR url = SysAllocString(wide.c_str());
  if (url == nullptr) return false;
  VARIANT empty;
  VariantInit(&empty);
  HRESULT result = m_browser->Navigate(url, &empty, &empty, &empty, &empty);
  SysFreeString(url);
  return SUCCEEDED(result);
}

void CWebBrowserHost::Resize() {
  if (m_object == nullptr) return;
  IOleInPlaceObject* inPlace = nullptr;
  if (SUCCEEDED(m_object->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace))) &&
      inPlace != nullptr) {
    RECT area;
    GetClientRect(m_host, &area);
    inPlace->SetObjectRects(&area, &area);
    inPlace->Release();
  }
}

void CWebBrowserHost::Destroy() {
  if (m_browser != nullptr) {
    m_browser->Stop();
    m_browser->Release();
    m_browser = nullptr;
  }
  if (m_object != nullptr) {
    m_object->Close(OLECLOSE_NOSAVE);
    m_object->SetClientSite(nullptr);
    m_object->Release();
    m_object = nullptr;
  }
}

}  // namespace ui
