#pragma once
// The list of associations: a modeless window listing every extension key and protocol of
// HKEY_CLASSES_ROOT with its file type, description, program, icon, what Explorer really uses
// and what is broken, with filters, sorting by any column, copying, saving as CSV or as a
// registry file, and saving or checking the default associations file that Windows applies at
// sign-in. It shows the first page at once and reads the rest on a worker thread. It
// changes the registry only by reading in a registry file through the change engine; opening an
// extension is handed to the window that owns it.

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "assoclist/assoc_table.h"
#include "assoclist/list_saves.h"
#include "ui/file_dialog.h"
#include "ui/form.h"
#include "ui/modeless_form.h"

namespace assoclist {
class IconCache;
class RowLoader;
}

class TFormAssocList : public ui::ModelessForm {
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
    IDC_RADIO_EXTENSIONS,
    IDC_RADIO_PROTOCOLS,
    IDC_RADIO_ALL,
    IDC_CHECK_PROBLEMS,
    IDC_BTN_EXPORT,
    IDC_BTN_IMPORT,
    IDC_BTN_DETAILS,
  };
  // The commands of the window.
  static constexpr int IDM_LIST_REFRESH = 1201;   // F5
  static constexpr int IDM_LIST_SAVE_CSV = 1202;
  static constexpr int IDM_LIST_COPY = 1203;      // Ctrl+C in the list
  static constexpr int IDM_LIST_OPEN = 1204;      // Enter in the list
  static constexpr int IDM_LIST_SELECT_ALL = 1205;  // Ctrl+A in the list
  static constexpr int IDM_LIST_FOCUS = 1206;     // Down in the filter
  static constexpr int IDM_LIST_EXPORT_REG = 1207;
  static constexpr int IDM_LIST_IMPORT = 1208;
  static constexpr int IDM_LIST_DETAILS = 1209;
  static constexpr int IDM_LIST_SAVE_DEFAULTS = 1210;   // on the menu only
  static constexpr int IDM_LIST_CHECK_DEFAULTS = 1211;  // on the menu only
  // The help topic of the window.
  static constexpr int kHelpContext = 5;

  // The most rows read before the window shows them, and the most keys examined for them.
  static constexpr size_t kFirstPageRows = 64;
  static constexpr size_t kFirstPageKeys = 4096;

  // Builds the (hidden) window owned by owner and reads the first page of the registry into it
  // (Refresh): the extensions shown, sorted by 拡張子, nothing selected, the filter focused once
  // shown. Made as ui::Modeless<TFormAssocList>; the window's end stops the workers.
  explicit TFormAssocList(HWND owner, int dpi = ui::SystemDpi());
  // Out of line, where the workers' types are complete; the window is gone by then.
  ~TFormAssocList() override;

  // Called with the extension key's name (as stored) of an extension's row that the user opens
  // with Enter or a double click; the list stays as it is. Protocols' rows open nothing.
  std::function<void(const std::wstring& extension)> OnOpenExtension;
  // Called with the key's name of the row that the user asks the details of (詳細, on the
  // focused or else first selected row), and whether it is a protocol's.
  std::function<void(const std::wstring& key, bool protocol)> OnOpenDetails;
  // Called after the list changed the registry (読み込み), so that every window reads it again;
  // without it the list refreshes only itself.
  std::function<void()> OnChanged;

  // Reads the registry again: the first page at once, the rest on the worker, whose parts join
  // the table as they come; the filters, the sort order and the selected rows stay.
  void Refresh();
  // True while the worker reads.
  bool Loading() const { return loader_ != nullptr; }
  // Stops the worker at once; the rows read stay (Esc while reading, when no save waits). Saves
  // that waited for the reading are written with what was read, and say so.
  void StopLoading();
  // True while saves wait for the reading's end.
  bool SaveWaiting() const { return !saves_.Empty(); }
  // Drops the saves waiting for the reading's end, says so in a box and writes nothing; the
  // reading goes on (Esc while a save waits).
  void CancelSaves();
  // Sorts by a column as a click on its heading does (again: reversed), with the heading's arrow.
  void SortByColumn(int column);
  // Opens the focused row, or else the first selected one; nothing when none is selected.
  void OpenSelected();
  // Asks for the details of the focused row, or else of the first selected one; asks for a
  // selection when none.
  void DetailsOfSelected();
  // Puts the selected rows on the clipboard as tab-separated text with a heading line;
  // nothing when none is selected. Warns when the clipboard cannot be had.
  void CopySelected();
  // Selects every row shown.
  void SelectAll();
  // Saves the rows shown, in their order, as a CSV file chosen in SaveDialogCsv; reports the
  // outcome in a box, naming the count. While the list reads, the save waits for the reading's
  // end (the status line says so) and then writes every row shown.
  void SaveCsv();
  // Saves the selected rows' keys as a registry file chosen in SaveDialogReg (see
  // assoclist::RegExportBytes); reports the outcome in a box, naming the count; asks for a
  // selection when none. While the list reads, the save waits for the reading's end and then
  // writes the rows selected then.
  void ExportReg();
  // Reads in a registry file chosen in OpenDialogReg through the change engine (policy, preview,
  // backup, undo), then reads the list again; a refusal or failure is shown in a box.
  void ImportReg();
  // Saves every association of this machine's user as a default associations file chosen in
  // SaveDialogDefaults (assoclist::SaveDefaultApps), whatever the list shows and whether it still
  // reads; reports the outcome in a box, naming the count.
  void SaveDefaultApps();
  // Checks a default associations file chosen in OpenDialogDefaults against this machine
  // (assoclist::CheckDefaultAppsFile) and shows what was found in a box: information when
  // nothing is wrong, else a warning. Writes nothing.
  void CheckDefaultApps();
  // Shows the rows of kinds (the selector).
  void ShowKinds(assoclist::KindFilter kinds);
  // Shows only rows with a problem when on (the check box).
  void ShowProblemsOnly(bool on);
  // The help file at kHelpContext.
  void ShowHelp();

  // The filter field; typing in it narrows the rows at once.
  ui::Control EditFilter;
  HWND ListViewAssoc() const { return Item(IDC_LISTVIEW_ASSOC); }
  const assoclist::AssocTable& Table() const { return table_; }
  // The keys of the selected rows, in the order shown.
  std::vector<std::wstring> SelectedExtensions() const;
  // Selects the shown rows of the given keys (letter case aside) and no others; the first
  // becomes the focused row and is scrolled into view.
  void SelectExtensions(const std::vector<std::wstring>& extensions);
  // The icon cache of the list (its images, and whether the worker is idle).
  assoclist::IconCache& Icons() const { return *icons_; }
  ui::FileDialog SaveDialogCsv;
  ui::FileDialog SaveDialogReg;
  ui::FileDialog OpenDialogReg;
  ui::FileDialog SaveDialogDefaults;
  ui::FileDialog OpenDialogDefaults;

  bool PreTranslateMessage(MSG& msg) override;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void OnCommand(int id) override;
  LRESULT OnNotify(NMHDR* header) override;

 private:
  // Runs change, then shows the table anew with the same rows selected and focused; the focused
  // row is scrolled into view, or with keepView the top row stays where it was.
  template <typename Change>
  void KeepingSelection(Change change, bool keepView = false);
  void SelectKeys(const std::vector<std::wstring>& keys, bool scroll);
  // Takes what the worker read.
  void TakeRows();
  // Writes request now, or keeps it until the reading's end while the list reads.
  void Save(const assoclist::SaveRequest& request);
  // Writes request from the rows shown (or selected) now and reports the outcome in a box.
  void Write(const assoclist::SaveRequest& request);
  // Writes the waiting saves one by one while the list does not read.
  void FinishSaves();
  void ShowStatus();
  // Gives the list the table's row count and redraws it; the status bar and the headings'
  // arrows follow.
  void ShowTable();
  void FilterChanged();
  // Draws again the icons of the rows in view.
  void RedrawIcons();
  // Opens the shown row at position.
  void OpenRow(int position);
  // The focused row when it is selected, else the first selected one; -1 when none.
  int ChosenRow() const;
  // The context menu of the list at a point of the screen (-1, -1: from the keyboard).
  void ShowContextMenu(POINT at);
  // The image the list shows for the shown row at position (see assoclist::IconCache::ImageOf).
  int ImageOfRow(size_t position);
  // The rows at the selected positions, in the order shown.
  std::vector<const assoclist::AssocRow*> SelectedRows() const;
  // Every row shown, in the order shown.
  std::vector<const assoclist::AssocRow*> ShownRows() const;

  assoclist::AssocTable table_;
  std::unique_ptr<assoclist::IconCache> icons_;
  std::unique_ptr<assoclist::RowLoader> loader_;
  size_t examined_ = 0;
  size_t total_ = 0;
  bool stopped_ = false;  // the reading was stopped before its end
  assoclist::WaitingSaves saves_;
};
