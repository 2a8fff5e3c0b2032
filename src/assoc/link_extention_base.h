#pragma once
// The interface of an association store implementation, and the factory that picks one.

#include <windows.h>

#include <memory>
#include <string>

#include "assoc/change_plan.h"
#include "assoc/link_extention.h"
#include "assoc/windows_version.h"
#include "common/seam.h"

// One implementation of the store. It holds no state: everything lives in the registry.
class TLinkExtentionBase {
 public:
  virtual ~TLinkExtentionBase() = default;

  // Writes the association, all or nothing; raises Exception (see TLinkExtention::Link).
  virtual void Link(const std::wstring& Extention, const std::wstring& Command, const std::wstring& IconFile,
                    int IconIndex, const std::wstring& FileType) = 0;
  // Removes the association and tells what became of the file type key; raises Exception for a
  // refused extension (see TLinkExtention::Unlink).
  virtual TLinkExtention::TUnlinkResult Unlink(const std::wstring& Extention) = 0;
  // Adds to builder the steps Link takes; raises what Link raises for a refused extension
  // before adding any. Reads only.
  virtual void PlanLink(assoc::TPlanBuilder& builder, const std::wstring& Extention, const std::wstring& Command,
                        const std::wstring& IconFile, int IconIndex, const std::wstring& FileType) = 0;
  // Adds to builder the steps Unlink takes and tells what becomes of the file type key; raises
  // what Unlink raises for a refused extension before adding any. Reads only.
  virtual TLinkExtention::TUnlinkResult PlanUnlink(assoc::TPlanBuilder& builder, const std::wstring& Extention) = 0;
  // The open command of the extension's file type, or empty. Never raises.
  virtual std::wstring GetCommand(const std::wstring& Extention) = 0;
  // The executable named at the start of the open command, or empty. Never raises.
  virtual std::wstring GetAppFile(const std::wstring& Extention) = 0;
  // The file type key name that the extension key names, or empty. Never raises.
  virtual std::wstring GetFileTypeKey(const std::wstring& Extention) = 0;
  // The shell's small icon for the extension, owned by the caller; null on failure.
  virtual HICON GetSmallIcon(const std::wstring& Extention) = 0;
  // The file type description, or empty. Never raises.
  virtual std::wstring GetFileType(const std::wstring& Extention) = 0;
  // The default icon of the file type; empty file and 0 when none. Never raises.
  virtual TLinkExtention::TIconInfo GetIconInfo(const std::wstring& Extention) = 0;
};

// A new implementation for Windows version v: the one with the per-user clean-up for 6.0
// and later, the classic one otherwise.
std::unique_ptr<TLinkExtentionBase> CreateLinkExtention(assoc::WindowsVersion v);

// A new implementation for the running Windows.
std::unique_ptr<TLinkExtentionBase> CreateLinkExtention();

namespace assoc {

// Makes the implementation that each TLinkExtention call uses and destroys:
// CreateLinkExtention(), unless a test stands in to watch the facade's ownership.
extern common::Seam<std::unique_ptr<TLinkExtentionBase>()> CreateFacadeImplementation;

}  // namespace assoc
