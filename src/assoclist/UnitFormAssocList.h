#pragma once
// The list of associations: a modeless window listing every extension key of
// HKEY_CLASSES_ROOT with its file type, description, program, icon and what Explorer really
// uses, with a filter, sorting by any column, copying and saving as CSV. It only reads the
// registry; opening an extension is handed to the window that owns it.

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "assoclist/assoc_table.h"
#include "ui/file_dialog.h"
#include "ui/form.h"

namespace assoclist {
class IconCache;
}

class TFormAssocList : public ui::Form {
 public:
  // Layout rows that are not bound to an action (bound rows use the action's command id).
  enum ControlId : int {
    IDC_LABEL_FILTER = 100,
    IDC_EDIT_FILTER,
    IDC_LISTVIEW_ASSOC,
    IDC_BTN_HELP,
    IDC_BTN_REFRESH,
    IDC_BTN_SAVE,
    IDC_BTN_CLOSE = IDCANCEL,
    IDC_STATUSBAR = 110,
  };
  // The commands of the window.
  static constexpr int IDM_LIST_REFRESH = 1201;   // F5
  static constexpr int IDM_LIST_SAVE_CSV = 1202;
  static constexpr int IDM_LIST_COPY = 1203;      // Ctrl+C in the list
  static constexpr int IDM_LIST_OPEN = 1204;      // Enter in the list
  static constexpr int IDM_LIST_SELECT_ALL = 1205;  // Ctrl+A in the list
  static constexpr int IDM_LIST_FOCUS = 1206;     // Down in the filter
  // The help topic of the window.
  static constexpr int kHelpContext = 5;

  // Builds the (hidden) window owned by owner and reads the registry into it: every row shown,
  // sorted by 拡張子, nothing selected, the filter focused once shown.
  explicit TFormAssocList(HWND owner, int dpi = ui::SystemDpi());
  // Stops the icon worker and destroys the window.
  ~TFormAssocList() override;

  // Called with the extension key's name (as stored) of a row that the user opens with Enter
  // or a double click; the list stays as it is.
  std::function<void(const std::wstring& extension)> OnOpenExtension;

  // Shows the window (restored when minimised) and makes it the active one, its focus kept.
  void Activate();
  // Reads the registry again; the filter, the sort order and the selected extensions stay.
  void Refresh();
  // Sorts by a column as a click on its heading does (again: reversed), with the heading's arrow.
  void SortByColumn(int column);
  // Opens the focused row, or else the first selected one; nothing when none is selected.
  void OpenSelected();
  // Puts the selected rows on the clipboard as tab-separated text with a heading line;
  // nothing when none is selected. Warns when the clipboard cannot be had.
  void CopySelected();
  // Selects every row shown.
  void SelectAll();
  // Saves the rows shown, in their order, as a CSV file chosen in SaveDialogCsv; reports the
  // outcome in a box.
  void SaveCsv();
  // The help file at kHelpContext.
  void ShowHelp();

  // The filter field; typing in it narrows the rows at once.
  ui::Control EditFilter;
  HWND ListViewAssoc() const { return Item(IDC_LISTVIEW_ASSOC); }
  const assoclist::AssocTable& Table() const { return table_; }
  // The extension keys of the selected rows, in the order shown.
  std::vector<std::wstring> SelectedExtensions() const;
  // Selects the shown rows of the given extension keys (letter case aside) and no others; the
  // first becomes the focused row and is scrolled into view.
  void SelectExtensions(const std::vector<std::wstring>& extensions);
  // The icon cache of the list (its images, and whether the worker is idle).
  assoclist::IconCache& Icons() const { return *icons_; }
  ui::FileDialog SaveDialogCsv;

  bool PreTranslateMessage(MSG& msg) override;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void OnCommand(int id) override;
  LRESULT OnNotify(NMHDR* header) override;

 private:
  // Runs change, then shows the table anew with the same extensions selected and focused.
  template <typename Change>
  void KeepingSelection(Change change);
  // Gives the list the table's row count and redraws it; the status bar and the headings'
  // arrows follow.
  void ShowTable();
  void FilterChanged();
  // Draws again the icons of the rows in view.
  void RedrawIcons();
  // Opens the shown row at position.
  void OpenRow(int position);
  // The image the list shows for the shown row at position (see assoclist::IconCache::ImageOf).
  int ImageOfRow(size_t position);
  // The rows at the selected positions, in the order shown.
  std::vector<const assoclist::AssocRow*> SelectedRows() const;

  assoclist::AssocTable table_;
  std::unique_ptr<assoclist::IconCache> icons_;
};
