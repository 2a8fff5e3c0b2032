#pragma once
// The interface of an association store implementation - the plans of a register and a delete
// on the running Windows - and the factory that picks one.

#include <windows.h>

#include <memory>
#include <string>

#include "assoc/change_plan.h"
#include "assoc/link_extention.h"
#include "assoc/windows_version.h"

// One implementation of the store. It holds no state: everything lives in the registry.
class TLinkExtentionBase {
 public:
  virtual ~TLinkExtentionBase() = default;

  // Adds to builder the steps of a register of the five fields into the file type key TypeKey
  // (empty: "<extension without its dot>File"); raises Exception ("拡張子に間違いがあります。",
  // "レジストリを変更できませんでした。") for a refused extension before adding any. Reads only.
  virtual void PlanLink(assoc::TPlanBuilder& builder, const std::wstring& Extention, const std::wstring& Command,
                        const std::wstring& IconFile, int IconIndex, const std::wstring& FileType,
                        const std::wstring& TypeKey) = 0;
  // Adds to builder the steps of a delete and tells what becomes of the file type key; raises
  // Exception ("拡張子に間違いがあります。") for a refused extension before adding any. Reads only.
  virtual TLinkExtention::TUnlinkResult PlanUnlink(assoc::TPlanBuilder& builder, const std::wstring& Extention) = 0;
};

// A new implementation for Windows version v: the one with the per-user clean-up for 6.0
// and later, the classic one otherwise.
std::unique_ptr<TLinkExtentionBase> CreateLinkExtention(assoc::WindowsVersion v);

// A new implementation for the running Windows.
std::unique_ptr<TLinkExtentionBase> CreateLinkExtention();
