#include "ui/file_dialog.h"

#include <commdlg.h>

#include <vector>

namespace ui {

common::Seam<std::optional<std::wstring>(const FileDialogRequest&)> FileDialogSeam(&RunRealFileDialog);

std::optional<std::wstring> RunRealFileDialog(const FileDialogRequest& request) {
  // The platform wants the filter as NUL-separated pairs ending in two NULs.
  std::wstring filter = request.filter;
  for (auto& c : filter)
    if (c == L'|') c = L'\0';
  filter.append(2, L'\0');

  std::vector<wchar_t> file(32768, L'\0');
  request.fileName.copy(file.data(), std::min(request.fileName.size(), file.size() - 1));

  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = request.owner;
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrDefExt = request.defaultExt.empty() ? nullptr : request.defaultExt.c_str();
  ofn.lpstrInitialDir = request.initialDir.empty() ? nullptr : request.initialDir.c_str();
  ofn.Flags = request.flags | OFN_EXPLORER;
  // Windows ignores OFN_NOCHANGEDIR in the open dialog, so the directory is put back here.
  std::vector<wchar_t> directory(GetCurrentDirectoryW(0, nullptr) + 1, L'\0');
  GetCurrentDirectoryW(static_cast<DWORD>(directory.size()), directory.data());
  BOOL ok = request.save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
  if (request.flags & OFN_NOCHANGEDIR) SetCurrentDirectoryW(directory.data());
  if (!ok) return std::nullopt;
  return std::wstring(file.data());
}

bool FileDialog::Execute(HWND owner) {
  auto chosen =
      FileDialogSeam(FileDialogRequest{owner, kind_ == Kind::Save, filter_, defaultExt_, FileName, InitialDir, flags_});
  if (!chosen) return false;
  FileName = *chosen;
  return true;
}

}  // namespace ui
