#pragma once
// The HTML pages of the stand-in, built as UTF-8 text. pages.cpp describes
// the layout line by line; the client reads them by fixed positions, so the
// layout is the contract, not a matter of taste.

#include <string>
#include <string_view>
#include <vector>

#include "tools/stat_sim/keyword_set.h"

namespace kv::statsim {

struct FormPageShape {
  bool tm_before_key = false;   // the "tm" field line comes before the "key" one
  bool with_checkboxes = true;  // false: the "checkboxes" line is missing
};

// Deliberate faults of result pages, for tests of the client's edge rules.
struct ResultPageFaults {
  int blank_in_count_row = 0;      // 1..rows: that row's count gets a blank after its first digit
  bool table_at_end = false;       // the last row line is the page's last line
  bool thead_on_last_line = false; // the whole table on one line, the page's last
};

struct ResultPageContent {
  std::string seed;         // UTF-8, for display
  std::string seed_cp1251;  // the same seed as the client sent it, for links
  int page = 1;             // from 1
  int last_page = 1;
  std::vector<KeywordEntry> rows;
  std::vector<KeywordEntry> related;
};

std::string FormPage(const FormPageShape& shape);
std::string ResultPage(const ResultPageContent& content, const ResultPageFaults& faults);
// A page with a message and no result table (stale session, no keyword, no such page).
std::string NoTablePage(std::string_view seed, std::string_view message);

// What a client over the limits gets in place of the page it asked for: a
// captcha form (blocked), or a short note to come back later (too many
// requests). Neither holds a line that a result reader takes for a table.
std::string CaptchaPage();
std::string TooManyRequestsPage();

// Target of the link to result page `page` of a query (with "&amp;" between pairs).
std::string ResultPageLink(std::string_view seed_cp1251, int page);

}  // namespace kv::statsim
