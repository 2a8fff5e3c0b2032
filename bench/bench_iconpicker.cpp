// The icon picker's load against the bare platform loop (ExtractIconW, ImageList_ReplaceIcon,
// DestroyIcon) on the same files, measured in one run. Prints figures; passes or fails nothing.
//
// Usage: bench_iconpicker [file ...]   (default: shell32.dll and the generated test libraries)
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_clock.h"
#include "common/handles.h"
#include "common/text.h"
#include "iconpicker/UnitFormIconList.h"

namespace {

// The platform alone: every icon extracted, copied into a 32 x 32 list and released.
double BareLoop(const std::wstring& file, UINT& count) {
  const double start = Now();
  common::UniqueHImageList list(ImageList_Create(32, 32, ILC_COLOR32 | ILC_MASK, 0, 16));
  HINSTANCE self = GetModuleHandleW(nullptr);
  count = static_cast<UINT>(reinterpret_cast<UINT_PTR>(ExtractIconW(self, file.c_str(), UINT_MAX)));
  for (UINT i = 0; i < count; ++i) {
    HICON icon = ExtractIconW(self, file.c_str(), i);
    ImageList_ReplaceIcon(list.get(), -1, icon);
    DestroyIcon(icon);
  }
  return Now() - start;
}

double PickerLoad(TFormIconList& picker, const std::wstring& file) {
  const double start = Now();
  picker.SetIconFile(file, -1);
  return Now() - start;
}

std::wstring Beside(const std::wstring& name) {
  std::wstring exe = common::ModuleFileName();
  std::wstring dir = exe.substr(0, exe.find_last_of(L'\\'));  // build\bench
  return dir.substr(0, dir.find_last_of(L'\\')) + L"\\testdata\\" + name;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  std::vector<std::wstring> files;
  for (int i = 1; i < argc; ++i) files.push_back(argv[i]);
  if (files.empty()) {
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    files = {std::wstring(system) + L"\\shell32.dll", Beside(L"icons500.dll"), Beside(L"icons2000.dll")};
  }

  TFormIconList picker(nullptr, 96);
  std::wprintf(L"%-40ls %6ls %12ls %12ls %10ls %10ls %7ls\n", L"file", L"icons", L"bare ms", L"picker ms",
               L"bare/icon", L"pick/icon", L"ratio");
  std::vector<double> perIcon;
  for (const auto& file : files) {
    // Best of three of each, alternating, so both see the same cache state.
    double bare = 1e9, pick = 1e9;
    UINT count = 0;
    for (int round = 0; round < 3; ++round) {
      bare = std::min(bare, BareLoop(file, count));
      pick = std::min(pick, PickerLoad(picker, file));
    }
    if (count == 0) {
      std::wprintf(L"%ls: no icons\n", file.c_str());
      continue;
    }
    const std::wstring name = file.substr(file.find_last_of(L'\\') + 1);
    std::wprintf(L"%-40ls %6u %12.1f %12.1f %10.3f %10.3f %7.2f\n", name.c_str(), count, bare * 1000, pick * 1000,
                 bare * 1000 / count, pick * 1000 / count, pick / bare);
    perIcon.push_back(pick / count);
  }
  if (perIcon.size() >= 3)
    std::wprintf(L"picker per-icon cost, 2000 icons against 500: %.2f (goal <= 1.3); load against bare loop: goal <= 1.2\n",
                 perIcon[2] / perIcon[1]);
  return 0;
}
