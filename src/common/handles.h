#pragma once
// Owners for Win32 handles: one template, one type per handle kind. Copy is deleted,
// move is allowed, and the handle is released on every way out of the owner's scope.

#include <windows.h>
#include <commctrl.h>
#include <oleauto.h>

#include <initializer_list>
#include <utility>

namespace common {

template <typename Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() noexcept = default;
  // Takes ownership of h (which may be the invalid value).
  explicit UniqueHandle(Handle h) noexcept : handle_(h) {}
  ~UniqueHandle() { reset(); }

  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  // The held handle, still owned here.
  Handle get() const noexcept { return handle_; }
  // True when a valid handle is held.
  explicit operator bool() const noexcept { return handle_ != Traits::Invalid(); }
  // Gives up ownership and returns the handle.
  Handle release() noexcept { return std::exchange(handle_, Traits::Invalid()); }
  // Releases the held handle, then takes h.
  void reset(Handle h = Traits::Invalid()) noexcept {
    Handle old = std::exchange(handle_, h);
    if (old != Traits::Invalid()) Traits::Close(old);
  }
  // Releases the held handle and returns the slot for an API out-parameter.
  Handle* put() noexcept {
    reset();
    return &handle_;
  }

 private:
  Handle handle_ = Traits::Invalid();
};

template <typename H, auto CloseFn>
struct NullTraits {
  using Handle = H;
  static constexpr Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { CloseFn(h); }
};

// The predefined roots (HKEY_CLASSES_ROOT, ...) are never closed: closing one would drop
// the process's cached handle or an override of it.
struct HKeyTraits {
  using Handle = HKEY;
  static constexpr Handle Invalid() noexcept { return nullptr; }
  // True for HKEY_CLASSES_ROOT to HKEY_CURRENT_USER_LOCAL_SETTINGS, compared as the headers
  // define them: 64-bit Windows sign-extends their 32-bit values.
  static bool IsPredefined(HKEY h) noexcept {
    for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_PERFORMANCE_DATA,
                      HKEY_CURRENT_CONFIG, HKEY_DYN_DATA, HKEY_CURRENT_USER_LOCAL_SETTINGS})
      if (h == root) return true;
    return false;
  }
  static void Close(Handle h) noexcept {
    if (!IsPredefined(h)) RegCloseKey(h);
  }
};

struct FileHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) noexcept { CloseHandle(h); }
};

// Search handles of FindFirstFileW, whose invalid value is INVALID_HANDLE_VALUE too.
struct FindHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) noexcept { FindClose(h); }
};

inline void DeleteGdiObject(HGDIOBJ h) noexcept { DeleteObject(h); }
inline void FreeGlobal(HGLOBAL h) noexcept { GlobalFree(h); }
inline void FreeLocal(HLOCAL h) noexcept { LocalFree(h); }
inline void DestroyImageList(HIMAGELIST h) noexcept { ImageList_Destroy(h); }
inline void UnmapView(const void* view) noexcept { UnmapViewOfFile(view); }

using UniqueHKey = UniqueHandle<HKeyTraits>;
using UniqueHIcon = UniqueHandle<NullTraits<HICON, DestroyIcon>>;
using UniqueHImageList = UniqueHandle<NullTraits<HIMAGELIST, DestroyImageList>>;
using UniqueHFont = UniqueHandle<NullTraits<HFONT, DeleteGdiObject>>;
using UniqueHBitmap = UniqueHandle<NullTraits<HBITMAP, DeleteGdiObject>>;
using UniqueHBrush = UniqueHandle<NullTraits<HBRUSH, DeleteGdiObject>>;
using UniqueHMenu = UniqueHandle<NullTraits<HMENU, DestroyMenu>>;
using UniqueHdc = UniqueHandle<NullTraits<HDC, DeleteDC>>;
using UniqueHModule = UniqueHandle<NullTraits<HMODULE, FreeLibrary>>;
using UniqueHHook = UniqueHandle<NullTraits<HHOOK, UnhookWindowsHookEx>>;
using UniqueHwnd = UniqueHandle<NullTraits<HWND, DestroyWindow>>;
// Kernel objects whose invalid value is null (process, thread, event).
using UniqueKernelHandle = UniqueHandle<NullTraits<HANDLE, CloseHandle>>;
// File handles, and other kernel objects whose invalid value is INVALID_HANDLE_VALUE (tool help
// snapshots).
using UniqueFileHandle = UniqueHandle<FileHandleTraits>;
using UniqueFindHandle = UniqueHandle<FindHandleTraits>;
// Global memory, as the clipboard takes it (release() once the clipboard owns it).
using UniqueHGlobal = UniqueHandle<NullTraits<HGLOBAL, FreeGlobal>>;
// A view of a file mapping (MapViewOfFile).
using UniqueMappedView = UniqueHandle<NullTraits<const void*, UnmapView>>;
// Memory the system hands out with LocalAlloc (security descriptors, SID strings).
using UniqueHLocal = UniqueHandle<NullTraits<HLOCAL, FreeLocal>>;
// An interface pointer of COM, released once (put() is the slot for an out-parameter; cast it
// to void** where QueryInterface-style calls want one).
template <typename Interface>
inline void ReleaseInterface(Interface* p) noexcept {
  p->Release();
}
template <typename Interface>
using UniqueCom = UniqueHandle<NullTraits<Interface*, ReleaseInterface<Interface>>>;
// A string of COM's allocator (SysAllocString); the user links oleaut32.
inline void FreeBstr(BSTR s) noexcept { SysFreeString(s); }
using UniqueBstr = UniqueHandle<NullTraits<BSTR, FreeBstr>>;

// The device context of a window (null: the screen), given back to that window when it ends.
class WindowDc {
 public:
  explicit WindowDc(HWND window) noexcept : window_(window), dc_(GetDC(window)) {}
  ~WindowDc() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const noexcept { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

}  // namespace common
