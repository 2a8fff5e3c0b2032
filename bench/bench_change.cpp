// Measures a restore through the change engine against the bare registry calls it stands on, for
// 1,000, 10,000 and 50,000 keys (inside the tests' registry sandbox): planning and checking
// against reading the keys, applying against writing them; a file over the size limit refused;
// and the memory planning a large file takes; and reading a 64 MB file in UTF-16 and as 8-bit
// text, its time and the heap it takes. Prints the figures of this one run.
#include <windows.h>
#include <psapi.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
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
#include "common/text.h"
#include "support/registry_sandbox.h"
#include "support/temp_files.h"

// The heap new hands out, now and at its highest: every allocation of this program is counted,
// so that a read's figure is what it holds beyond the file it is given.
std::atomic<long long> g_heapNow{0};
std::atomic<long long> g_heapPeak{0};

void* operator new(size_t size) {
  void* block = std::malloc(size ? size : 1);
  if (!block) throw std::bad_alloc();
  const long long now = g_heapNow += static_cast<long long>(_msize(block));
  for (long long peak = g_heapPeak; now > peak && !g_heapPeak.compare_exchange_weak(peak, now);) {
  }
  return block;
}

void operator delete(void* block) noexcept {
  if (!block) return;
  g_heapNow -= static_cast<long long>(_msize(block));
  std::free(block);
}

void operator delete(void* block, size_t) noexcept { operator delete(block); }

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

// The file as 8-bit text: the same lines in the ANSI code page (all of them ASCII here).
std::string EightBit(const std::string& utf16) {
  std::string text;
  text.reserve(utf16.size() / 2);
  for (size_t i = 2; i + 1 < utf16.size(); i += 2) text += utf16[i];
  return text;
}

// Reads the file three times and prints the quickest read and the heap a read took above what
// was in use before it: at its peak, and what the document keeps.
void MeasureRead(const char* what, const std::string& bytes) {
  std::vector<double> times;
  long long peak = 0;
  long long kept = 0;
  size_t keys = 0;
  for (int round = 0; round < 3; ++round) {
    const long long before = g_heapNow;
    g_heapPeak = before;
    const double start = Now();
    const assoc::TRegDocument document = assoc::ReadRegFile(bytes);
    times.push_back(Now() - start);
    peak = g_heapPeak - before;
    kept = g_heapNow - before;
    keys = document.Keys.size();
  }
  const double mb = 1048576.0;
  std::printf("read, %s: a %.1f MB file, %zu keys, in %.3f s (quickest of 3); heap at its peak %.1f MB above the "
              "file: the document's %.1f MB and %.1f MB besides (%.2fx the file)\n",
              what, bytes.size() / mb, keys, Least(times), peak / mb, kept / mb, (peak - kept) / mb,
              static_cast<double>(peak - kept) / static_cast<double>(bytes.size()));
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

    // Reading a file of the largest size read back, written by the tool and as 8-bit text (after the
    // process-wide figures above, which its peak would cover; its own are counted on the heap).
    {
      std::string utf16 = TypicalFile(86000);
      MeasureRead("UTF-16 with its mark", utf16);
      const std::string eightBit = EightBit(TypicalFile(172000));
      utf16.clear();
      utf16.shrink_to_fit();
      MeasureRead("8-bit text in the ANSI code page", eightBit);
    }
    {
      // The longest line there can be: one value that fills the file, decoded as one line.
      const std::string oneLine = "REGEDIT4\r\n[HKEY_CLASSES_ROOT\\.b]\r\n@=\"" + std::string(64 << 20, 'x') + "\"\r\n";
      MeasureRead("8-bit text, one value of 64 MB", oneLine);
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

    // A typical export just under the largest size read back (86,000 extensions would be over
    // it), planned and checked against a tree without its keys, against the bare calls that look
    // each key up.
    {
      const std::string bytes = TypicalFile(85000);
      const std::wstring path = testsupport::Written(files / L"large.reg", bytes);
      const assoc::TRegDocument document = assoc::ReadRegFile(bytes);
      const double readStart = Now();
      for (const assoc::TRegKey& key : document.Keys) {
        common::UniqueHKey opened;
        RegOpenKeyExW(HKEY_CLASSES_ROOT, key.Path.substr(18).c_str(), 0, KEY_QUERY_VALUE, opened.put());
      }
      const double read = Now() - readStart;
      const double planStart = Now();
      const assoc::TChangePlan plan = assoc::PlanRegistryFile(path, assoc::TChangeOperation::Import);
      const double planned = Now() - planStart;
      std::printf("a %.1f MB file of %zu keys planned and checked in %.3f s; its keys looked up in %.3f s (%.2fx)\n",
                  bytes.size() / 1048576.0, document.Keys.size(), planned, read, planned / read);
    }

    // 16,000 values in one key, the key there with other data: the plan against reading them.
    {
      constexpr int kValues = 16000;
      common::UniqueHKey key;
      RegCreateKeyExW(HKEY_CLASSES_ROOT, L".many", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr);
      std::wstring text = L"\xFEFFWindows Registry Editor Version 5.00\r\n\r\n[HKEY_CLASSES_ROOT\\.many]\r\n";
      for (int i = 0; i < kValues; ++i) {
        const std::wstring name = L"v" + std::to_wstring(i), old = L"old", data = L"new" + std::to_wstring(i);
        RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(old.c_str()), 8);
        text += L"\"" + name + L"\"=\"" + data + L"\"\r\n";
      }
      const std::wstring path = testsupport::Written(
          files / L"many.reg", std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t)));
      const double readStart = Now();
      for (int i = 0; i < kValues; ++i) {
        BYTE data[64];
        DWORD size = sizeof data;
        RegQueryValueExW(key.get(), (L"v" + std::to_wstring(i)).c_str(), nullptr, nullptr, data, &size);
      }
      const double read = Now() - readStart;
      const double planStart = Now();
      const assoc::TChangePlan plan = assoc::PlanRegistryFile(path, assoc::TChangeOperation::Import);
      const double planned = Now() - planStart;
      std::printf("%d values of one key planned and checked in %.3f s (%zu steps); read in %.3f s (%.2fx)\n", kValues,
                  planned, plan.Steps.size(), read, planned / read);
      key.reset();
      RegDeleteTreeW(HKEY_CLASSES_ROOT, L".many");
    }

    // Files the policy or the reader refuse whole, timed to their refusal.
    struct Refused {
      const char* what;
      std::wstring section;
    };
    std::wstring deep = L"[HKEY_CLASSES_ROOT\\.deep";
    for (int level = 0; level < 6000; ++level) deep += L"\\a";
    const Refused refusals[] = {{"6,000 levels", deep + L"]"},
                                {"the machine's classes removed", L"[-HKEY_LOCAL_MACHINE\\Software\\Classes]"}};
    for (const Refused& r : refusals) {
      const std::wstring text = L"\xFEFFWindows Registry Editor Version 5.00\r\n\r\n" + r.section + L"\r\n";
      const std::wstring path = testsupport::Written(
          files / L"refused.reg", std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t)));
      const double refusedStart = Now();
      try {
        assoc::PlanRegistryFile(path, assoc::TChangeOperation::Import);
        std::printf("%s: not refused\n", r.what);
      } catch (const Exception&) {
        std::printf("%s: refused in %.3f ms\n", r.what, (Now() - refusedStart) * 1000);
      }
    }
  } catch (const Exception& e) {
    std::fprintf(stderr, "bench_change: failed: %s\n", common::Utf8(e.Message()).c_str());
    return 1;
  }
  return 0;
}
