// The main window's settings files: moving the fields to and from a document, the file commands,
// and the batch task handed over from the command line.
#include <windows.h>

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "app/UnitFormMain.h"
#include "assoc/reg_value.h"
#include "common/cursor.h"
#include "common/exception.h"
#include "common/field_limits.h"
#include "common/files.h"
#include "common/handles.h"
#include "common/text.h"
#include "crash/crash_handler.h"
#include "settings/command_line.h"
#include "settings/mem_ini_file.h"
#include "ui/application.h"
#include "ui/message_box.h"

namespace {

constexpr wchar_t kSettingSection[] = L"EXT";
constexpr wchar_t kIconIndexKey[] = L"ICON_INDEX";

// The text fields and their keys in section "EXT", in the order they are read and written, with
// the labels that name them in messages.
struct TextKey {
  ui::Control TFormMain::*field;
  const wchar_t* key;
  const wchar_t* label;
  common::LimitedField limit;
};
constexpr TextKey kTextKeys[] = {
    {&TFormMain::EditExt, L"EXT", L"拡張子", common::LimitedField::Extension},
    {&TFormMain::EditCommand, L"COMMAND", L"実行プログラム", common::LimitedField::Command},
    {&TFormMain::EditFileType, L"FILE_TYPE", L"ファイルタイプの説明", common::LimitedField::FileType},
    {&TFormMain::EditIconFile, L"ICON_FILE", L"アイコンファイル", common::LimitedField::IconFile},
};

// Why a field is refused, with its label in 「」.
std::wstring TooLongText(const TextKey& row) {
  // The extension is counted with the "." that registering puts in front.
  const wchar_t* counted = row.limit == common::LimitedField::Extension ? L"「.」を含めて " : L" ";
  return L"設定ファイルの「" + std::wstring(row.label) + L"」が" + counted + std::to_wstring(common::MaxLength(row.limit)) +
         L" 文字を超えています";
}
std::wstring LineBreakText(const TextKey& row) {
  return L"「" + std::wstring(row.label) + L"」に改行または NUL 文字が含まれているため保存できません。";
}

// The characters that would end a line of the file, or the text, early.
constexpr std::wstring_view kLineBreaks(L"\r\n\0", 3);

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
  std::array<std::wstring, std::size(kTextKeys)> values;
  for (size_t i = 0; i < values.size(); ++i) {
    values[i] = Ini.GetTextValue(kSettingSection, kTextKeys[i].key, L"");
    if (common::TooLong(kTextKeys[i].limit, values[i])) throw Exception(TooLongText(kTextKeys[i]));
  }
  for (size_t i = 0; i < values.size(); ++i) (this->*kTextKeys[i].field).SetText(values[i]);
  EditIconIndex.SetText(common::IntToStr(Ini.GetIntValue(kSettingSection, kIconIndexKey, 0)));
  DrawIconPreview(EditIconFile.Text(), common::StrToIntDef(EditIconIndex.Text(), 0));
}

void TFormMain::WriteSetting(TMemIniFile& Ini) const {
  for (const TextKey& row : kTextKeys)
    if ((this->*row.field).Text().find_first_of(kLineBreaks) != std::wstring::npos) throw Exception(LineBreakText(row));
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
  if (!common::FileExists(FileName)) return;
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

const wchar_t kBuiltInCrashUrl[] = TAVRELO_CRASH_URL;

std::wstring CrashUploadUrl(const std::wstring& builtIn) {
  common::UniqueHKey policy;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Policies\\Tavrelo", 0, KEY_QUERY_VALUE, policy.put()) ==
      ERROR_SUCCESS) {
    const std::optional<assoc::TRawValue> value = assoc::ReadRawValue(policy.get(), L"CrashReportUrl");
    if (value && value->Type == REG_SZ) return *assoc::TextOfValue(*value);
  }
  return builtIn;
}

void TFormMain::ApplicationIdle() {
  ui::Application::Instance().RemoveOnIdle(this);
  crash::AnnounceEarlierReport(Handle());
  TCursorHourGlass busy;
  ExecuteSettingFile(settings::FirstArgument(GetCommandLineW()));
}
