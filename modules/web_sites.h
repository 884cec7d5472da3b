#pragma once
// The maker's addresses on the web, each written once.
namespace zeltra {

inline constexpr const wchar_t* makerWebSite = L"https://www.corvane.example";
inline constexpr const wchar_t* supportSite = L"https://support.corvane.example";

}  // namespace zeltra
