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

  // The entity fields' table.
  static TFieldTable<TIdEntityHeaderInfo> EntityFields();
  // The entity lines (the table's, then the custom lines), for every
  // record's ComposeHeaders.
  void ComposeEntityLines();
  // Reads `fields` of `record` (this record, as its own class) and the
  // entity fields from HeaderLines in one pass. `record`'s own fields take
  // their values first, so that a refusal among them leaves the entity
  // fields as the last head had them.
  template <class Record>
  void ParseWithEntityFields(Record& record, TFieldTable<Record> fields, TFieldTexts& texts);

 private:
  TFieldTexts entity_texts_;  // the entity fields' texts of the last head read
};

template <class Record>
void TIdEntityHeaderInfo::ParseWithEntityFields(Record& record, TFieldTable<Record> fields, TFieldTexts& texts) {
  TWantedFields wanted;
  WantEachField<Record>(fields, texts, wanted);
  WantEachField<TIdEntityHeaderInfo>(EntityFields(), entity_texts_, wanted);
  HeaderLines.ValuesOf(wanted.Values(), wanted.Every());
  TReadMoment moment;  // one for the whole head
  ReadEachField(record, fields, texts, moment);
  ReadEachField(*this, EntityFields(), entity_texts_, moment);
}

}  // namespace kv
