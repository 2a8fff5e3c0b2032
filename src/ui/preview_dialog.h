#pragma once
// The question before a change the user did not type (a restore, an undo, a redo, an import, an
// edit of a file type): what it is, what it is about and what needs attention, then every key and
// value it adds, changes and removes, in a standard dialog box whose buttons are はい(&Y) and
// いいえ(&N), so that screen readers and UI automation treat it like the other questions. The
// list holds every step, however many (it asks for each line as it shows it); the selected line
// is shown whole below it. Tests answer it through PreviewSeam.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "common/seam.h"

namespace ui {

// Everything the dialog shows. step and detail are asked while the dialog is up only.
struct PreviewRequest {
  HWND owner = nullptr;
  std::wstring title;
  std::wstring question;            // above the list
  std::wstring summary;             // the counts
  std::vector<std::wstring> about;  // the list's first lines: what needs attention, what it is about
  size_t steps = 0;                 // the lines after them, one per step
  std::function<std::wstring(size_t)> step;    // step i as its line shows it
  std::function<std::wstring(size_t)> detail;  // step i whole
};

// Shows the real dialog, modal to owner, and answers IDYES or IDNO (closing it answers IDNO).
int ShowRealPreview(const PreviewRequest& request);

// The dialog actually shown; a test replaces it to read and answer it.
extern common::Seam<int(const PreviewRequest&)> PreviewSeam;

// The lines of the dialog's list: what it is about, the summary, then each step; and the text the
// list's line number shows whole below it.
size_t PreviewLineCount(const PreviewRequest& request);
std::wstring PreviewLine(const PreviewRequest& request, size_t line);
std::wstring PreviewLineDetail(const PreviewRequest& request, size_t line);

}  // namespace ui
