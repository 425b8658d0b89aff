#include "http/header_list.h"

#include <algorithm>
#include <bit>
#include <cstdint>

#include "base/text_tokens.h"
#include "http/folding.h"

namespace kv {
namespace {

// CR and LF that do not introduce a folded continuation become blanks, from
// `from` on.
void NeutraliseLineBreaks(std::string& result, size_t from) {
  const std::string_view rest = std::string_view(result).substr(from);
  if (rest.find('\r') == std::string_view::npos && rest.find('\n') == std::string_view::npos) return;
  for (size_t i = from; i < result.size(); ++i) {
    if (result[i] != '\r' && result[i] != '\n') continue;
    const bool fold = result[i] == '\r' && i + 2 < result.size() && result[i + 1] == '\n' &&
                      (result[i + 2] == ' ' || result[i + 2] == '\t');
    if (fold) {
      i += 2;
    } else {
      result[i] = ' ';
    }
  }
}

// The position of `separator` (ValueSeparator right-trimmed) in `line`, or
// npos: the length of the line's name.
size_t NameLengthWith(std::string_view line, std::string_view separator) noexcept {
  if (separator.size() == 1) return line.find(separator.front());  // ":", nearly always
  if (separator.empty()) return std::string_view::npos;
  return line.find(separator);
}

}  // namespace

bool TIdHeaderList::IsContinuationLine(std::string_view line) noexcept {
  return !line.empty() && (line.front() == ' ' || line.front() == '\t');
}

size_t TIdHeaderList::NameLength(std::string_view line) const noexcept {
  return NameLengthWith(line, TrimRightView(ValueSeparator));
}

std::string_view TIdHeaderList::NameView(std::string_view line) const noexcept {
  size_t length = NameLength(line);
  return length == std::string_view::npos ? std::string_view() : line.substr(0, length);
}

auto TIdHeaderList::NameTest(std::string_view name) const noexcept {
  const std::string_view separator = TrimRightView(ValueSeparator);
  // A name without the separator's first character: a line's first
  // separator lies past the name's length, so the name is the line's
  // exactly when the separator follows right after it.
  const bool in_place =
      !separator.empty() && !name.empty() && name.find(separator.front()) == std::string_view::npos;
  return [this, name, separator, in_place](std::string_view line) {
    if (!in_place) return SameTextAscii(NameView(line), name);
    // Most lines are told apart by the one byte after the name's length.
    return line.size() >= name.size() + separator.size() && line[name.size()] == separator.front() &&
           line.substr(name.size() + 1, separator.size() - 1) == separator.substr(1) &&
           SameTextAscii(line.substr(0, name.size()), name);
  };
}

bool TIdHeaderList::LineHasName(int index, std::string_view name) const {
  return index >= 0 && index < Count() && NameTest(name)((*this)[index]);
}

int TIdHeaderList::IndexOfHeader(std::string_view name) const {
  const auto names = NameTest(name);
  for (int i = 0; i < Count(); ++i)
    if (names((*this)[i])) return i;
  return -1;
}

void TIdHeaderList::AssignValueOfLine(int index, size_t length, std::string& value) const {
  const std::string& line = (*this)[index];
  const bool continued = UnfoldOnRead && index + 1 < Count() && IsContinuationLine((*this)[index + 1]);
  if (continued) {
    value = ValueOfLine(index);
    return;
  }
  // A value on one line is a slice of it, copied into the storage `value`
  // already has.
  const size_t start = (length == std::string_view::npos ? 0 : length) + 1;
  value.assign(TrimView(start < line.size() ? std::string_view(line).substr(start) : std::string_view()));
}

void TIdHeaderList::ValuesOf(std::span<const WantedValue> wanted, std::span<const WantedValues> every) const {
  for (const auto& [name, value] : wanted) value->clear();
  const size_t count = std::min<size_t>(wanted.size(), 32);
  // The wanted names by length (the longest ones share the last slot): a
  // line is compared only with names as long as its own, mostly none or one.
  constexpr size_t kSlots = 64;
  auto slot = [](size_t length) { return std::min(length, kSlots - 1); };
  uint32_t by_length[kSlots] = {};
  const WantedValue* pairs = wanted.data();
  for (size_t k = 0; k < count; ++k) by_length[slot(pairs[k].first.size())] |= uint32_t{1} << k;
  // The lengths of the names gathered in full, to pass over other lines
  // without comparing.
  uint64_t every_lengths = 0;
  for (const auto& [name, list] : every) every_lengths |= uint64_t{1} << slot(name.size());
  const std::string_view separator = TrimRightView(ValueSeparator);
  // A name found on a line is not looked for below it: the first line of
  // a name gives its value.
  uint32_t open = count == 32 ? ~uint32_t{0} : (uint32_t{1} << count) - 1;
  for (int i = 0; i < Count() && (open != 0 || !every.empty()); ++i) {
    const std::string& line = (*this)[i];
    const size_t found = NameLengthWith(line, separator);
    const size_t length = found == std::string_view::npos ? 0 : found;  // no separator: the empty name
    uint32_t candidates = open & by_length[slot(length)];
    while (candidates != 0) {
      const int k = std::countr_zero(candidates);
      candidates &= candidates - 1;
      if (SameTextAscii(std::string_view(line).substr(0, length), pairs[k].first)) {
        AssignValueOfLine(i, found, *pairs[k].second);
        open &= ~(uint32_t{1} << k);
      }
    }
    if ((every_lengths >> slot(length) & 1) == 0) continue;
    for (const auto& [name, list] : every) {
      if (SameTextAscii(std::string_view(line).substr(0, length), name)) list->Add(ValueOfLine(i));
    }
  }
}

std::string TIdHeaderList::NameOfLine(int index) const {
  if (index < 0 || index >= Count()) return {};
  const std::string& line = (*this)[index];
  size_t length = NameLength(line);
  if (length == std::string_view::npos) return {};
  std::string name = line.substr(0, length);
  return CaseSensitiveNames ? name : UpperCaseAscii(name);
}

std::string TIdHeaderList::ValueOfLine(int index) const {
  if (index < 0 || index >= Count()) return {};
  const std::string& line = (*this)[index];
  size_t length = NameLength(line);
  // The value starts after the name and its ":"; a line without ":" has an
  // empty name, so its value starts at its second character.
  size_t start = (length == std::string_view::npos ? 0 : length) + 1;
  std::string value(TrimView(start < line.size() ? std::string_view(line).substr(start) : std::string_view()));
  if (UnfoldOnRead) {
    for (int next = index + 1; next < Count() && IsContinuationLine((*this)[next]); ++next) {
      value.erase(TrimRightView(value).size());
      value += ' ';
      value += TrimView((*this)[next]);
    }
  }
  // Trimmed in place: most values need nothing cut.
  const std::string_view trimmed = TrimView(value);
  if (trimmed.size() != value.size()) value = std::string(trimmed);
  return value;
}

void TIdHeaderList::SetValueOf(std::string_view name, std::string_view value) {
  int index = IndexOfHeader(name);
  if (value.empty()) {
    if (index < 0) return;
    if (FoldOnWrite) DeleteContinuations(index);
    Delete(index);
    return;
  }
  if (index < 0) {
    AppendValue(name, value);
    return;
  }
  PutValue(index, name, value);
}

std::string TIdHeaderList::LineOf(std::string_view name, std::string_view value) {
  std::string line = SpareLine();
  line.reserve(name.size() + ValueSeparator.size() + value.size());
  line.append(name).append(ValueSeparator);
  const size_t value_start = line.size();
  line.append(value);
  NeutraliseLineBreaks(line, value_start);
  return line;
}

void TIdHeaderList::AppendValue(std::string_view name, std::string_view value) {
  if (value.empty()) return;
  // PutValue on a new last line, built in place: nothing follows it to
  // drop, and most lines need no folding.
  std::string line = LineOf(name, value);
  if (FoldOnWrite) {
    if (!FitsUnfolded(line)) {
      Add(std::string());
      ReplaceFolded(line, Count() - 1);
      return;
    }
    line.resize(TrimRightView(line).size());
  }
  Add(std::move(line));
}

void TIdHeaderList::PutValue(int index, std::string_view name, std::string_view value) {
  std::string line = LineOf(name, value);
  if (FoldOnWrite) {
    DeleteContinuations(index);
    if (FitsUnfolded(line)) {
      line.resize(TrimRightView(line).size());
      Put(index, std::move(line));
    } else {
      ReplaceFolded(line, index);
    }
  } else {
    Put(index, std::move(line));
  }
}

void TIdHeaderList::ExtractAll(std::string_view name, StringList* destination) const {
  if (destination == nullptr) return;
  const auto names = NameTest(name);
  for (int i = 0; i < Count(); ++i)
    if (names((*this)[i])) destination->Add(ValueOfLine(i));
}

void TIdHeaderList::DeleteContinuations(int index) {
  if (index < 0 || index >= Count()) return;
  int end = index + 1;
  while (end < Count() && IsContinuationLine((*this)[end])) ++end;
  DeleteRange(index + 1, end - index - 1);
}

StringList TIdHeaderList::FoldedPieces(std::string_view text) const {
  // The name and its separator stay together: a break after "Name:" would
  // leave the name alone on its line without shortening anything.
  size_t keepTogether = 0;
  const size_t length = NameLength(text);
  if (length != std::string_view::npos && text.substr(length).starts_with(ValueSeparator))
    keepTogether = length + ValueSeparator.size();
  const std::string wrapped = WrapForFolding(text, "\r\n ", "\t ,", FoldWidth, keepTogether);
  StringList pieces;
  std::string_view rest = wrapped;
  while (!rest.empty()) {
    size_t at = rest.find("\r\n");
    std::string_view piece = at == std::string_view::npos ? rest : rest.substr(0, at);
    pieces.Add(TrimRight(piece));
    rest = at == std::string_view::npos ? std::string_view() : rest.substr(at + 2);
  }
  return pieces;
}

bool TIdHeaderList::FitsUnfolded(std::string_view text) const noexcept {
  // A line shorter than the fold width, with no break of its own, stays one
  // line whatever its characters: most lines, so they skip the folding.
  return !text.empty() && static_cast<long>(text.size()) < FoldWidth && text.find('\r') == std::string_view::npos;
}

void TIdHeaderList::ReplaceFolded(std::string_view text, int index) {
  if (FitsUnfolded(text)) {
    Put(index, TrimRight(text));
    return;
  }
  StringList pieces = FoldedPieces(text);
  if (pieces.Empty()) {
    Put(index, std::string());
    return;
  }
  Put(index, pieces[pieces.Count() - 1]);
  for (int i = pieces.Count() - 2; i >= 0; --i) Insert(index, pieces[i]);
}

}  // namespace kv
