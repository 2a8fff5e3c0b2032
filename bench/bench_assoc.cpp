// Measures the association store on the real registry, inside a private copy of
// HKEY_CLASSES_ROOT and HKEY_CURRENT_USER, and prints the figures of this one run.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <cstdio>
#include <string>
#include <typeinfo>
#include <vector>

#include "assoc/change_apply.h"
#include "assoc/link_extention.h"
#include "assoc/link_extention_base.h"
#include "assoc/link_extention_winvista.h"
#include "assoc/link_extention_winxp.h"
#include "assoc/shell_assoc.h"
#include "assoc/windows_version.h"
#include "bench_clock.h"
#include "bench_registry.h"
#include "common/exception.h"
#include "common/handles.h"
#include "support/registry_sandbox.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The store's plan of a register or a delete, applied with no policy, backup or history.
void Link(const std::wstring& extension, const std::wstring& command, const std::wstring& icon, int index) {
  assoc::TChangePlan plan;
  assoc::TPlanBuilder builder(plan);
  CreateLinkExtention()->PlanLink(builder, extension, command, icon, index, L"", L"");
  assoc::ApplyPlan(plan);
  assoc::NotifyAssocChanged();
}

void Unlink(const std::wstring& extension) {
  assoc::TChangePlan plan;
  assoc::TPlanBuilder builder(plan);
  CreateLinkExtention()->PlanUnlink(builder, extension);
  assoc::ApplyPlan(plan);
  assoc::NotifyAssocChanged();
}

// Runs the whole cycle of the window's calls for about the given time; answers cycles per second.
double CyclesPerSecond(double seconds) {
  long cycles = 0;
  const Clock::time_point start = Clock::now();
  while (SecondsSince(start) < seconds) {
    Link(L".tavbench", L"\"C:\\x\\t.exe\" \"%1\"", L"C:\\x\\t.exe", 1);
    const assoc::TClassicRecord record = assoc::ReadClassicRecord(L".tavbench");
    if (record.Command.empty() || record.FileType.empty() || record.Icon.IconIndex != 1)
      throw Exception(L"cycle read back nothing");
    Unlink(L".tavbench");
    ++cycles;
  }
  return cycles / SecondsSince(start);
}

// Writes HKEY_CLASSES_ROOT\.big naming bigFile, and bigFile with count sub-keys of one value each.
void MakeWideAssociation(int count) {
  SetText(HKEY_CLASSES_ROOT, L".big", nullptr, L"bigFile");
  common::UniqueHKey parent;
  RegCreateKeyExW(HKEY_CLASSES_ROOT, L"bigFile", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, parent.put(), nullptr);
  for (int i = 0; i < count; ++i) {
    wchar_t name[16];
    swprintf(name, 16, L"k%05d", i);
    common::UniqueHKey child;
    RegCreateKeyExW(parent.get(), name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, child.put(), nullptr);
    SetText(child.get(), L"v", name);
  }
}

bool WideAssociationGone() {
  common::UniqueHKey key;
  return RegOpenKeyExW(HKEY_CLASSES_ROOT, L".big", 0, KEY_READ, key.put()) != ERROR_SUCCESS &&
         RegOpenKeyExW(HKEY_CLASSES_ROOT, L"bigFile", 0, KEY_READ, key.put()) != ERROR_SUCCESS;
}

// One line of round times in milliseconds, with their median and least.
void PrintTimes(const char* label, const std::vector<double>& seconds) {
  std::printf("    %-15s median %7.1f ms, least %7.1f ms  (rounds:", label, Median(seconds) * 1000, Least(seconds) * 1000);
  for (double t : seconds) std::printf(" %.1f", t * 1000);
  std::printf(")\n");
}

}  // namespace

int main() {
  testsupport::RegistrySandbox sandbox;
  if (!sandbox.Ok()) {
    std::fprintf(stderr, "bench_assoc: cannot redirect the registry roots\n");
    return 1;
  }
  try {
    const assoc::WindowsVersion version = assoc::RunningWindowsVersion();
    const std::unique_ptr<TLinkExtentionBase> chosen = CreateLinkExtention();
    const bool vista = typeid(*chosen) == typeid(TLinkExtentionWinVista);
    std::printf("bench_assoc: Windows %u.%u, implementation %s, registry roots redirected into a sandbox\n",
                version.Major, version.Minor, vista ? "TLinkExtentionWinVista" : "TLinkExtentionWinXp");

    {
      const auto quiet = assoc::NotifyAssocChanged.Replace([] {});
      std::printf("(a) register, read back, delete (planned and applied): %.0f cycles/s (change notice not sent)\n",
                  CyclesPerSecond(2.0));
    }
    std::printf("(a) register, read back, delete (planned and applied): %.0f cycles/s (with the shell's change notice)\n",
                CyclesPerSecond(2.0));

    constexpr int kSubKeys = 10000;
    constexpr int kRounds = 7;
    const auto quiet = assoc::NotifyAssocChanged.Replace([] {});
    std::vector<double> unlinkTimes;
    std::vector<double> treeTimes;
    for (int round = 0; round < kRounds; ++round) {
      // Alternate which one goes first, so that neither always meets a warmer registry.
      for (int turn = 0; turn < 2; ++turn) {
        const bool unlinkTurn = (turn == 0) == (round % 2 == 0);
        MakeWideAssociation(kSubKeys);
        const Clock::time_point start = Clock::now();
        if (unlinkTurn) {
          Unlink(L".big");
        } else {
          RegDeleteTreeW(HKEY_CLASSES_ROOT, L".big");
          RegDeleteTreeW(HKEY_CLASSES_ROOT, L"bigFile");
        }
        const double seconds = SecondsSince(start);
        if (!WideAssociationGone()) throw Exception(L"the wide association was not removed");
        (unlinkTurn ? unlinkTimes : treeTimes).push_back(seconds);
      }
    }
    std::printf("(b) %d sub-keys below the file type key, %d rounds each:\n", kSubKeys, kRounds);
    PrintTimes("Unlink", unlinkTimes);
    PrintTimes("RegDeleteTreeW", treeTimes);
    // Under Wine every registry call is a round trip to the wineserver, so other load on the
    // machine shows as slow rounds; the least times are the least disturbed ones.
    std::printf("    ratio Unlink / RegDeleteTreeW: %.2fx on the medians, %.2fx on the least (goal <= 1.5x)\n",
                Median(unlinkTimes) / Median(treeTimes), Least(unlinkTimes) / Least(treeTimes));
  } catch (const Exception& e) {
    std::fprintf(stderr, "bench_assoc: failed: %ls\n", e.Message().c_str());
    return 1;
  }
  return 0;
}
