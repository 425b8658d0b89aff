#pragma once
// Files of one phrase a line, as users keep seed lists and minus words: in
// UTF-8 (with or without a byte-order mark), or in Windows-1251 when the
// file is not valid UTF-8. Blank lines and the blanks around a line are
// dropped.
#include <string>
#include <vector>

#include "base/exception.h"

namespace kv::harvest {

// A file that cannot be read, or a line that is no phrase; the message
// names the file (and the line, "FILE:LINE: ...").
KV_DECLARE_EXCEPTION(EWordFile, Exception);

// A phrase longer than this is no keyword: the line is refused.
inline constexpr size_t kMaxPhraseLength = 1000;

// The phrases of `path` as Windows-1251 texts, in the file's order.
std::vector<std::string> ReadWordFile(const std::string& path);

}  // namespace kv::harvest
