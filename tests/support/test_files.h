#pragma once
// Files that tests read and write: the build's test data, system files, scratch files.

#include <string>

namespace testsupport {

// A file of the build's test data folder (build\testdata: the icon libraries, app.ico).
std::wstring TestData(const std::wstring& name);
// The system's shell32.dll, which holds many icons.
std::wstring SystemShell32();
// A fresh folder below the temporary folder whose name holds Japanese and blanks.
std::wstring ScratchFolder();
// Writes bytes to path, replacing it; answers the path.
std::wstring WriteFileBytes(const std::wstring& path, const std::string& bytes);
// The whole content of a file (empty when it cannot be read).
std::string ReadFileBytes(const std::wstring& path);

}  // namespace testsupport
