#include "ui/shell.h"

#include <shellapi.h>

namespace ui {

common::Seam<void(const ShellRequest&)> ShellExecuteSeam(&RunRealShellExecute);

void RunRealShellExecute(const ShellRequest& request) {
  auto orNull = [](const std::wstring& text) { return text.empty() ? nullptr : text.c_str(); };
  ShellExecuteW(request.owner, orNull(request.verb), request.file.c_str(), orNull(request.parameters),
                orNull(request.directory), request.show);
}

}  // namespace ui
