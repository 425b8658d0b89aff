#pragma once
// A header record's fields as one table. Each row gives a field's header
// name, its member, the form its value takes in the header text, and the
// steps it takes part in; the record's reset, compose, parse and copy walk
// the rows, so that each field is named in one place. What is not a field's
// own rule (the credentials' line, the custom lines) stays a step of the
// record.

#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "base/date_time.h"
#include "http/header_list.h"

namespace kv {

// The form a field's value takes in its header text. A field is composed
// only when its text is not empty.
enum class TFieldForm : uint8_t {
  kText,          // the text itself
  kLength,        // a decimal length, -1 when there is none; no text when < 0
  kDate,          // an internet date in local time; no text when <= 0
  kExpires,       // written as kDate; read as seconds from now, or as a date
  kRange,         // "bytes=START-END" ("bytes=START-" when END is 0), no text
                  // when both are 0; read leniently, see ReadRange
  kContentRange,  // "UNIT START-END/...", read only, see ReadContentRange
  kEveryLine,     // the value of every line of the name, as a list; read only
  kFlag,          // a yes or no without a text: reset and copied only
};

// The steps a field takes part in, or-ed together.
enum TFieldStep : uint8_t {
  fsReset = 1,    // ResetFields gives it its initial value
  fsCompose = 2,  // ComposeHeaders writes its line
  fsParse = 4,    // ParseHeaders reads it
  fsCopy = 8,     // Assign copies it
  fsAll = fsReset | fsCompose | fsParse | fsCopy,
};

// A length with whether it is known: a read sets both, a reset and a copy
// only the length.
template <class Record>
struct TLengthMembers {
  int64_t Record::*length;
  bool Record::*known;
};

// The two bounds of a byte range.
template <class Record>
struct TRangeMembers {
  uint64_t Record::*start;
  uint64_t Record::*end;
};

template <class Record>
struct THeaderField {
  // The member's kind follows the form: kText, kLength, kDate and kExpires,
  // the two ranges, kEveryLine, kFlag (FieldsAgree checks a table).
  using Member = std::variant<std::string Record::*, TLengthMembers<Record>, TDateTime Record::*,
                              TRangeMembers<Record>, TIdHeaderList Record::*, bool Record::*>;

  std::string_view name;  // empty: no line of its own, only reset and copied
  Member member;
  TFieldForm form;
  uint8_t steps;  // TFieldStep
  // What a reset gives a text; other forms reset to none: a length of -1,
  // 0, an empty list, false.
  std::string_view initial = {};
};

// What one table may read in a head: its texts and lists take their room
// in TFieldTexts, and a record's table and the entity's share one pass.
inline constexpr size_t kMostTexts = 16;
inline constexpr size_t kMostLists = 2;

// The texts a parse reads from the lines before the fields take them: one
// per parsed row of a table and one list per kEveryLine row, by their
// order. A record keeps them from head to head, so that reading the next
// head reuses their storage.
struct TFieldTexts {
  std::array<std::string, kMostTexts> texts;
  std::array<StringList, kMostLists> lists;
};

// The names one pass over the lines looks for, each with the string or the
// list its value goes into, at a place fixed by its row.
template <size_t kValues, size_t kLists>
struct TWantedFields {
  std::array<TIdHeaderList::WantedValue, kValues> values;
  std::array<TIdHeaderList::WantedValues, kLists> lists;
};

// The moment a head is read at: its dates share one local offset, asked
// for at the first of them.
class TReadMoment {
 public:
  TDateTime LocalOffset();

 private:
  std::optional<TDateTime> local_offset_;
};

// The texts LengthText, DateText and RangeText make, into `buffer`.
std::string_view MakeLengthText(int64_t value, std::string& buffer);
std::string_view MakeDateText(TDateTime date, std::string& buffer);
std::string_view MakeRangeText(uint64_t start, uint64_t end, std::string& buffer);

// How a composed line goes into the lines.
enum class TLineWrite : uint8_t {
  kAppend,   // the lines have none of the table's names yet
  kReplace,  // a line of the name may be there already: it is replaced
};

// Writes the line "name: text" as `write` says; nothing when `text` is
// empty.
inline void WriteLine(TIdHeaderList& lines, std::string_view name, std::string_view text, TLineWrite write) {
  if (text.empty()) return;
  if (write == TLineWrite::kAppend) {
    lines.AppendValue(name, text);
  } else {
    lines.SetValueOf(name, text);
  }
}

// The rules of the forms, on plain values. The texts go into `buffer`;
// a length below 0, a date from 0 down and a range of 0 to 0 have none.
inline std::string_view LengthText(int64_t length, std::string& buffer) {
  return length < 0 ? std::string_view() : MakeLengthText(length, buffer);
}
inline std::string_view DateText(TDateTime date, std::string& buffer) {
  return date <= 0 ? std::string_view() : MakeDateText(date, buffer);
}
inline std::string_view RangeText(uint64_t start, uint64_t end, std::string& buffer) {
  return start == 0 && end == 0 ? std::string_view() : MakeRangeText(start, end, buffer);
}
int64_t LengthOf(std::string_view text);
TDateTime DateOf(std::string_view text, TReadMoment& moment);
TDateTime ExpiresOf(std::string_view text, TReadMoment& moment);
// "bytes=START-END": a part that is not a number (or is negative) counts
// as 0.
void ReadRange(std::string& text, uint64_t& start, uint64_t& end);
// "UNIT START-END/...": a bound that is not a number from 0 up raises
// EConvertError "'TEXT' is not a valid integer value".
void ReadContentRange(std::string& text, uint64_t& start, uint64_t& end);

// ---- the walks over a table ------------------------------------------------
// A table is a constant array of rows, and a walk visits its rows at compile
// time: each row becomes the code its form and member call for, as if
// written out by hand, so that the head read once per request costs no more
// than such code.

// Calls `step` with each row's place in kFields, as a std::integral_constant.
template <const auto& kFields, class Step>
void ForEachRow(Step&& step) {
  [&]<size_t... kRow>(std::index_sequence<kRow...>) {
    (step(std::integral_constant<size_t, kRow>()), ...);
  }(std::make_index_sequence<std::size(kFields)>());
}

// How a row is read in the one pass over a head's lines.
enum class TReadWay : uint8_t {
  kNot,       // not parsed
  kStraight,  // a text, read straight into its member
  kHeld,      // read into a text of TFieldTexts, taken by the field after the pass
  kList,      // a kEveryLine row, read into a list of TFieldTexts
};

// Whether reading `field` may refuse a head (a kContentRange that is not
// one): the fields read after it must then keep the last head's values.
template <class Field>
constexpr bool MayRefuse(const Field& field) {
  return field.form == TFieldForm::kContentRange && (field.steps & fsParse) != 0;
}

// Whether any of the first `end` rows of kFields may refuse a head.
template <const auto& kFields>
constexpr bool AnyMayRefuse(size_t end) {
  for (size_t i = 0; i < end; ++i) {
    if (MayRefuse(kFields[i])) return true;
  }
  return false;
}

// How row `row` of kFields is read; kBehindRefusal: the table is read after
// one that may refuse the head. A text is read straight into its member
// unless a row that may refuse comes before it.
template <const auto& kFields, bool kBehindRefusal>
constexpr TReadWay ReadWay(size_t row) {
  const auto& field = kFields[row];
  if ((field.steps & fsParse) == 0) return TReadWay::kNot;
  if (field.form == TFieldForm::kEveryLine) return TReadWay::kList;
  const bool straight = field.form == TFieldForm::kText && !kBehindRefusal && !AnyMayRefuse<kFields>(row);
  return straight ? TReadWay::kStraight : TReadWay::kHeld;
}

// How many of the first `end` rows of kFields are read one of the ways in
// `ways` (bits 1 << TReadWay): a row's place among its kind, or a count.
template <const auto& kFields, bool kBehindRefusal>
constexpr size_t RowsReadAs(size_t end, unsigned ways) {
  size_t count = 0;
  for (size_t i = 0; i < end; ++i) {
    if ((ways >> static_cast<unsigned>(ReadWay<kFields, kBehindRefusal>(i)) & 1) != 0) ++count;
  }
  return count;
}
inline constexpr unsigned kValueWays = 1u << static_cast<unsigned>(TReadWay::kStraight) |
                                       1u << static_cast<unsigned>(TReadWay::kHeld);
inline constexpr unsigned kHeldWay = 1u << static_cast<unsigned>(TReadWay::kHeld);
inline constexpr unsigned kListWay = 1u << static_cast<unsigned>(TReadWay::kList);

template <class Record>
void ResetMember(Record& record, std::string Record::*member, std::string_view initial) {
  (record.*member).assign(initial);
}
template <class Record>
void ResetMember(Record& record, TLengthMembers<Record> member, std::string_view) {
  record.*(member.length) = -1;
}
template <class Record>
void ResetMember(Record& record, TRangeMembers<Record> member, std::string_view) {
  record.*(member.start) = 0;
  record.*(member.end) = 0;
}
template <class Record>
void ResetMember(Record& record, TIdHeaderList Record::*member, std::string_view) {
  (record.*member).Clear();
}
template <class Record, class Value>
void ResetMember(Record& record, Value Record::*member, std::string_view) {
  record.*member = Value{};  // a date of 0, false
}

template <const auto& kFields, class Record>
void ResetEachField(Record& record) {
  ForEachRow<kFields>([&](auto row) {
    constexpr const auto& field = kFields[row()];
    if constexpr ((field.steps & fsReset) != 0) {
      ResetMember(record, std::get<field.member.index()>(field.member), field.initial);
    }
  });
}

template <class Record>
void CopyMember(const Record& from, Record& to, TLengthMembers<Record> member) {
  to.*(member.length) = from.*(member.length);
}
template <class Record>
void CopyMember(const Record& from, Record& to, TRangeMembers<Record> member) {
  to.*(member.start) = from.*(member.start);
  to.*(member.end) = from.*(member.end);
}
template <class Record, class Value>
void CopyMember(const Record& from, Record& to, Value Record::*member) {
  to.*member = from.*member;
}

template <const auto& kFields, class Record>
void CopyEachField(const Record& from, Record& to) {
  ForEachRow<kFields>([&](auto row) {
    constexpr const auto& field = kFields[row()];
    if constexpr ((field.steps & fsCopy) != 0) CopyMember(from, to, std::get<field.member.index()>(field.member));
  });
}

// The text of the line of row kRow, empty for none; a text that is made
// goes into `buffer`.
template <const auto& kFields, size_t kRow, class Record>
std::string_view LineText(const Record& record, std::string& buffer) {
  constexpr const auto& field = kFields[kRow];
  constexpr auto member = std::get<field.member.index()>(field.member);
  if constexpr (field.form == TFieldForm::kText) {
    return record.*member;
  } else if constexpr (field.form == TFieldForm::kLength) {
    return LengthText(record.*(member.length), buffer);
  } else if constexpr (field.form == TFieldForm::kRange) {
    return RangeText(record.*(member.start), record.*(member.end), buffer);
  } else {
    static_assert(field.form == TFieldForm::kDate || field.form == TFieldForm::kExpires);
    return DateText(record.*member, buffer);
  }
}

template <const auto& kFields, class Record>
void ComposeEachField(const Record& record, TIdHeaderList& lines, TLineWrite write) {
  std::string buffer;
  ForEachRow<kFields>([&](auto row) {
    if constexpr ((kFields[row()].steps & fsCompose) != 0) {
      WriteLine(lines, kFields[row()].name, LineText<kFields, row()>(record, buffer), write);
    }
  });
}

// Gives each parsed row of kFields its place in `values` or `lists`, with
// the string or list it is read into; the lists are emptied of the last
// head's.
template <const auto& kFields, bool kBehindRefusal, class Record>
void WantEachField(Record& record, TFieldTexts& texts, std::span<TIdHeaderList::WantedValue> values,
                   std::span<TIdHeaderList::WantedValues> lists) {
  ForEachRow<kFields>([&](auto row) {
    constexpr const auto& field = kFields[row()];
    constexpr TReadWay kWay = ReadWay<kFields, kBehindRefusal>(row());
    constexpr size_t kValue = RowsReadAs<kFields, kBehindRefusal>(row(), kValueWays);
    constexpr size_t kHeld = RowsReadAs<kFields, kBehindRefusal>(row(), kHeldWay);
    constexpr size_t kList = RowsReadAs<kFields, kBehindRefusal>(row(), kListWay);
    if constexpr (kWay == TReadWay::kStraight) {
      values[kValue] = {field.name, &(record.*std::get<std::string Record::*>(field.member))};
    } else if constexpr (kWay == TReadWay::kHeld) {
      values[kValue] = {field.name, &texts.texts[kHeld]};
    } else if constexpr (kWay == TReadWay::kList) {
      texts.lists[kList].Clear();
      lists[kList] = {field.name, &texts.lists[kList]};
    }
  });
}

// Sets the member of row kRow from `text`, whose storage it may take.
template <const auto& kFields, size_t kRow, class Record>
void ReadField(Record& record, std::string& text, TReadMoment& moment) {
  constexpr const auto& field = kFields[kRow];
  constexpr auto member = std::get<field.member.index()>(field.member);
  if constexpr (field.form == TFieldForm::kText) {
    (record.*member).swap(text);
  } else if constexpr (field.form == TFieldForm::kLength) {
    record.*(member.length) = LengthOf(text);
    record.*(member.known) = record.*(member.length) >= 0;
  } else if constexpr (field.form == TFieldForm::kDate) {
    record.*member = DateOf(text, moment);
  } else if constexpr (field.form == TFieldForm::kExpires) {
    record.*member = ExpiresOf(text, moment);
  } else {
    static_assert(field.form == TFieldForm::kRange || field.form == TFieldForm::kContentRange);
    // A head without the line leaves the bounds as they were.
    if (text.empty()) return;
    if constexpr (field.form == TFieldForm::kRange) {
      ReadRange(text, record.*(member.start), record.*(member.end));
    } else {
      ReadContentRange(text, record.*(member.start), record.*(member.end));
    }
  }
}

// Gives the held and listed rows of kFields what WantEachField had read,
// in the order of the rows.
template <const auto& kFields, bool kBehindRefusal, class Record>
void ReadEachField(Record& record, TFieldTexts& texts, TReadMoment& moment) {
  ForEachRow<kFields>([&](auto row) {
    constexpr const auto& field = kFields[row()];
    constexpr TReadWay kWay = ReadWay<kFields, kBehindRefusal>(row());
    if constexpr (kWay == TReadWay::kHeld) {
      constexpr size_t kHeld = RowsReadAs<kFields, kBehindRefusal>(row(), kHeldWay);
      ReadField<kFields, row()>(record, texts.texts[kHeld], moment);
    } else if constexpr (kWay == TReadWay::kList) {
      constexpr size_t kList = RowsReadAs<kFields, kBehindRefusal>(row(), kListWay);
      (record.*std::get<TIdHeaderList Record::*>(field.member)).SwapLines(texts.lists[kList]);
    }
  });
}

// Reads the fields kFirst of `first` and kSecond of `second` from `lines`
// in one pass, each table into its record's texts. The fields of kFirst
// take their values first, in the order of their rows, so that a row that
// refuses the head leaves the rows after it, and kSecond, as they were.
template <const auto& kFirst, const auto& kSecond, class First, class Second>
void ReadTables(const TIdHeaderList& lines, First& first, TFieldTexts& first_texts, Second& second,
                TFieldTexts& second_texts) {
  constexpr bool kBehind = AnyMayRefuse<kFirst>(std::size(kFirst));
  constexpr size_t kFirstValues = RowsReadAs<kFirst, false>(std::size(kFirst), kValueWays);
  constexpr size_t kFirstLists = RowsReadAs<kFirst, false>(std::size(kFirst), kListWay);
  TWantedFields<kFirstValues + RowsReadAs<kSecond, kBehind>(std::size(kSecond), kValueWays),
                kFirstLists + RowsReadAs<kSecond, kBehind>(std::size(kSecond), kListWay)>
      wanted;
  static_assert(wanted.values.size() <= 32, "ValuesOf looks for at most 32 names in one pass");
  WantEachField<kFirst, false>(first, first_texts, wanted.values, wanted.lists);
  WantEachField<kSecond, kBehind>(second, second_texts, std::span(wanted.values).subspan(kFirstValues),
                                  std::span(wanted.lists).subspan(kFirstLists));
  lines.ValuesOf(wanted.values, wanted.lists);
  TReadMoment moment;  // one for the whole head
  ReadEachField<kFirst, false>(first, first_texts, moment);
  ReadEachField<kSecond, kBehind>(second, second_texts, moment);
}

// Whether each row's member is of its form's kind, only named rows of forms
// with a text are composed or parsed, and the parsed rows fit TFieldTexts.
template <class Record, size_t kRows>
consteval bool FieldsAgree(const THeaderField<Record> (&fields)[kRows]) {
  constexpr size_t kKindOf[] = {0, 1, 2, 2, 3, 3, 4, 5};  // by TFieldForm
  size_t texts = 0;
  size_t lists = 0;
  for (const auto& field : fields) {
    const bool has_text = field.form != TFieldForm::kFlag;
    const bool written = field.form != TFieldForm::kContentRange && field.form != TFieldForm::kEveryLine && has_text;
    if (field.member.index() != kKindOf[static_cast<size_t>(field.form)]) return false;
    if ((field.steps & (fsCompose | fsParse)) != 0 && (field.name.empty() || !has_text)) return false;
    if ((field.steps & fsCompose) != 0 && !written) return false;
    if ((field.steps & fsParse) != 0) ++(field.form == TFieldForm::kEveryLine ? lists : texts);
  }
  return texts <= kMostTexts && lists <= kMostLists;
}

}  // namespace kv
