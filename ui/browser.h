#pragma once
// Opening a web address in the desktop's browser, for the promotional links.

#include <string>

namespace kv::ui {

// The addresses behind the links in the top panel.
inline constexpr const char* kProgramsAddress = "https://example.com/kvornis/programs";
inline constexpr const char* kSellingTipsAddress = "https://example.com/kvornis/selling-tips";

// Opens `address` in a visible browser window and returns at once. Throws
// when the desktop has no browser to open it with.
void OpenInBrowser(const std::string& address);

}  // namespace kv::ui
