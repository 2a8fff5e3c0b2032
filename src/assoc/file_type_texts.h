#pragma once
// The sentences the reader and planner of a whole file type answer with (assoc/file_type.h).

namespace assoc::texts {

// Why a name cannot be a verb's name (VerbNameProblem).
inline constexpr wchar_t kVerbNameMissing[] = L"動作の名前を入力して下さい。";
inline constexpr wchar_t kVerbNameInvalid[] =
    L"動作の名前には、半角の英字、数字、「_」、「-」だけを 64 文字まで使えます。";
inline constexpr wchar_t kVerbNameTaken[] = L"同じ名前の動作がすでにあります。";

}  // namespace assoc::texts
