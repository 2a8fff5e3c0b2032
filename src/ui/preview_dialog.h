#pragma once
// The question before a change the user did not type (a restore, an undo, a redo, an import):
// what it is, and the keys and values it adds, changes and removes, in a standard dialog box
// whose buttons are はい(&Y) and いいえ(&N), so that screen readers and UI automation treat it
// like the other questions. Tests answer it through PreviewSeam.

#include <windows.h>

#include <string>
#include <vector>

#include "common/seam.h"

namespace ui {

// Everything the dialog shows.
struct PreviewRequest {
  HWND owner = nullptr;
  std::wstring title;
  std::wstring question;            // above the list
  std::wstring summary;             // the counts, first line of the list
  std::vector<std::wstring> lines;  // one line each
};

// Shows the real dialog, modal to owner, and answers IDYES or IDNO (closing it answers IDNO).
int ShowRealPreview(const PreviewRequest& request);

// The dialog actually shown; a test replaces it to read and answer it.
extern common::Seam<int(const PreviewRequest&)> PreviewSeam;

// The text of the dialog's list: the summary, a blank line, then the lines, CR LF between them.
std::wstring PreviewListText(const PreviewRequest& request);

}  // namespace ui
