// Measures the delete with its guard on a large classes root (inside the tests' registry
// sandbox): the one pass that finds the other extensions naming a file type, the whole delete,
// and the backup taken before it, for several sizes so that growth shows. Prints the figures of
// this one run.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "assoc/backup_store.h"
#include "assoc/change_engine.h"
#include "assoc/change_apply.h"
#include "assoc/link_extention_base.h"
#include "assoc/type_users.h"
#include "assoc/safety.h"
#include "assoc/shell_assoc.h"
#include "bench_clock.h"
#include "bench_registry.h"
#include "common/exception.h"
#include "common/handles.h"
#include "support/registry_sandbox.h"
#include "support/temp_files.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void SetDefault(const std::wstring& path, const std::wstring& text) {
  if (!SetText(HKEY_CLASSES_ROOT, path, nullptr, text)) throw Exception(L"cannot create " + path);
}

// Grows the classes root to count extension keys, each naming a file type key of its own that
// holds an open command, as a well-used system has them.
void GrowClassesRoot(int from, int count) {
  for (int i = from; i < count; ++i) {
    wchar_t extension[16], fileType[16];
    swprintf(extension, 16, L".e%05d", i);
    swprintf(fileType, 16, L"t%05dfile", i);
    SetDefault(extension, fileType);
    SetDefault(std::wstring(fileType) + L"\\shell\\open\\command", L"\"C:\\x\\app.exe\" \"%1\"");
  }
}

// The association the delete removes: its own file type key with a small tree.
void MakeTarget() {
  SetDefault(L".target", L"targetfile");
  SetDefault(L"targetfile", L"Target");
  SetDefault(L"targetfile\\DefaultIcon", L"C:\\x\\app.exe,1");
  SetDefault(L"targetfile\\shell\\open\\command", L"\"C:\\x\\app.exe\" \"%1\"");
}

// Lists the names of the classes root's sub-keys and nothing more: the floor under the pass.
int EnumerateClassesRoot() {
  wchar_t name[257];
  int count = 0;
  for (DWORD index = 0;; ++index) {
    DWORD length = 257;
    if (RegEnumKeyExW(HKEY_CLASSES_ROOT, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      return count;
    ++count;
  }
}

void PrintTimes(const char* label, int extensions, const std::vector<double>& seconds) {
  std::printf("    %-28s median %8.1f ms, least %8.1f ms, %6.2f us per extension (rounds:", label,
              Median(seconds) * 1000, Least(seconds) * 1000, Least(seconds) * 1e6 / extensions);
  for (double t : seconds) std::printf(" %.1f", t * 1000);
  std::printf(")\n");
}

}  // namespace

int main() {
  testsupport::RegistrySandbox sandbox;
  if (!sandbox.Ok()) {
    std::fprintf(stderr, "bench_assoc_delete: cannot redirect the registry roots\n");
    return 1;
  }
  try {
    testsupport::TempFolder appData;
    const auto folder = assoc::MachineDataFolder.Replace([&] { return appData.Path(); });
    const auto quiet = assoc::NotifyAssocChanged.Replace([] {});
    constexpr int kRounds = 5;
    std::printf("bench_assoc_delete: registry roots redirected into a sandbox, change notice not sent, %d rounds\n",
                kRounds);

    int grown = 0;
    for (int size : {2500, 5000, 10000}) {
      GrowClassesRoot(grown, size);
      grown = size;
      std::vector<double> enumeration, pass, unlink, engine;
      for (int round = 0; round < kRounds; ++round) {
        MakeTarget();
        Clock::time_point start = Clock::now();
        if (EnumerateClassesRoot() != 2 * size + 2) throw Exception(L"the classes root holds other keys");
        enumeration.push_back(SecondsSince(start));

        start = Clock::now();
        const assoc::TTypeUsers users;
        pass.push_back(SecondsSince(start));
        if (!users.Others(L"targetfile", {L".target"}).empty()) throw Exception(L"the pass found a sharing extension");

        start = Clock::now();
        assoc::TChangePlan plan;
        assoc::TPlanBuilder builder(plan);
        const TLinkExtention::TUnlinkResult result = CreateLinkExtention()->PlanUnlink(builder, L".target");
        assoc::ApplyPlan(plan);
        unlink.push_back(SecondsSince(start));
        if (result.Kept != TLinkExtention::TFileTypeKept::No) throw Exception(L"the file type key was kept");

        MakeTarget();
        start = Clock::now();
        TLinkExtention::TUnlinkResult judged;
        assoc::ExecuteChange(assoc::PlanUnlink(L".target", judged));
        engine.push_back(SecondsSince(start));
        if (judged.Kept != TLinkExtention::TFileTypeKept::No) throw Exception(L"the file type key was kept");
      }
      std::printf("(%d) %d extension keys and %d file type keys in the classes root:\n", size, size, size);
      PrintTimes("listing the sub-keys alone", size, enumeration);
      PrintTimes("pass over every reference", size, pass);
      PrintTimes("delete planned and applied", size, unlink);
      PrintTimes("delete as the window does (plan, policy, backup, apply, history)", size, engine);
    }
  } catch (const Exception& e) {
    std::fprintf(stderr, "bench_assoc_delete: failed: %ls\n", e.Message().c_str());
    return 1;
  }
  return 0;
}
