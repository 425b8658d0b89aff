#pragma once
// The header fields every request and response carries, kept twice: as
// typed fields and as the raw lines of HeaderLines. ComposeHeaders writes
// the lines from the fields, ParseHeaders reads the fields from the lines.

#include <cstdint>
#include <string>

#include "base/persistent.h"
#include "base/date_time.h"
#include "http/header_fields.h"
#include "http/header_list.h"

namespace kv {

class TIdEntityHeaderInfo : public Persistent {
 public:
  TIdEntityHeaderInfo();
  ~TIdEntityHeaderInfo() override = default;

  const char* ClassName() const noexcept override { return "TIdEntityHeaderInfo"; }

  // Rebuilds HeaderLines from the fields.
  virtual void ComposeHeaders();
  // Sets the fields from HeaderLines.
  virtual void ParseHeaders();
  // Gives the fields their defaults (CacheControl, CustomHeaders, Pragma and
  // ContentLengthKnown keep their values).
  virtual void ResetFields();

  // Sets ContentLength and ContentLengthKnown = (value >= 0).
  void SetContentLength(int64_t value) {
    ContentLength = value;
    ContentLengthKnown = value >= 0;
  }

  std::string CacheControl;  // "Cache-control", composed only
  TIdHeaderList HeaderLines;  // FoldWidth 1024
  std::string Connection;
  std::string ContentEncoding;
  std::string ContentLanguage;
  int64_t ContentLength = -1;  // -1: none; write through SetContentLength
  uint64_t ContentRangeEnd = 0;
  uint64_t ContentRangeStart = 0;
  std::string ContentType;
  std::string ContentVersion;
  TIdHeaderList CustomHeaders;  // appended unchanged after the entity lines
  TDateTime Date = 0;
  TDateTime Expires = 0;
  TDateTime LastModified = 0;
  std::string Pragma;
  bool ContentLengthKnown = false;

 protected:
  void AssignTo(Persistent& destination) const override;

  // The entity lines (the table's, then the custom lines), for every
  // record's ComposeHeaders.
  void ComposeEntityLines();
  // Reads the fields kFields of `record` (this record, as its own class) and
  // the entity fields from HeaderLines in one pass. `record`'s own fields take
  // their values first, so that a refusal among them leaves the entity
  // fields as the last head had them.
  template <const auto& kFields, class Record>
  void ParseWithEntityFields(Record& record, TFieldTexts& texts);

 private:
  TFieldTexts entity_texts_;  // the entity fields' texts of the last head read
};

namespace entity_table {

using E = TIdEntityHeaderInfo;
using F = TFieldForm;

// The entity fields. The composed ones come in the order of their lines.
// CacheControl and Pragma are the caller's: a reset keeps them, and Assign
// does not carry them, nor Connection.
inline constexpr THeaderField<E> kEntityFields[] = {
    {"Connection", &E::Connection, F::kText, fsReset | fsCompose | fsParse},
    {"Content-Version", &E::ContentVersion, F::kText, fsAll},
    {"Content-Encoding", &E::ContentEncoding, F::kText, fsAll},
    {"Content-Language", &E::ContentLanguage, F::kText, fsAll},
    {"Content-Type", &E::ContentType, F::kText, fsAll, "text/html"},
    {"Content-Length", TLengthMembers<E>{&E::ContentLength, &E::ContentLengthKnown}, F::kLength, fsAll},
    {"Cache-control", &E::CacheControl, F::kText, fsCompose},
    {"Date", &E::Date, F::kDate, fsAll},
    {"Expires", &E::Expires, F::kExpires, fsAll},
    {"Pragma", &E::Pragma, F::kText, fsCompose | fsParse},
    {"Last-Modified", &E::LastModified, F::kDate, fsReset | fsParse | fsCopy},
    // No line of its own: the request and the response write and read it
    // by their own rules.
    {{}, TRangeMembers<E>{&E::ContentRangeStart, &E::ContentRangeEnd}, F::kRange, fsReset | fsCopy},
};
static_assert(FieldsAgree(kEntityFields));

}  // namespace entity_table

using entity_table::kEntityFields;

template <const auto& kFields, class Record>
void TIdEntityHeaderInfo::ParseWithEntityFields(Record& record, TFieldTexts& texts) {
  ReadTables<kFields, kEntityFields>(HeaderLines, record, texts, *this, entity_texts_);
}

}  // namespace kv
