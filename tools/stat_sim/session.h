#pragma once
// What the form page hands out and the result pages ask back: a session
// cookie and the hidden "key" and "tm" form values. They are fixed, so that
// every run serves the same bytes; a result request that lacks one of them
// gets the page without a result table, as a stale session would.

#include <string_view>

namespace kv::statsim {

inline constexpr std::string_view kServicePath = "/stat/wordsstat.pl";
inline constexpr std::string_view kCookieName = "wsid";
inline constexpr std::string_view kCookieValue = "5e1f0c7a29b34d86";
inline constexpr std::string_view kFormKey = "c0ffee5a1b2d3e4f";
inline constexpr std::string_view kFormTm = "1136073600";

}  // namespace kv::statsim
