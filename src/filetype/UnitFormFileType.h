#pragma once
// The file type window 「ファイルタイプの詳細」: every verb of an extension's file type (or of a
// protocol), its description, icon, perceived and content type and display of the extension,
// and the Open with entries with the program each starts. Modeless and resizable. Edits stay in
// the window until 適用, which makes them one change of the engine: previewed, backed up, one
// undo step.

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "assoc/file_type.h"
#include "ui/modeless_form.h"

class TFormFileType : public ui::ModelessForm {
 public:
  enum ControlId : int {
    IDC_LABEL_TARGET = 100,
    IDC_LABEL_VERBS,
    IDC_LISTVIEW_VERBS,
    IDC_BTN_ADD_VERB,
    IDC_BTN_EDIT_VERB,
    IDC_BTN_DELETE_VERB,
    IDC_BTN_DEFAULT_VERB,
    IDC_LABEL_DESCRIPTION,
    IDC_EDIT_DESCRIPTION,
    IDC_LABEL_ICON,
    IDC_EDIT_ICON,
    IDC_BTN_ICON,
    IDC_LABEL_PERCEIVED,
    IDC_COMBO_PERCEIVED,
    IDC_LABEL_CONTENT,
    IDC_EDIT_CONTENT,
    IDC_LABEL_DISPLAY,
    IDC_COMBO_DISPLAY,
    IDC_LABEL_FLAGS,
    IDC_EDIT_FLAGS,
    IDC_LABEL_OPENWITH,
    IDC_LISTVIEW_OPENWITH,
    IDC_BTN_DELETE_OPENWITH,
    IDC_BTN_HELP,
    IDC_BTN_APPLY,
    IDC_BTN_CLOSE = IDCANCEL,
  };
  // The help topic of the window.
  static constexpr int kHelpContext = 6;

  // Builds the (hidden) window owned by owner showing target as the registry holds it now; made
  // as ui::Modeless<TFormFileType>. Raises Exception for a target that is no extension or scheme.
  TFormFileType(HWND owner, const assoc::TTypeTarget& target, int dpi = ui::SystemDpi());

  // Called once a change was applied, so that other windows read the registry again.
  std::function<void()> OnApplied;

  const assoc::TTypeTarget& Target() const { return before_.Target; }
  // The type as the window holds it now, its fields included.
  assoc::TFileType Edited();
  // True when the window holds changes not applied.
  bool Modified();
  // Reads the registry again unless the window holds changes not applied (after a change made
  // elsewhere: an undo, a redo, another window).
  void Reload();

  // The verb commands, on the selected verb: 追加 asks for a new verb, 編集 changes it, 削除
  // removes it and 既定にする makes it the default. A verb Windows adds, or one without a command,
  // is explained in a box instead.
  void AddVerb();
  void EditVerb();
  void DeleteVerb();
  void MakeDefaultVerb();
  // Removes the selected Open with entry.
  void DeleteOpenWith();
  // The icon picker for the icon field.
  void BrowseIcon();
  // Plans the changes, previews them and applies them through the change engine, then reads the
  // type again; a refusal or failure is shown in a box. Answers whether nothing is left to apply.
  bool Apply();
  // Selects the verb at position (the order shown), or the Open with entry.
  void SelectVerb(int position);
  void SelectOpenWith(int position);

  HWND VerbList() const { return Item(IDC_LISTVIEW_VERBS); }
  HWND OpenWithList() const { return Item(IDC_LISTVIEW_OPENWITH); }
  ui::Control EditDescription, EditIcon, EditContent, EditFlags, ComboPerceived, ComboDisplay;

  bool PreTranslateMessage(MSG& msg) override;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void OnCommand(int id) override;
  LRESULT OnNotify(NMHDR* header) override;

 private:
  // Shows before_ anew in every control; edits start from it.
  void Load();
  // Shows the lists of edited_.
  void ShowLists();
  // Takes the property fields into edited_.
  void TakeFields();
  // The selected verb's place in edited_.Verbs, or -1.
  int SelectedVerb() const;
  // The selected verb's place when a command may change it; else says why in a box (none is
  // selected, Windows adds it, or for editing it has no command or is too long to edit) and
  // answers -1.
  int VerbToChange(bool editing);
  int SelectedOpenWith() const;
  // The names of the type's own verbs other than the one at except.
  std::vector<std::wstring> OtherVerbNames(int except) const;

  assoc::TFileType before_;
  assoc::TFileType edited_;
  // EffectiveDefaultVerb of edited_ as the verb list shows it, taken with the list's count.
  std::wstring shownDefault_;
};
