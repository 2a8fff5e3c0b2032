#include "assoc/link_extention_winvista.h"

#include "assoc/reg_paths.h"

namespace {

// Where the shell keeps its own per-user records of an extension, in the order they go.
constexpr const wchar_t* kShellRecordParents[] = {assoc::paths::kOpenSaveMruPath, assoc::paths::kFileExtsPath};

// Removes the shell's records of the extension that have no sub-keys; a record with sub-keys
// (the user's choice, Open with lists) stays.
void PlanShellRecords(assoc::TPlanBuilder& builder, const std::wstring& extention) {
  if (extention.empty() || extention.find_first_of(std::wstring(L"\\\0", 2)) != std::wstring::npos) return;
  for (const wchar_t* parent : kShellRecordParents) builder.DeleteKeyIfLeaf(parent + (L"\\" + extention));
}

}  // namespace

void TLinkExtentionWinVista::PlanLink(assoc::TPlanBuilder& builder, const std::wstring& Extention,
                                      const std::wstring& Command, const std::wstring& IconFile, int IconIndex,
                                      const std::wstring& FileType, const std::wstring& TypeKey) {
  PlanShellRecords(builder, Extention);
  TLinkExtentionWinXp::PlanLink(builder, Extention, Command, IconFile, IconIndex, FileType, TypeKey);
}

TLinkExtention::TUnlinkResult TLinkExtentionWinVista::PlanUnlink(assoc::TPlanBuilder& builder,
                                                                 const std::wstring& Extention) {
  PlanShellRecords(builder, Extention);
  return TLinkExtentionWinXp::PlanUnlink(builder, Extention);
}
