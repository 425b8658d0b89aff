#include "base/list_line.h"

namespace kv {

std::string AlignCount(std::string_view count) {
  std::string aligned;
  if (count.size() < kListCountWidth) aligned.assign(kListCountWidth - count.size(), ' ');
  aligned += count;
  return aligned;
}

void AppendListLine(std::string& out, std::string_view count, std::string_view keyword) {
  if (count.size() < kListCountWidth) out.append(kListCountWidth - count.size(), ' ');
  out += count;
  out += kListSeparator;
  out += keyword;
}

}  // namespace kv
