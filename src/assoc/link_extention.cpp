#include "assoc/link_extention.h"

#include "assoc/link_extention_base.h"

namespace assoc {

common::Seam<std::unique_ptr<TLinkExtentionBase>()> CreateFacadeImplementation(&CreateLinkExtention);

}  // namespace assoc

namespace TLinkExtention {

// Each call owns its implementation in a local, so it goes on every way out, also while an
// error passes on to the caller untouched.

void Link(const std::wstring& Extention, const std::wstring& Command, const std::wstring& IconFile, int IconIndex,
          const std::wstring& FileType) {
  const std::unique_ptr<TLinkExtentionBase> store = assoc::CreateFacadeImplementation();
  store->Link(Extention, Command, IconFile, IconIndex, FileType);
}

TUnlinkResult Unlink(const std::wstring& Extention) {
  const std::unique_ptr<TLinkExtentionBase> store = assoc::CreateFacadeImplementation();
  return store->Unlink(Extention);
}

std::wstring GetCommand(const std::wstring& Extention) {
  const std::unique_ptr<TLinkExtentionBase> store = assoc::CreateFacadeImplementation();
  return store->GetCommand(Extention);
}

std::wstring GetFileType(const std::wstring& Extention) {
  const std::unique_ptr<TLinkExtentionBase> store = assoc::CreateFacadeImplementation();
  return store->GetFileType(Extention);
}

TIconInfo GetIconInfo(const std::wstring& Extention) {
  const std::unique_ptr<TLinkExtentionBase> store = assoc::CreateFacadeImplementation();
  return store->GetIconInfo(Extention);
}

}  // namespace TLinkExtention
