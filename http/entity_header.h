#pragma once
// The header fields every request and response carries, kept twice: as
// typed fields and as the raw lines of HeaderLines. ComposeHeaders writes
// the lines from the fields, ParseHeaders reads the fields from the lines.

#include <array>
#include <cstdint>
#include <string>

#include "base/persistent.h"
#include "base/date_time.h"
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
  // Copies the entity fields that an assignment carries.
  void CopyEntityFieldsTo(TIdEntityHeaderInfo& destination) const;
  // The texts of the entity fields as read from the lines, before they are
  // converted and stored.
  struct EntityTexts {
    std::string connection, version, encoding, language, type, length, date, last_modified, expires, pragma;
  };
  static constexpr size_t kEntityNames = 10;
  // The entity fields' names, each with its place in `texts`, for ValuesOf.
  static std::array<TIdHeaderList::WantedValue, kEntityNames> EntityWanted(EntityTexts& texts);
  // Texts kept from head to head on this thread, so that reading them
  // reuses their storage.
  static EntityTexts& ScratchTexts();

  // Steps shared by every record: the entity lines and the custom lines.
  void ComposeEntityLines();
  void ParseEntityFields();
  // Stores `texts` into the fields (the texts take the fields' old storage)
  // and converts the length and the dates.
  void ApplyEntityTexts(EntityTexts& texts);
};

}  // namespace kv
