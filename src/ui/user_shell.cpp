#include "ui/user_shell.h"

#include <windows.h>
#include <exdisp.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include "common/handles.h"

namespace ui {

namespace {

// COM joined apartment-threaded on this thread while it lives. A thread already in the
// multithreaded apartment stays there (calls to another process work from it too) and is not
// left at the end.
class ComApartment {
 public:
  ComApartment() : joined_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
  ~ComApartment() {
    if (SUCCEEDED(joined_)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  // True when COM can be used on this thread.
  bool Usable() const { return SUCCEEDED(joined_) || joined_ == RPC_E_CHANGED_MODE; }

 private:
  HRESULT joined_;
};

// Asks from for its interface To; an empty owner when it has none.
template <typename To, typename From>
common::UniqueCom<To> Query(From* from) {
  common::UniqueCom<To> to;
  if (FAILED(from->QueryInterface(__uuidof(To), reinterpret_cast<void**>(to.put())))) to.reset();
  return to;
}

// The application object of the desktop's view; empty when some step does not answer. desktop
// receives the desktop's window.
common::UniqueCom<IShellDispatch2> DesktopDispatch(HWND& desktop) {
  common::UniqueCom<IShellWindows> windows;
  if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, __uuidof(IShellWindows),
                              reinterpret_cast<void**>(windows.put()))))
    return {};
  VARIANT anywhere;
  VariantInit(&anywhere);
  LONG window = 0;
  common::UniqueCom<IDispatch> found;
  // S_FALSE: there is no desktop window.
  if (windows.get()->FindWindowSW(&anywhere, &anywhere, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, found.put()) != S_OK ||
      !found)
    return {};
  desktop = reinterpret_cast<HWND>(static_cast<LONG_PTR>(window));

  const auto provider = Query<IServiceProvider>(found.get());
  if (!provider) return {};
  common::UniqueCom<IShellBrowser> browser;
  if (FAILED(provider.get()->QueryService(SID_STopLevelBrowser, __uuidof(IShellBrowser),
                                          reinterpret_cast<void**>(browser.put()))) ||
      !browser)
    return {};
  common::UniqueCom<IShellView> view;
  if (FAILED(browser.get()->QueryActiveShellView(view.put())) || !view) return {};
  common::UniqueCom<IDispatch> background;
  if (FAILED(view.get()->GetItemObject(SVGIO_BACKGROUND, __uuidof(IDispatch),
                                       reinterpret_cast<void**>(background.put()))) ||
      !background)
    return {};
  const auto folderView = Query<IShellFolderViewDual>(background.get());
  if (!folderView) return {};
  common::UniqueCom<IDispatch> application;
  if (FAILED(folderView.get()->get_Application(application.put())) || !application) return {};
  return Query<IShellDispatch2>(application.get());
}

}  // namespace

common::Seam<bool(const std::wstring&)> UserShellSeam(&OpenInDesktopShell);

bool OpenInDesktopShell(const std::wstring& address) {
  const ComApartment apartment;
  if (!apartment.Usable()) return false;
  HWND desktop = nullptr;
  const auto shell = DesktopDispatch(desktop);
  if (!shell) return false;

  const common::UniqueBstr file(SysAllocString(address.c_str()));
  if (!file) return false;
  // The program the shell starts may come to the front, though this process is in front.
  DWORD explorer = 0;
  if (GetWindowThreadProcessId(desktop, &explorer)) AllowSetForegroundWindow(explorer);
  VARIANT none, show;
  VariantInit(&none);
  VariantInit(&show);
  show.vt = VT_I4;
  show.lVal = SW_SHOWNORMAL;
  // S_FALSE: the shell found nothing that opens the address.
  return shell.get()->ShellExecute(file.get(), none, none, none, show) == S_OK;
}

std::wstring AddressNotOpened(const std::wstring& address, bool copied) {
  return L"「" + address + L"」を開けませんでした。" +
         (copied ? L"アドレスをクリップボードにコピーしましたので、ブラウザーに貼り付けて開いて下さい。"
                 : L"ブラウザーでこのアドレスを開いて下さい。");
}

}  // namespace ui
