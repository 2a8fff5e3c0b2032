#pragma once
// The editor of one verb: its name, caption, command (with 参照 for the program) and whether it
// shows only with Shift. A modal window; tests answer it through VerbDialogSeam.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "common/seam.h"
#include "assoc/file_type.h"
#include "ui/file_dialog.h"
#include "ui/form.h"

namespace filetype {

// What the editor starts with.
struct TVerbRequest {
  HWND owner = nullptr;
  bool adding = false;  // 動作の追加, else 動作の編集
  assoc::TVerb verb;
  std::vector<std::wstring> otherNames;  // the type's other verbs, which the name must not repeat
};

// Why verb cannot be taken as it stands (a new name assoc::VerbNameProblem refuses, a missing or too
// long command, a too long caption); empty when it can. A verb that keeps the name it was read
// with keeps it, whatever its letters.
std::wstring VerbProblem(const assoc::TVerb& verb, const std::vector<std::wstring>& otherNames);

// The editor window.
class TFormVerb : public ui::Form {
 public:
  enum ControlId : int {
    IDC_LABEL_NAME = 100,
    IDC_EDIT_NAME,
    IDC_LABEL_CAPTION,
    IDC_EDIT_CAPTION,
    IDC_LABEL_COMMAND,
    IDC_EDIT_COMMAND,
    IDC_BTN_BROWSE,
    IDC_CHECK_EXTENDED,
    IDC_BTN_OK = IDOK,
    IDC_BTN_CANCEL = IDCANCEL,
  };

  // Builds the (hidden) editor owned by request.owner, its fields holding request.verb.
  explicit TFormVerb(const TVerbRequest& request, int dpi = ui::SystemDpi());
  // The verb as the fields give it (its Original and Source kept).
  assoc::TVerb Verb() const;
  // OK: warns of VerbProblem and stays open; else closes with mrOk.
  void Accept();
  // 参照: a program chosen in OpenDialogApp becomes the command ("path" "%1").
  void Browse();

  ui::Control EditName, EditCaption, EditCommand;
  ui::FileDialog OpenDialogApp;

 protected:
  void OnCommand(int id) override;

 private:
  TVerbRequest request_;
};

// Shows the editor modal to request.owner; the verb on OK, nothing on キャンセル.
std::optional<assoc::TVerb> ShowRealVerbDialog(const TVerbRequest& request);

// The editor actually shown; a test replaces it to answer it.
extern common::Seam<std::optional<assoc::TVerb>(const TVerbRequest&)> VerbDialogSeam;

}  // namespace filetype
