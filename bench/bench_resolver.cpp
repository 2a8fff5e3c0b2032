// Measures the resolver of what Explorer will use against the bare registry reads it needs, and
// the main window's read-back with its note against the read-back without it, in a sandbox that
// redirects the user's and the machine's keys. Prints the figures of this one run.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/UnitFormMain.h"
#include "assoc/link_extention_winxp.h"
#include "assoc/assoc_resolver.h"
#include "assoc/link_extention.h"
#include "bench_clock.h"
#include "bench_registry.h"
#include "common/handles.h"
#include "common/text.h"
#include "support/registry_sandbox.h"
#include "ui/application.h"

namespace {

constexpr wchar_t kFileExts[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";

// count extensions .b0 ... with classic records whose icons are shell32.dll's; every third has a per-user choice of its own
// file type, every fifth a per-user class record.
std::vector<std::wstring> MakeExtensions(int count) {
  wchar_t system[MAX_PATH];
  GetSystemDirectoryW(system, MAX_PATH);
  const std::wstring shell32 = std::wstring(system) + L"\\shell32.dll";
  std::vector<std::wstring> extensions;
  for (int i = 0; i < count; ++i) {
    const std::wstring n = L"b" + std::to_wstring(i), ext = L"." + n, type = n + L"File";
    SetText(HKEY_LOCAL_MACHINE, L"Software\\Classes\\" + ext, nullptr, type);
    SetText(HKEY_LOCAL_MACHINE, L"Software\\Classes\\" + type, nullptr, n + L" document");
    SetText(HKEY_LOCAL_MACHINE, L"Software\\Classes\\" + type + L"\\Shell\\open\\command", nullptr,
            L"\"C:\\Tools\\" + n + L".exe\" \"%1\"");
    SetText(HKEY_LOCAL_MACHINE, L"Software\\Classes\\" + type + L"\\DefaultIcon", nullptr,
            shell32 + L"," + std::to_wstring(i % 50));
    if (i % 3 == 0) {
      SetText(HKEY_CURRENT_USER, kFileExts + ext + L"\\UserChoice", L"ProgId", L"Viewer" + ext);
      SetText(HKEY_CURRENT_USER, kFileExts + ext + L"\\UserChoice", L"Hash", L"q2x4=");
      SetText(HKEY_CURRENT_USER, L"Software\\Classes\\Viewer" + ext + L"\\shell\\open\\command", nullptr, L"v.exe %1");
    }
    if (i % 5 == 0) SetText(HKEY_CURRENT_USER, L"Software\\Classes\\" + ext, nullptr, type);
    extensions.push_back(ext);
  }
  return extensions;
}

// Opens base\path for reading values; empty when it is missing.
common::UniqueHKey Open(HKEY base, const std::wstring& path) {
  common::UniqueHKey key;
  if (RegOpenKeyExW(base, path.c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) key.reset();
  return key;
}

// A value of an open key into a buffer on the stack, the plain way: one call.
std::wstring Value(const common::UniqueHKey& key, const wchar_t* name = nullptr) {
  wchar_t data[256];
  DWORD size = sizeof data;
  if (!key ||
      RegQueryValueExW(key.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS)
    return {};
  return std::wstring(data, wcsnlen(data, size / sizeof(wchar_t)));
}

std::wstring Read(HKEY base, const std::wstring& path, const wchar_t* name = nullptr) {
  return Value(Open(base, path), name);
}

bool Exists(HKEY base, const std::wstring& path) { return static_cast<bool>(Open(base, path)); }

// The same registry calls the resolver makes for one extension, in the same order, with nothing
// around them.
size_t BareReads(const std::wstring& ext) {
  const HKEY user = HKEY_CURRENT_USER, machine = HKEY_LOCAL_MACHINE;
  const std::wstring fileExts = kFileExts, classes = L"Software\\Classes\\";
  const std::wstring classic = Read(HKEY_CLASSES_ROOT, ext);
  std::wstring type, command, icon;
  const common::UniqueHKey classicCommand = Open(HKEY_CLASSES_ROOT, classic + L"\\Shell\\open\\command");
  const std::wstring classicText = Value(classicCommand);
  if (Exists(user, fileExts + ext)) {
    type = Value(Open(user, fileExts + ext + L"\\UserChoiceLatest"), L"ProgId");
    if (const common::UniqueHKey choice = Open(user, fileExts + ext + L"\\UserChoice"); type.empty() && choice) {
      type = Value(choice, L"ProgId");
      Value(choice, L"Hash");
    }
  }
  const std::wstring userType = Read(user, classes + ext);
  if (type.empty()) type = userType;
  if (type.empty()) {
    if (!classicCommand) Exists(HKEY_CLASSES_ROOT, classic);
    command = classicText;
    icon = Read(HKEY_CLASSES_ROOT, classic + L"\\DefaultIcon");
  } else {
    if (!Exists(user, classes + type)) Exists(machine, classes + type);
    for (auto [sub, text] : {std::pair{L"\\shell\\open\\command", &command}, {L"\\DefaultIcon", &icon}}) {
      *text = Read(user, classes + type + sub);
      if (text->empty()) *text = Read(machine, classes + type + sub);
    }
  }
  return command.size() + icon.size() + 1;
}

}  // namespace

int wmain() {
  testsupport::RegistrySandbox sandbox(testsupport::SandboxRoots::WithMachine);
  if (!sandbox.Ok()) {
    std::fprintf(stderr, "bench_resolver: cannot redirect the registry roots\n");
    return 1;
  }
  constexpr int kExtensions = 2000;
  constexpr int kRounds = 7;
  const std::vector<std::wstring> extensions = MakeExtensions(kExtensions);

  std::vector<double> resolver, bare;
  size_t sink = 0;
  for (int round = 0; round < kRounds; ++round) {
    for (int turn = 0; turn < 2; ++turn) {
      const bool resolverTurn = (turn == 0) == (round % 2 == 0);
      const double start = Now();
      if (resolverTurn) {
        for (const auto& ext : extensions) sink += assoc::ResolveAssociation(ext).command.size();
        resolver.push_back(Now() - start);
      } else {
        for (const auto& ext : extensions) sink += BareReads(ext);
        bare.push_back(Now() - start);
      }
    }
  }
  std::printf("bench_resolver: %d extensions (a third with a per-user choice, a fifth with a per-user class), "
              "%d rounds\n",
              kExtensions, kRounds);
  std::printf("(a) resolver %.1f us per extension, bare reads %.1f us per extension: %.2fx on the medians "
              "(goal <= 1.5x)\n",
              Median(resolver) * 1e6 / kExtensions, Median(bare) * 1e6 / kExtensions, Median(resolver) / Median(bare));

  // The read-back of the window with its note, against the same read-back without the note: for
  // extensions without per-user records (the usual case), and for ones a per-user choice overrides.
  ui::Application::Instance().SetTitle(kApplicationTitle);
  TFormMain form(96);
  form.Show();
  constexpr int kReadBacks = 300;
  for (const bool overridden : {false, true}) {
    std::vector<std::wstring> picked;
    for (int i = 0; i < kExtensions && static_cast<int>(picked.size()) < kReadBacks; ++i)
      if ((i % 3 == 0) == overridden && (overridden || i % 5 != 0)) picked.push_back(extensions[i]);
    std::vector<double> withNote, without;
    for (int round = 0; round < kRounds; ++round) {
      for (int turn = 0; turn < 2; ++turn) {
        const bool noteTurn = (turn == 0) == (round % 2 == 0);
        const double start = Now();
        for (const std::wstring& ext : picked) {
          form.EditExt.SetText(ext);
          if (noteTurn) {
            form.ActionExtReloadExecute();
          } else {
            const assoc::TClassicRecord record = assoc::ReadClassicRecord(ext);
            form.EditCommand.SetText(record.Command);
            form.EditFileType.SetText(record.FileType);
            const TLinkExtention::TIconInfo& icon = record.Icon;
            form.EditIconFile.SetText(icon.IconFile);
            form.EditIconIndex.SetText(common::IntToStr(icon.IconIndex));
            form.DrawIconPreview(icon.IconFile, icon.IconIndex);
          }
        }
        (noteTurn ? withNote : without).push_back((Now() - start) / static_cast<double>(picked.size()));
      }
    }
    std::printf("(b) read-back, %s: with the note %.2f ms, without %.2f ms: %+.1f%% on the medians "
                "(goal within 10%%)\n",
                overridden ? "a per-user choice overrides" : "no per-user records", Median(withNote) * 1e3,
                Median(without) * 1e3, (Median(withNote) / Median(without) - 1) * 100);
  }
  return sink == 0 ? 1 : 0;
}
