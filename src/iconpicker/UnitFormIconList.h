#pragma once
// The icon picker: a modal window listing every icon of an executable, library or icon file,
// from which the user chooses one. It writes nothing anywhere; the caller reads the result.

#include <windows.h>

#include <string>

#include "common/handles.h"
#include "ui/file_dialog.h"
#include "ui/form.h"

class TFormIconList : public ui::Form {
 public:
  // Layout rows that are not bound to an action (bound rows use the action's command id).
  enum ControlId : int {
    IDC_LABEL_FILENAME = 100,
    IDC_EDIT_FILENAME,
    IDC_SPEEDBUTTON1,
    IDC_LISTVIEW_ICON,
    IDC_BITBTN3,
    IDC_BTN_OK = IDOK,
    IDC_BITBTN2 = IDCANCEL,
    IDC_STATUSBAR = 110,
  };
  // The browse command of the picker.
  static constexpr int IDM_BROWSE = 1101;

  // Builds the (hidden) window owned by owner, centred over it; empty field, empty list.
  explicit TFormIconList(HWND owner, int dpi = ui::SystemDpi());

  // Shows path in the file-location field, lists the icons of that file and selects item
  // index when 0 <= index < number of items (without scrolling to it); nothing otherwise.
  void SetIconFile(const std::wstring& path, int index);
  // The text of the file-location field.
  std::wstring GetIconFile() const;
  // The position of the selected item; -1 when nothing is selected.
  int GetIconIndex() const;

  // Browse: a file chosen in OpenDialogIcon is shown and listed, with nothing selected.
  void ActionIconSelectExecute();
  // OK: warns "アイコンを選択してください。" and stays open without a selection; else closes
  // with mrOk.
  void BtnOkClick();
  // Help: the help file at help context 4.
  void BitBtn3Click();

  ui::Control EditFileName;
  HWND ListViewIcon() const { return Item(IDC_LISTVIEW_ICON); }
  // The 32 x 32 images of the listed icons (scaled with the DPI), owned by the picker.
  HIMAGELIST ImageListIcon() const { return FImageListIcon.get(); }
  ui::FileDialog OpenDialogIcon;

 protected:
  void OnCommand(int id) override;

 private:
  // Rebuilds the list from the icons of path under the busy cursor (common::IconFile); an empty
  // list when path names no existing file or one that is not on a local drive (never opened).
  void LoadIcons(const std::wstring& path);

  common::UniqueHImageList FImageListIcon;
};
