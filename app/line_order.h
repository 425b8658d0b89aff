#pragma once
// The orders the list tools put the text list's lines in: the first
// occurrence of every line (Remove duplicates) and the order of the sort
// tool's quicksort (Sort by popularity).

#include <cstdint>
#include <vector>

#include "app/memo.h"
#include "base/collation.h"

namespace kv {

// The indices of the lines that equal no line before them (byte for byte,
// as read, cut after 4096 characters), ascending.
std::vector<size_t> FirstOccurrences(const TMemo& memo);

// The line indices in ascending order of the lines as read, by `collator`,
// in exactly the order the sort tool's quicksort leaves lines that compare
// equal.
std::vector<uint32_t> SortedLineOrder(const TMemo& memo, const TextCollator& collator);

}  // namespace kv
