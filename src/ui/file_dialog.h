#pragma once
// The platform's open and save dialogs, each remembering the file it returned last.
// Tests answer them through FileDialogSeam.

#include <windows.h>

#include <optional>
#include <string>

#include "common/seam.h"

namespace ui {

// What a dialog is opened with. Filter entries are "description|pattern" pairs joined by "|".
struct FileDialogRequest {
  HWND owner = nullptr;
  bool save = false;
  std::wstring filter;
  std::wstring defaultExt;  // without its "."
  std::wstring fileName;    // suggested at opening
  std::wstring initialDir;  // the folder it opens in when fileName names none; empty: the platform's choice
  DWORD flags = 0;          // OFN_* options; OFN_NOCHANGEDIR keeps the current directory in both kinds
};

// Runs GetOpenFileNameW or GetSaveFileNameW; the chosen path, or nothing when cancelled.
std::optional<std::wstring> RunRealFileDialog(const FileDialogRequest& request);

// The dialog actually run; a test replaces it to answer dialogs.
extern common::Seam<std::optional<std::wstring>(const FileDialogRequest&)> FileDialogSeam;

class FileDialog {
 public:
  enum class Kind { Open, Save };
  FileDialog(Kind kind, std::wstring filter, std::wstring defaultExt, DWORD flags)
      : kind_(kind), filter_(std::move(filter)), defaultExt_(std::move(defaultExt)), flags_(flags) {}

  // Shows the dialog owned by owner; on OK stores the chosen path in FileName and answers
  // true; on cancel changes nothing and answers false.
  bool Execute(HWND owner);

  // The last chosen path (suggested at the next opening); empty at first.
  std::wstring FileName;
  // The folder the dialog opens in while FileName names none; empty: the platform's choice.
  std::wstring InitialDir;

  const std::wstring& Filter() const { return filter_; }
  const std::wstring& DefaultExt() const { return defaultExt_; }
  DWORD Flags() const { return flags_; }

 private:
  Kind kind_;
  std::wstring filter_;
  std::wstring defaultExt_;
  DWORD flags_;
};

}  // namespace ui
