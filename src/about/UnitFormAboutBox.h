#pragma once
// The About box: the application's icon, its title, the file version and copyright line from
// the executable's version block, and the maker's web address as a link that opens in the
// user's own browser.

#include <windows.h>

#include <string>

#include "ui/form.h"

class TFormAboutBox : public ui::Form {
 public:
  enum ControlId : int {
    IDC_PANEL1 = 100,
    IDC_PROGRAMICON,
    IDC_PRODUCTNAME,
    IDC_VERSION,
    IDC_COPYRIGHT,
    IDC_URL,
    IDC_OKBUTTON = IDOK,
  };

  // Builds the (hidden) box owned by owner, centred on the screen, with its labels filled from
  // the running executable's version block; raises the reader's Exception when that block
  // cannot be read, leaving no window behind.
  explicit TFormAboutBox(HWND owner, int dpi = ui::SystemDpi());
  // The same, with the version block of the executable at executable.
  TFormAboutBox(HWND owner, const std::wstring& executable, int dpi = ui::SystemDpi());

  // Hands the text of URL to the user's desktop shell to open (UserShellSeam); where that shell
  // did not open it, puts it on the clipboard and says so in a box. The box stays open.
  void URLClick();

  ui::Control ProductName;
  ui::Control Version;
  ui::Control Copyright;
  ui::Control URL;
  // The picture box with the application's icon at its top-left corner.
  const ui::Picture& ProgramIcon() const;

 protected:
  void OnCommand(int id) override;
};
