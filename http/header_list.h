#pragma once
// Header lines "Name: value" in the order they were received or set. Lookups
// ignore the case of names. A line that begins with a blank or a tab
// continues the line above it; reading a value joins such lines, and setting
// a long value folds it into such lines.

#include <initializer_list>
#include <span>
#include <string>
#include <utility>
#include <string_view>

#include "base/string_list.h"

namespace kv {

class TIdHeaderList : public StringList {
 public:
  TIdHeaderList() = default;

  std::string ValueSeparator = ": ";  // its right-trimmed form ends a name
  bool CaseSensitiveNames = false;    // when false, NameOfLine upper-cases
  bool UnfoldOnRead = true;
  bool FoldOnWrite = true;
  long FoldWidth = 78;

  // Not empty and beginning with a blank or a tab.
  static bool IsContinuationLine(std::string_view line) noexcept;

  // The first line whose name equals `name` ignoring case, or -1.
  int IndexOfHeader(std::string_view name) const;
  // The text before the first ":" (upper-cased unless CaseSensitiveNames),
  // not trimmed; empty for a line without ":" or an index outside the list.
  std::string NameOfLine(int index) const;
  // Whether line `index` has the name `name`, letter case aside (false
  // outside the list).
  bool LineHasName(int index, std::string_view name) const;
  // The value of line `index`, trimmed, with the continuation lines below it
  // joined by single blanks when UnfoldOnRead; empty outside the list.
  std::string ValueOfLine(int index) const;
  std::string ValueOf(std::string_view name) const { return ValueOfLine(IndexOfHeader(name)); }
  // ValueOf for several names (at most 32), with one pass over the lines:
  // each (name, value) pair gets that name's value.
  // In the same pass, each (name, list) of `every` gets the value of every
  // line of that name added, as ExtractAll does.
  using WantedValue = std::pair<std::string_view, std::string*>;
  using WantedValues = std::pair<std::string_view, StringList*>;
  void ValuesOf(std::span<const WantedValue> wanted, std::span<const WantedValues> every = {}) const;
  void ValuesOf(std::initializer_list<WantedValue> wanted) const { ValuesOf(std::span(wanted.begin(), wanted.size())); }

  // Replaces the first line of `name` in place (dropping its continuation
  // lines) or appends one; a long line is folded when FoldOnWrite. An empty
  // value removes the first line of that name. CR and LF inside the value
  // become blanks unless they form a fold (CR LF followed by a blank or a
  // tab), so a value can never start a header line of its own.
  void SetValueOf(std::string_view name, std::string_view value);
  // SetValueOf for a name the list does not have yet, without looking for
  // it: what composing a head from distinct names needs.
  void AppendValue(std::string_view name, std::string_view value);

  // Appends to `destination` the value of every line named `name`, in list
  // order. Nothing happens without a destination.
  void ExtractAll(std::string_view name, StringList* destination) const;

  // Removes the continuation lines that directly follow line `index`.
  void DeleteContinuations(int index);
  // `text` folded at FoldWidth, one piece per output line, each piece
  // right-trimmed; continuation pieces begin with a blank.
  StringList FoldedPieces(std::string_view text) const;
  // Puts the pieces of `text` at `index` on, replacing the line there.
  void ReplaceFolded(std::string_view text, int index);

 private:
  // The length of the name of `line` (the bytes before the separator's
  // right-trimmed form), or npos when it has none.
  size_t NameLength(std::string_view line) const noexcept;
  // The name of `line`, empty when it has none.
  std::string_view NameView(std::string_view line) const noexcept;
  // ValueOfLine(index) for an index inside the list whose name is `length`
  // long (NameLength), assigned to `value`.
  void AssignValueOfLine(int index, size_t length, std::string& value) const;
  // A test of whether a line's name is `name` (letter case aside): NameView's
  // answer, without searching each line for its separator when the name
  // cannot hold one. Defined and used in the source file only.
  auto NameTest(std::string_view name) const noexcept;
  // "name" ValueSeparator "value" with the value's stray line breaks made
  // blanks, in the storage of a cleared line if any is left.
  std::string LineOf(std::string_view name, std::string_view value);
  // Writes "name: value" as line `index` on (folded when FoldOnWrite),
  // replacing that line and its continuation lines.
  void PutValue(int index, std::string_view name, std::string_view value);
  // Whether folding `text` gives `text` itself, right-trimmed.
  bool FitsUnfolded(std::string_view text) const noexcept;
};

}  // namespace kv
