// A page of the keyword service as the digging commands read it: the form
// scan, the result table with its paging link, the one-line broad table.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "app/memo.h"
#include "digging/page_readers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  kv::TMemo page;
  page.SetText(text);
  (void)kv::HiddenFieldsQuery(page);

  for (kv::TableKind kind : {kv::TableKind::kGet, kv::TableKind::kDeep, kv::TableKind::kBroad}) {
    (void)kv::ReadResultPage(page, kind);
  }
  return 0;
}
