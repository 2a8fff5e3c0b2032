// Measures how long the file type window takes to open (read, build, show and paint) on a large
// file type: 40 verbs of its own, some with MUIVerb texts and some without a command, 20 more that
// Windows adds by extension and perceived type, and 150 Open with entries, a third of them stale.
// In a sandbox that redirects the user's and the machine's keys. Prints the figures of this run.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "assoc/file_type.h"
#include "bench_clock.h"
#include "bench_registry.h"
#include "filetype/UnitFormFileType.h"
#include "support/registry_sandbox.h"
#include "ui/application.h"

namespace {

constexpr wchar_t kFileExts[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";

void MakeType() {
  const std::wstring classes = L"Software\\Classes\\";
  SetText(HKEY_LOCAL_MACHINE, classes + L".big", nullptr, L"bigfile");
  SetText(HKEY_LOCAL_MACHINE, classes + L".big", L"PerceivedType", L"text");
  SetText(HKEY_LOCAL_MACHINE, classes + L"bigfile", nullptr, L"Big document");
  SetText(HKEY_LOCAL_MACHINE, classes + L"bigfile\\DefaultIcon", nullptr, L"%SystemRoot%\\system32\\shell32.dll,3");
  for (int i = 0; i < 40; ++i) {
    const std::wstring verb = classes + L"bigfile\\shell\\verb" + std::to_wstring(i);
    if (i % 4 == 0) SetText(HKEY_LOCAL_MACHINE, verb, L"MUIVerb", L"@shell32.dll,-" + std::to_wstring(8496 + i));
    if (i % 10 == 9) {
      SetText(HKEY_LOCAL_MACHINE, verb + L"\\command", L"DelegateExecute", L"{11111111-2222-3333-4444-555555555555}");
    } else {
      SetText(HKEY_LOCAL_MACHINE, verb + L"\\command", nullptr, L"\"%SystemRoot%\\system32\\notepad.exe\" \"%1\"");
    }
  }
  for (const wchar_t* added : {L".big", L"text"})
    for (int i = 0; i < 10; ++i)
      SetText(HKEY_LOCAL_MACHINE, classes + L"SystemFileAssociations\\" + added + L"\\shell\\sys" + std::to_wstring(i) +
                                      L"\\command",
              nullptr, L"notepad.exe \"%1\"");
  for (int i = 0; i < 100; ++i) {
    const std::wstring type = L"Other" + std::to_wstring(i);
    SetText(HKEY_LOCAL_MACHINE, classes + L".big\\OpenWithProgids", type.c_str(), L"");
    if (i % 3 == 0) continue;  // stale: the file type is gone
    SetText(HKEY_LOCAL_MACHINE, classes + type + L"\\shell\\open\\command", nullptr,
            i % 2 ? L"\"C:\\Gone\\" + type + L".exe\" \"%1\"" : L"notepad.exe \"%1\"");
  }
  for (int i = 0; i < 30; ++i)
    SetText(HKEY_CURRENT_USER, kFileExts + std::wstring(L".big\\OpenWithProgids"), (L"Other" + std::to_wstring(i)).c_str(), L"");
  for (int i = 0; i < 20; ++i)
    SetText(HKEY_CURRENT_USER, kFileExts + std::wstring(L".big\\OpenWithList"), std::wstring(1, wchar_t(L'a' + i)).c_str(),
            i % 2 ? L"notepad.exe" : L"gone" + std::to_wstring(i) + L".exe");
}

}  // namespace

int wmain() {
  testsupport::RegistrySandbox sandbox(testsupport::SandboxRoots::WithMachine);
  if (!sandbox.Ok()) {
    std::fprintf(stderr, "the sandbox could not be set up\n");
    return 1;
  }
  MakeType();
  SetText(HKEY_LOCAL_MACHINE, L"Software\\Classes\\.small", nullptr, L"smallfile");
  SetText(HKEY_LOCAL_MACHINE, L"Software\\Classes\\smallfile\\shell\\open\\command", nullptr, L"notepad.exe %1");
  std::vector<double> read, open, small;
  for (int round = 0; round < 7; ++round) {
    double start = Now();
    const assoc::TFileType type = assoc::ReadFileType({false, L".big"});
    read.push_back(Now() - start);
    if (round == 0)
      std::printf("the type: %zu verbs, %zu Open with entries\n", type.Verbs.size(), type.OpenWith.size());

    start = Now();
    auto window = std::make_unique<ui::Modeless<TFormFileType>>(nullptr, assoc::TTypeTarget{false, L".big"}, 96);
    window->Show();
    UpdateWindow(window->Handle());
    ui::ProcessMessages();
    open.push_back(Now() - start);
    window.reset();
    ui::ProcessMessages();

    start = Now();
    window = std::make_unique<ui::Modeless<TFormFileType>>(nullptr, assoc::TTypeTarget{false, L".small"}, 96);
    window->Show();
    UpdateWindow(window->Handle());
    ui::ProcessMessages();
    small.push_back(Now() - start);
    window.reset();
    ui::ProcessMessages();
  }
  std::printf("reading the type:           median %.1f ms, least %.1f ms\n", Median(read) * 1000, Least(read) * 1000);
  std::printf("opening the window (shown): median %.1f ms, least %.1f ms (goal 100 ms)\n", Median(open) * 1000,
              Least(open) * 1000);
  std::printf("the window of a type of one verb: median %.1f ms, least %.1f ms\n", Median(small) * 1000,
              Least(small) * 1000);
  return 0;
}
