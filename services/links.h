#pragma once

// The product's addresses, shown by the main window, the about box and the HTML export's credit line.
namespace vellumark::links {

inline constexpr const char* kWebSite = "https://vellumark.org";
inline constexpr const char* kSupportMail = "support@vellumark.org";
inline constexpr const char* kHelpFileName = "Help.htm";
inline constexpr const char* kVersionText = "Vellumark V4.0";

}  // namespace vellumark::links
