// Measures a restore through the change engine against the bare registry calls it stands on, for
// 1,000, 10,000 and 50,000 keys (inside the tests' registry sandbox): planning and checking
// against reading the keys, applying against writing them; a file over the size limit refused;
// and the memory planning a large file takes. Prints the figures of this one run.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "assoc/backup_store.h"
#include "assoc/change_apply.h"
#include "assoc/change_engine.h"
#include "assoc/reg_file.h"
#include "assoc/shell_assoc.h"
#include "bench_clock.h"
#include "common/exception.h"
#include "common/handles.h"
#include "support/registry_sandbox.h"
#include "support/temp_files.h"

namespace {

std::wstring Extension(int i) {
  wchar_t name[16];
  swprintf(name, 16, L".b%05d", i);
  return name;
}

// A restore file of count extension keys, each with its file type named.
std::string FileOf(int count, const wchar_t* fileType) {
  assoc::TRegDocument document;
  for (int i = 0; i < count; ++i) {
    assoc::TRegKey key;
    key.Path = L"HKEY_CLASSES_ROOT\\" + Extension(i);
    assoc::TRegValue value;
    value.Type = REG_SZ;
    const std::wstring text = fileType + std::to_wstring(i);
    value.Data.assign(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(wchar_t));
    key.Values.push_back(std::move(value));
    document.Keys.push_back(std::move(key));
  }
  return assoc::WriteRegFile(document);
}

// The bare calls: open each key and read its default value.
double ReadKeys(int count) {
  const double start = Now();
  for (int i = 0; i < count; ++i) {
    common::UniqueHKey key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, Extension(i).c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
      throw Exception(L"a key is missing");
    BYTE data[256];
    DWORD size = sizeof data;
    RegQueryValueExW(key.get(), nullptr, nullptr, nullptr, data, &size);
  }
  return Now() - start;
}

// The bare calls: create each key and set its default value.
double WriteKeys(int count, const wchar_t* fileType) {
  const double start = Now();
  for (int i = 0; i < count; ++i) {
    common::UniqueHKey key;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, Extension(i).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(),
                        nullptr) != ERROR_SUCCESS)
      throw Exception(L"cannot create a key");
    const std::wstring text = fileType + std::to_wstring(i);
    RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  }
  return Now() - start;
}

void RemoveKeys(int count) {
  for (int i = 0; i < count; ++i) RegDeleteKeyW(HKEY_CLASSES_ROOT, Extension(i).c_str());
}

PROCESS_MEMORY_COUNTERS Memory() {
  PROCESS_MEMORY_COUNTERS counters{sizeof counters};
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return counters;
}

// The associations of a well-used system as a registry editor exports them: per extension its
// key, its file type's description, open command and icon.
std::string TypicalFile(int count) {
  assoc::TRegDocument document;
  auto key = [&](const std::wstring& path, const std::wstring& text) {
    assoc::TRegKey section;
    section.Path = L"HKEY_CLASSES_ROOT\\" + path;
    assoc::TRegValue value;
    value.Type = REG_SZ;
    value.Data.assign(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(wchar_t));
    section.Values.push_back(std::move(value));
    document.Keys.push_back(std::move(section));
  };
  for (int i = 0; i < count; ++i) {
    const std::wstring type = L"Vendor.Document" + std::to_wstring(i);
    key(Extension(i), type);
    key(type, L"Vendor Document of kind " + std::to_wstring(i));
    key(type + L"\\shell\\open\\command",
        L"\"C:\\Program Files\\Vendor\\Application\\viewer.exe\" \"%1\" /kind " + std::to_wstring(i));
    key(type + L"\\DefaultIcon", L"C:\\Program Files\\Vendor\\Application\\viewer.exe,3");
  }
  return assoc::WriteRegFile(document);
}

// Plans the file at path against the registry as it is and prints what the process took.
void MeasureMemory(const char* what, const std::wstring& path, size_t fileSize) {
  const SIZE_T start = Memory().PagefileUsage;
  const assoc::TChangePlan plan = assoc::PlanRegistryFile(path, assoc::TChangeOperation::Restore);
  const SIZE_T peak = Memory().PeakPagefileUsage;
  std::printf("memory, %s: a %.1f MB file planned (%zu steps): peak %.1f MB above the start (%.2fx the file)\n", what,
              fileSize / 1048576.0, plan.Steps.size(), (peak - start) / 1048576.0,
              static_cast<double>(peak - start) / static_cast<double>(fileSize));
}

}  // namespace

int main() {
  testsupport::RegistrySandbox sandbox;
  if (!sandbox.Ok()) {
    std::fprintf(stderr, "bench_change: cannot redirect the registry roots\n");
    return 1;
  }
  try {
    testsupport::TempFolder appData, files;
    const auto folder = assoc::MachineDataFolder.Replace([&] { return appData.Path(); });
    const auto quiet = assoc::NotifyAssocChanged.Replace([] {});
    std::printf("bench_change: registry roots redirected into a sandbox, change notice not sent\n");

    // Memory first, while the process has not grown yet: restores planned against an empty
    // registry (every key new), of a typical export and then of the most keys a file can hold.
    {
      const std::string bytes = TypicalFile(30000);
      MeasureMemory("typical associations", testsupport::Written(files / L"typical.reg", bytes), bytes.size());
    }
    {
      const std::string bytes = FileOf(640000, L"m");
      MeasureMemory("one short value per key", testsupport::Written(files / L"memory.reg", bytes), bytes.size());
    }

    for (int count : {1000, 10000, 50000}) {
      // The registry holds the keys with other values; the file gives each its own again.
      WriteKeys(count, L"old");
      const std::wstring path = testsupport::Written(files / L"restore.reg", FileOf(count, L"new"));
      const double read = ReadKeys(count);
      double start = Now();
      const assoc::TChangePlan plan = assoc::PlanRegistryFile(path, assoc::TChangeOperation::Restore);
      const double planned = Now() - start;
      start = Now();
      assoc::ApplyPlan(plan);
      const double applied = Now() - start;
      WriteKeys(count, L"old");
      const double written = WriteKeys(count, L"new");
      WriteKeys(count, L"old");
      start = Now();
      assoc::ExecuteChange(plan);
      const double whole = Now() - start;
      std::printf("(%d keys) read %.3f s; plan and check %.3f s (%.2fx the reads); apply %.3f s, write %.3f s "
                  "(%.2fx the writes); plan applied with backup and history %.3f s\n",
                  count, read, planned, planned / read, applied, written, applied / written, whole);
      RemoveKeys(count);
    }

    // A file over the limit is refused before it is read.
    const std::wstring huge = files / L"huge.reg";
    {
      common::UniqueFileHandle file(
          CreateFileW(huge.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
      LARGE_INTEGER size{};
      size.QuadPart = 100ll << 20;
      SetFilePointerEx(file.get(), size, nullptr, FILE_BEGIN);
      SetEndOfFile(file.get());
    }
    const double start = Now();
    try {
      assoc::PlanRegistryFile(huge, assoc::TChangeOperation::Restore);
    } catch (const Exception&) {
    }
    std::printf("a 100 MB file refused in %.3f ms\n", (Now() - start) * 1000);
  } catch (const Exception& e) {
    std::fprintf(stderr, "bench_change: failed: %ls\n", e.Message().c_str());
    return 1;
  }
  return 0;
}
