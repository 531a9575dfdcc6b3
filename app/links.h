#pragma once

// The maker's pages. Until the product has a public home page they live under the reserved
// .example domain, so no stranger's site is ever opened.
namespace app::links {

// Opened by the menu's web item.
inline constexpr char kMakerPage[] = "https://vurk-development.example/";
// Shown by the about window's address label.
inline constexpr char kAboutShownAddress[] = "https://vurk-development.example/";
// Opened by a click on that label: another page of the maker.
inline constexpr char kAboutLinkPage[] = "https://vurk-development.example/software/mailchecker/";

} // namespace app::links
