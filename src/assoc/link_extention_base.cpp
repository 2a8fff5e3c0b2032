#include "assoc/link_extention_base.h"

#include "assoc/link_extention_winvista.h"

std::unique_ptr<TLinkExtentionBase> CreateLinkExtention(assoc::WindowsVersion v) {
  if (assoc::UsesVistaStore(v)) return std::make_unique<TLinkExtentionWinVista>();
  return std::make_unique<TLinkExtentionWinXp>();
}

std::unique_ptr<TLinkExtentionBase> CreateLinkExtention() { return CreateLinkExtention(assoc::RunningWindowsVersion()); }
