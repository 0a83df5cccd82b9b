// Owners that close Windows handles when they go out of scope.
#pragma once

#include <windows.h>

#include <commctrl.h>

namespace ui {

// Owns one handle of type T and frees it with Traits::Free; move-only. Get() returns the handle
// (Traits::Invalid() when empty), Release() gives it up without freeing, Reset() frees and takes a
// new one.
template <typename T, typename Traits>
class CUnique {
 public:
  CUnique() : m_handle(Traits::Invalid()) {}
  explicit CUnique(T handle) : m_handle(handle) {}
  ~CUnique() { Reset(); }
  CUnique(const CUnique&) = delete;
  CUnique& operator=(const CUnique&) = delete;
  CUnique(CUnique&& other) : m_handle(other.Release()) {}
  CUnique& operator=(CUnique&& other) {
    if (this != &other) Reset(other.Release());
    return *this;
  }

  T Get() const { return m_handle; }
  bool Valid() const { return m_handle != Traits::Invalid(); }
  T Release() {
    T handle = m_handle;
    m_handle = Traits::Invalid();
    return handle;
  }
  void Reset(T handle = Traits::Invalid()) {
    if (m_handle != Traits::Invalid() && m_handle != handle) Traits::Free(m_handle);
    m_handle = handle;
  }

 private:
  T m_handle;
};

struct KernelTraits {
  static HANDLE Invalid() { return nullptr; }
  static void Free(HANDLE h) { CloseHandle(h); }
};
struct GdiTraits {
  static HGDIOBJ Invalid() { return nullptr; }
  static void Free(HGDIOBJ h) { DeleteObject(h); }
};
struct IconTraits {
  static HICON Invalid() { return nullptr; }
  static void Free(HICON h) { DestroyIcon(h); }
};
struct MenuTraits {
  static HMENU Invalid() { return nullptr; }
  static void Free(HMENU h) { DestroyMenu(h); }
};
struct ModuleTraits {
  static HMODULE Invalid() { return nullptr; }
  static void Free(HMODULE h) { FreeLibrary(h); }
};
struct ImageListTraits {
  static HIMAGELIST Invalid() { return nullptr; }
  static void Free(HIMAGELIST h) { ImageList_Destroy(h); }
};

// A kernel object: events, mutexes, threads, tokens.
using CHandle = CUnique<HANDLE, KernelTraits>;
// A pen, brush, bitmap or font.
using CGdiObject = CUnique<HGDIOBJ, GdiTraits>;
// An icon loaded without LR_SHARED.
using CIcon = CUnique<HICON, IconTraits>;
// A menu that no window owns.
using CMenu = CUnique<HMENU, MenuTraits>;
using CModule = CUnique<HMODULE, ModuleTraits>;
using CImageList = CUnique<HIMAGELIST, ImageListTraits>;

}  // namespace ui
