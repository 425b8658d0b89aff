// A page of the keyword service as the digging commands read it: the form
// scan, the result table with its paging link, the one-line broad table.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "app/controls.h"
#include "app/memo.h"
#include "digging/page_readers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  kv::TMemo page;
  page.SetText(text);
  (void)kv::HiddenFieldsQuery(page);

  kv::TStringGrid grid;
  kv::TMemo list;
  kv::RowTarget target{grid, list, 1};
  for (auto is_table_line : {kv::IsGetTableLine, kv::IsDeepTableLine}) {
    if (auto first = kv::FindTableLine(page, is_table_line)) {
      const kv::TableEnd end = kv::ReadResultTable(page, *first, target);
      (void)kv::NextPageTarget(end.last_line_rest);
    }
  }
  if (auto first = kv::FindTableLine(page, kv::IsBroadTableLine)) {
    (void)kv::ReadBroadTable(page.Line(*first), target);
  }
  return 0;
}
