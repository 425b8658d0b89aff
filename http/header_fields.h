#pragma once
// A header record's fields as one table. Each row gives a field's header
// name, its member, the form its value takes in the header text, and the
// steps it takes part in; the record's reset, compose, parse and copy walk
// the rows, so that each field is named in one place. What is not a field's
// own rule (the credentials' line, the custom lines) stays a step of the
// record.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

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
  // the two ranges, kEveryLine, kFlag. FieldsAgree checks a table.
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

// A record's table; its Record is taken from the record a walk is given.
template <class Record>
using TFieldTable = std::span<const THeaderField<std::type_identity_t<Record>>>;

// The texts a parse reads from the lines before the fields take them: one
// per row of a table (by its place) and one list per kEveryLine row (in
// their order). A record keeps them from head to head, so that reading the
// next head reuses their storage.
struct TFieldTexts {
  std::vector<std::string> texts;
  std::vector<StringList> lists;
};

// The names one pass over the lines looks for, gathered from the tables of
// a record and of its entity fields.
class TWantedFields {
 public:
  void Add(TIdHeaderList::WantedValue value);
  void AddEvery(TIdHeaderList::WantedValues values);
  std::span<const TIdHeaderList::WantedValue> Values() const { return {values_.data(), value_count_}; }
  std::span<const TIdHeaderList::WantedValues> Every() const { return {every_.data(), every_count_}; }

 private:
  std::array<TIdHeaderList::WantedValue, 32> values_;  // what ValuesOf can look for
  size_t value_count_ = 0;
  std::array<TIdHeaderList::WantedValues, 4> every_;
  size_t every_count_ = 0;
};

// The moment a head is read at: its dates share one local offset, asked
// for at the first of them.
class TReadMoment {
 public:
  TDateTime LocalOffset();

 private:
  std::optional<TDateTime> local_offset_;
};

// How a composed line goes into the lines.
enum class TLineWrite : uint8_t {
  kAppend,   // the lines have none of the table's names yet
  kReplace,  // a line of the name may be there already: it is replaced
};

// Writes the line "name: text" as `write` says; nothing when `text` is
// empty.
void WriteLine(TIdHeaderList& lines, std::string_view name, std::string_view text, TLineWrite write);

// The rules of the forms, on plain values. The texts go into `buffer`.
std::string_view LengthText(int64_t length, std::string& buffer);
std::string_view DateText(TDateTime date, std::string& buffer);
std::string_view RangeText(uint64_t start, uint64_t end, std::string& buffer);
int64_t LengthOf(std::string_view text);
TDateTime DateOf(std::string_view text, TReadMoment& moment);
TDateTime ExpiresOf(std::string_view text, TReadMoment& moment);
// "bytes=START-END": a part that is not a number (or is negative) counts
// as 0.
void ReadRange(std::string& text, uint64_t& start, uint64_t& end);
// "UNIT START-END/...": a bound that is not a number from 0 up raises
// EConvertError "'TEXT' is not a valid integer value".
void ReadContentRange(std::string& text, uint64_t& start, uint64_t& end);

// ---- the walks over a table --------------------------------------------

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

template <class Record>
void ResetEachField(Record& record, TFieldTable<Record> fields) {
  for (const auto& field : fields) {
    if ((field.steps & fsReset) == 0) continue;
    std::visit([&](auto member) { ResetMember(record, member, field.initial); }, field.member);
  }
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

template <class Record>
void CopyEachField(const Record& from, Record& to, TFieldTable<Record> fields) {
  for (const auto& field : fields) {
    if ((field.steps & fsCopy) == 0) continue;
    std::visit([&](auto member) { CopyMember(from, to, member); }, field.member);
  }
}

// The text of the line of `field`, empty for none; a text that is made
// goes into `buffer`.
template <class Record>
std::string_view LineText(const Record& record, const THeaderField<Record>& field, std::string& buffer) {
  switch (field.form) {
    case TFieldForm::kText:
      return record.*std::get<std::string Record::*>(field.member);
    case TFieldForm::kLength:
      return LengthText(record.*(std::get<TLengthMembers<Record>>(field.member).length), buffer);
    case TFieldForm::kDate:
    case TFieldForm::kExpires:
      return DateText(record.*std::get<TDateTime Record::*>(field.member), buffer);
    case TFieldForm::kRange: {
      const auto range = std::get<TRangeMembers<Record>>(field.member);
      return RangeText(record.*(range.start), record.*(range.end), buffer);
    }
    default:
      return {};
  }
}

template <class Record>
void ComposeEachField(const Record& record, TFieldTable<Record> fields, TIdHeaderList& lines, TLineWrite write) {
  std::string buffer;
  for (const auto& field : fields) {
    if ((field.steps & fsCompose) == 0) continue;
    WriteLine(lines, field.name, LineText(record, field, buffer), write);
  }
}

// Adds the parsed rows of `fields` to `wanted`, each with its place in
// `texts`, which is emptied of the last head's lists.
template <class Record>
void WantEachField(TFieldTable<Record> fields, TFieldTexts& texts, TWantedFields& wanted) {
  size_t lists = 0;
  for (const auto& field : fields) lists += field.form == TFieldForm::kEveryLine ? 1 : 0;
  // Sized before any place is taken: growing would move the places.
  texts.texts.resize(fields.size());
  texts.lists.resize(lists);
  size_t list = 0;
  for (size_t i = 0; i < fields.size(); ++i) {
    if ((fields[i].steps & fsParse) == 0) continue;
    if (fields[i].form == TFieldForm::kEveryLine) {
      texts.lists[list].Clear();
      wanted.AddEvery({fields[i].name, &texts.lists[list++]});
    } else {
      wanted.Add({fields[i].name, &texts.texts[i]});
    }
  }
}

// Sets the member of `field` from `text`, whose storage it may take.
template <class Record>
void ReadField(Record& record, const THeaderField<Record>& field, std::string& text, TReadMoment& moment) {
  switch (field.form) {
    case TFieldForm::kText:
      (record.*std::get<std::string Record::*>(field.member)).swap(text);
      return;
    case TFieldForm::kLength: {
      const auto length = std::get<TLengthMembers<Record>>(field.member);
      record.*(length.length) = LengthOf(text);
      record.*(length.known) = record.*(length.length) >= 0;
      return;
    }
    case TFieldForm::kDate:
      record.*std::get<TDateTime Record::*>(field.member) = DateOf(text, moment);
      return;
    case TFieldForm::kExpires:
      record.*std::get<TDateTime Record::*>(field.member) = ExpiresOf(text, moment);
      return;
    case TFieldForm::kRange:
    case TFieldForm::kContentRange: {
      // A head without the line leaves the bounds as they were.
      if (text.empty()) return;
      const auto range = std::get<TRangeMembers<Record>>(field.member);
      auto read = field.form == TFieldForm::kRange ? ReadRange : ReadContentRange;
      read(text, record.*(range.start), record.*(range.end));
      return;
    }
    default:
      return;
  }
}

// Gives the parsed rows of `fields` what WantEachField had read, in the
// order of the rows.
template <class Record>
void ReadEachField(Record& record, TFieldTable<Record> fields, TFieldTexts& texts, TReadMoment& moment) {
  size_t list = 0;
  for (size_t i = 0; i < fields.size(); ++i) {
    if ((fields[i].steps & fsParse) == 0) continue;
    if (fields[i].form == TFieldForm::kEveryLine) {
      (record.*std::get<TIdHeaderList Record::*>(fields[i].member)).SwapLines(texts.lists[list++]);
    } else {
      ReadField(record, fields[i], texts.texts[i], moment);
    }
  }
}

// Whether each row's member is of its form's kind, only named rows of forms
// with a text are composed or parsed, and a table leaves room in one pass
// for the entity fields (at most 16 texts and 2 lists each).
template <class Record>
consteval bool FieldsAgree(std::span<const THeaderField<Record>> fields) {
  constexpr size_t kKindOf[] = {0, 1, 2, 2, 3, 3, 4, 5};  // by TFieldForm
  size_t parsed = 0;
  size_t lists = 0;
  for (const auto& field : fields) {
    const bool has_text = field.form != TFieldForm::kFlag;
    const bool written = field.form != TFieldForm::kContentRange && field.form != TFieldForm::kEveryLine && has_text;
    if (field.member.index() != kKindOf[static_cast<size_t>(field.form)]) return false;
    if ((field.steps & (fsCompose | fsParse)) != 0 && (field.name.empty() || !has_text)) return false;
    if ((field.steps & fsCompose) != 0 && !written) return false;
    if ((field.steps & fsParse) != 0) ++(field.form == TFieldForm::kEveryLine ? lists : parsed);
  }
  return parsed <= 16 && lists <= 2;
}

}  // namespace kv
