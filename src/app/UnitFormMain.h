#pragma once
// The main window: the five association fields, the icon preview, the commands that read,
// register and delete an association, and the document state (the current settings file).

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "assoc/assoc_resolver.h"
#include "assoc/change_engine.h"
#include "common/change_request.h"
#include "assoc/link_extention.h"
#include "ui/file_dialog.h"
#include "ui/form.h"

class TMemIniFile;

// The address the build was given for error reports (TAVRELO_CRASH_URL); empty when none.
extern const wchar_t kBuiltInCrashUrl[];
// Where the error report's 送信 posts: the machine's policy, the REG_SZ CrashReportUrl of
// HKEY_LOCAL_MACHINE\Software\Policies\Tavrelo, when it is set (empty turns sending off), else
// builtIn; empty when neither. Never what a settings file or the user's registry says, which any
// program of the user can write. Reads only; raises only for memory.
std::wstring CrashUploadUrl(const std::wstring& builtIn = kBuiltInCrashUrl);
class TFormAssocList;
class TFormFileType;

// The application title: the base of the main window's caption and the title of the
// top-level error box.
inline constexpr wchar_t kApplicationTitle[] = L"Tavrelo 関連づけ編集ソフト";

class TFormMain : public ui::Form {
 public:
  // Layout rows that are not bound to an action (bound rows use the action's command id).
  enum ControlId : int {
    IDC_LABEL_EXT = 100,
    IDC_EDIT_EXT,
    IDC_SPEEDBUTTON3,
    IDC_LABEL_COMMAND,
    IDC_EDIT_COMMAND,
    IDC_SPEEDBUTTON2,
    IDC_LABEL_FILETYPE,
    IDC_EDIT_FILETYPE,
    IDC_IMAGE_ICON,
    IDC_LABEL_ICONFILE,
    IDC_EDIT_ICONFILE,
    IDC_LABEL_ICONINDEX,
    IDC_EDIT_ICONINDEX,
    IDC_SPEEDBUTTON1,
    IDC_BTN_HELP,
    IDC_BITBTN1,
    IDC_BITBTN3,
    IDC_BITBTN2,
    IDC_STATUSBAR,
    IDC_EXPLORER_ICON,
    IDC_EXPLORER_NOTE,
  };

  // Builds the window for the given DPI, resets it to a new setting; the caption is the
  // application title. The window is not shown yet.
  explicit TFormMain(int dpi = ui::SystemDpi());
  // Removes ApplicationIdle when it has not run yet.
  ~TFormMain() override;

  ui::Control EditExt;
  ui::Control EditCommand;
  ui::Control EditFileType;
  ui::Control EditIconFile;  // read-only: only the tool writes it
  ui::Control EditIconIndex;  // read-only, digits: the decimal form of a 32-bit integer

  ui::FileDialog OpenDialogApp;
  ui::FileDialog OpenDialogIni;
  ui::FileDialog SaveDialogIni;
  // Opens in the backups folder.
  ui::FileDialog OpenDialogBackup;

  // The current settings file as it was given (a command-line argument may be relative); empty for
  // a new setting.
  const std::wstring& SettingFileName() const { return FSettingFileName; }

  // Resets to a new, empty setting: no settings file, empty fields, icon index "0", dialogs
  // without remembered names, a white preview.
  void NewSetting();
  // Makes name the current settings file and shows its file name part in the caption after
  // the title and " - " (the title alone for the empty name). The same name changes nothing.
  void SetSettingFileName(const std::wstring& name);
  // Paints the preview white, then the icon IconIndex of IconFile at its top-left corner;
  // stays white when there is no such icon. Never reports a failure.
  void DrawIconPreview(const std::wstring& IconFile, int IconIndex);
  // The preview as drawn (its pixels can be read).
  const ui::Picture& ImageIcon() const;

  // A key goes down in EditExt: Enter reads the association back and is consumed (Key
  // becomes 0), whatever Shift, Ctrl and Alt say; other keys are left alone.
  void EditExtKeyDown(WORD& Key);

  // The text of EditExt changed: a note about the extension read before no longer applies.
  void EditExtChange();

  // The note below the fields: what Explorer will really use for the extension, shown with a
  // warning sign when a per-user record overrides the classic one (Association.differs); an
  // empty band otherwise.
  void ShowExplorerNote(const assoc::EffectiveAssociation& Association);
  // The note as shown; empty while there is none.
  std::wstring ExplorerNote() const;
  // The note's warning sign as drawn (blank while there is no note).
  const ui::Picture& ExplorerSign() const;

  // The text of EditExt with a leading "." supplied when it has none.
  std::wstring GetExtention() const;
  // Registers the association of the fields as they are when called, after checking them and
  // asking (the windows this one owns take no input meanwhile); reports the outcome in a box,
  // then offers to remove a per-user record that still overrides it. Changes no field.
  void DoExtLink();
  // Deletes the association of the extension after asking; reports the outcome in a box, then
  // offers to remove a per-user record that still makes Explorer open the extension.
  void DoExtUnlink();

  // Fills EditCommand with the program chosen in OpenDialogApp, quoted, then " \"%1\"".
  void ActionAppSelectExecute();
  // Lets the user choose an icon in the icon picker; after OK the icon fields and the
  // preview show the choice, otherwise nothing changes.
  void ActionIconSelectExecute();
  void ActionExtLinkExecute();
  void ActionExtUnlinkExecute();
  // Reads the association of the extension back into the fields and the preview, and shows the
  // note when Explorer does not follow it. A value longer than its field can take is reported in
  // a warning instead, and no field changes.
  void ActionExtReloadExecute();
  void ActionHelpShowExecute();
  // Shows the About box modally; it is destroyed on every way out.
  void ActionAboutVersionExecute();
  void ActionFileNewExecute();
  void ActionFileCloseExecute();
  // Undoes the last change of the history after a preview naming it; then reads the
  // extension in the field back.
  void ActionFileUndoExecute();
  // Makes the first undone change of the history again, the same way.
  void ActionFileRedoExecute();
  // Restores a registry file chosen in the file dialog, which opens in the backups folder, after
  // a preview of what it changes; the restore is a change of the history like any other.
  void ActionFileRestoreExecute();
  // Opens the list of all associations (modeless), or brings it forward when it is open.
  void ActionAssocListExecute();
  // Opens the file type window of the extension in the field (one per file type, modeless), or
  // brings forward the one open on its file type.
  void ActionFileTypeExecute();
  // Opens, or brings forward, the file type window of an extension or protocol.
  void OpenFileType(const std::wstring& name, bool protocol);
  // The registry's associations were changed by this window: a list that is open re-reads
  // them, keeping filter, sort and selection.
  void AssociationsChanged();
  void BtnHelpClick();

  // Fills the five fields from section "EXT" of Ini (missing text keys give empty fields, a missing
  // or invalid icon index 0), then redraws the preview. Raises Exception naming the field, and
  // changes none, when a text is longer than the field may be (common/field_limits.h).
  void ReadSetting(const TMemIniFile& Ini);
  // Stores the five fields into section "EXT" of Ini; the icon index as an integer (0 when the
  // field holds none). Raises Exception naming the field, and stores nothing, when a text field
  // holds CR, LF or NUL, which would forge lines of the file.
  void WriteSetting(TMemIniFile& Ini) const;
  // Loads the settings file chosen in OpenDialogIni into the fields; its task is never run. A file
  // that cannot be read raises Exception after the caption already shows it.
  void ActionFileOpenExecute();
  // Saves the setting under a name chosen in SaveDialogIni.
  void ActionFileSaveAsExecute();
  // Saves the setting over SettingFileName, or as save-as when there is none.
  void ActionFileSaveExecute();
  // Makes FileName current and saves the setting into it, keeping the file's other sections and
  // lines; reports success in an information box and any failure in a warning box.
  void SaveSettingFile(const std::wstring& FileName);
  // The batch task: when FileName names an existing file, makes it current (as passed), loads it and
  // runs its task (section "TASK"); a failure is shown in an error box and the window stays open.
  // Any other text is ignored.
  void ExecuteSettingFile(const std::wstring& FileName);
  // Runs task TaskCode (1 register, 2 read back then delete, 3 read back) with the buttons'
  // questions and boxes, then closes the window when CloseFlag is 1. Other codes do nothing.
  void RunTask(int TaskCode, int CloseFlag);
  // The first idle moment: removes itself, then hands the first command-line argument to
  // ExecuteSettingFile under the busy cursor.
  void ApplicationIdle();

  // Enter in EditExt reads back; Ctrl+Z goes to a field that has typing to undo; then the form's
  // accelerators and dialog keys.
  bool PreTranslateMessage(MSG& msg) override;

 protected:
  void OnCommand(int id) override;
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  // Shows a record read for extension in the fields, the preview and the note; a value longer
  // than its field can take is reported in a warning instead, and no field changes.
  void ShowRecord(const std::wstring& extension, const std::wstring& command, const std::wstring& fileType,
                  const TLinkExtention::TIconInfo& icon);
  // Plans the restore of the registry file FileName, previews it and applies it.
  void RestoreFile(const std::wstring& FileName);
  // Undo (Redo false) or redo through the history.
  void StepThroughHistory(bool Redo);
  // What a long plan calls now and then: the status line says so, and the window answers.
  assoc::TTick Ticking();
  // Carries out Request with the change runner; after each change the other windows read the
  // registry again and this one the note (ReadBack false: a register or delete, whose fields stay
  // as they are) or the fields (ReadBack true: a change the user did not type). A refusal puts the
  // focus in the field it names.
  void Run(const common::TChangeRequest& Request, bool ReadBack);

  std::wstring FSettingFileName;
  std::wstring FExplorerNote;  // the note's text; empty while it is hidden
  // The list of associations once opened (its window may have been closed since).
  std::unique_ptr<TFormAssocList> FAssocList;
  // The open file type windows, by the file type an extension names (else the extension) or the
  // protocol, letter case folded.
  std::map<std::wstring, std::unique_ptr<TFormFileType>> FFileTypes;
};
