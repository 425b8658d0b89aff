// Minus words on the text list: the lines whose keyword holds one of the
// words the user applies go, the rest keep their order.

#include <string>
#include <string_view>
#include <vector>

#include "app/form_main.h"
#include "app/list_line_fields.h"
#include "app/minus_words.h"
#include "base/cp1251.h"
#include "base/int_conversion.h"

namespace kv {
namespace {

// One phrase a line; CR LF, a lone CR and a lone LF all end a line.
std::vector<std::string> PhrasesOf(std::string_view text) {
  std::vector<std::string> phrases;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    phrases.emplace_back(text.substr(start, end - start));
    if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') ++end;
    start = end + 1;
  }
  return phrases;
}

}  // namespace

void TFormMainModel::MinusWords1Click() {
  if (!MinusDialog1.Execute()) return;
  const MinusWords minus(PhrasesOf(MinusDialog1.Words()));
  const size_t count = MemoArea.LineCount();
  std::vector<size_t> kept;
  kept.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    if (!minus.Matches(KeywordOf(MemoArea.LineView(i)))) kept.push_back(i);
  }
  // An untouched list keeps its text as typed, a final line end or none.
  if (kept.size() < count) MemoArea.KeepLines(kept);
  StatusBar1.SetSimpleText(std::string("Удалено строк: "_w1251) + IntToStr(static_cast<int64_t>(count - kept.size())));
}

}  // namespace kv
