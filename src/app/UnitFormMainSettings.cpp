// The main window's settings files: moving the fields to and from a document, the file commands,
// and the batch task handed over from the command line.
#include <windows.h>

#include "app/UnitFormMain.h"
#include "common/cursor.h"
#include "common/exception.h"
#include "common/text.h"
#include "settings/command_line.h"
#include "settings/file_access.h"
#include "settings/mem_ini_file.h"
#include "ui/application.h"
#include "ui/message_box.h"

namespace {

constexpr wchar_t kSettingSection[] = L"EXT";
constexpr wchar_t kIconIndexKey[] = L"ICON_INDEX";

// The text fields and their keys in section "EXT", in the order they are read and written.
struct TextKey {
  ui::Control TFormMain::*field;
  const wchar_t* key;
};
constexpr TextKey kTextKeys[] = {
    {&TFormMain::EditExt, L"EXT"},
    {&TFormMain::EditCommand, L"COMMAND"},
    {&TFormMain::EditFileType, L"FILE_TYPE"},
    {&TFormMain::EditIconFile, L"ICON_FILE"},
};

// The steps of each task code, in order.
struct Task {
  int code;
  void (TFormMain::*steps[2])();
};
constexpr Task kTasks[] = {
    {1, {&TFormMain::DoExtLink, nullptr}},
    {2, {&TFormMain::ActionExtReloadExecute, &TFormMain::DoExtUnlink}},
    {3, {&TFormMain::ActionExtReloadExecute, nullptr}},
};

}  // namespace

void TFormMain::ReadSetting(const TMemIniFile& Ini) {
  for (const TextKey& row : kTextKeys) (this->*row.field).SetText(Ini.GetTextValue(kSettingSection, row.key, L""));
  EditIconIndex.SetText(common::IntToStr(Ini.GetIntValue(kSettingSection, kIconIndexKey, 0)));
  DrawIconPreview(EditIconFile.Text(), common::StrToIntDef(EditIconIndex.Text(), 0));
}

void TFormMain::WriteSetting(TMemIniFile& Ini) const {
  for (const TextKey& row : kTextKeys) Ini.SetTextValue(kSettingSection, row.key, (this->*row.field).Text());
  Ini.SetIntValue(kSettingSection, kIconIndexKey, common::StrToIntDef(EditIconIndex.Text(), 0));
}

void TFormMain::ActionFileOpenExecute() {
  if (!OpenDialogIni.Execute(Handle())) return;
  TCursorHourGlass busy;
  SetSettingFileName(OpenDialogIni.FileName);
  TMemIniFile ini(SettingFileName());
  ReadSetting(ini);
}

void TFormMain::ActionFileSaveAsExecute() {
  if (!SaveDialogIni.Execute(Handle())) return;
  SaveSettingFile(SaveDialogIni.FileName);
}

void TFormMain::ActionFileSaveExecute() {
  if (SettingFileName().empty())
    ActionFileSaveAsExecute();
  else
    SaveSettingFile(SettingFileName());
}

void TFormMain::SaveSettingFile(const std::wstring& FileName) {
  TCursorHourGlass busy;
  // A copy: FileName may be SettingFileName itself.
  const std::wstring path = FileName;
  SetSettingFileName(path);
  try {
    TMemIniFile ini(path);
    WriteSetting(ini);
    ini.WriteToFile();
    ui::ShowMessageBox(Handle(), ui::BoxKind::Information, L"ファイルに保存しました。");
  } catch (const Exception& e) {
    ui::ShowMessageBox(Handle(), ui::BoxKind::Warning, e.Message());
  }
}

void TFormMain::ExecuteSettingFile(const std::wstring& FileName) {
  if (!settings::FileExists(FileName)) return;
  SetSettingFileName(FileName);
  try {
    TMemIniFile ini(FileName);
    ReadSetting(ini);
    RunTask(ini.GetIntValue(L"TASK", L"COMMAND", 0), ini.GetIntValue(L"TASK", L"CLOSE", 0));
  } catch (const Exception& e) {
    ui::ShowMessageBox(Handle(), ui::BoxKind::Error, e.Message());
  }
}

void TFormMain::RunTask(int TaskCode, int CloseFlag) {
  for (const Task& task : kTasks) {
    if (task.code != TaskCode) continue;
    for (auto step : task.steps)
      if (step) (this->*step)();
    if (CloseFlag == 1) ActionFileCloseExecute();
    return;
  }
}

void TFormMain::ApplicationIdle() {
  ui::Application::Instance().RemoveOnIdle(this);
  TCursorHourGlass busy;
  ExecuteSettingFile(settings::FirstArgument(GetCommandLineW()));
}
