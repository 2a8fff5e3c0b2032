#pragma once
// Paths of the build tree for the version, About box and help tests.

#include <string>

// A file of the build directory (the tool, its help file), found from this test's own path.
std::wstring BuildFile(const std::wstring& name);
// A file of the build's test data folder.
std::wstring TestData(const std::wstring& name);
