#pragma once
// The maker's addresses on the web and its notices, each written once. The support site is written
// as users type it: it must fit the welcome window's link label. The redirect page is built
// from this file too: keep each a single line of the form  name = L"text";
namespace zeltra {

inline constexpr const wchar_t* makerWebSite = L"https://www.corvane.example";
inline constexpr const wchar_t* supportSite = L"zeltra.example";
inline constexpr const wchar_t* trademarkNotice = L"Corvane and Zeltra are trademarks of Razarid Urododidivivu.";
inline constexpr const wchar_t* rightsNotice = L"\u00A9 2026 Razarid Urododidivivu. All rights reserved.";

}  // namespace zeltra
