#include "harvest/word_file.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "base/cp1251.h"
#include "base/text_tokens.h"

namespace kv::harvest {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw EWordFile(path + ": " + std::strerror(errno));
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) throw EWordFile(path + ": " + std::strerror(errno));
  return std::move(bytes).str();
}

// The whole text in Windows-1251: UTF-8 when it is valid UTF-8 (a text of
// plain ASCII is both), else taken as Windows-1251 already.
std::string AsCp1251(std::string_view text) {
  if (text.substr(0, kUtf8Bom.size()) == kUtf8Bom) text.remove_prefix(kUtf8Bom.size());
  if (text.empty()) return {};
  std::string converted = Utf8ToCp1251(text);
  // Malformed UTF-8 converts to nothing at all.
  return converted.empty() ? std::string(text) : converted;
}

}  // namespace

std::vector<std::string> ReadWordFile(const std::string& path) {
  const std::string text = AsCp1251(ReadWhole(path));
  std::vector<std::string> phrases;
  size_t line_number = 0;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    ++line_number;
    const std::string_view phrase = TrimView(std::string_view(text).substr(start, end - start));
    start = end + 1;
    if (phrase.empty()) continue;
    if (phrase.size() > kMaxPhraseLength) {
      throw EWordFile(path + ":" + std::to_string(line_number) + ": a line of more than " +
                      std::to_string(kMaxPhraseLength) + " characters is no keyword");
    }
    phrases.emplace_back(phrase);
  }
  return phrases;
}

}  // namespace kv::harvest
