#include "http/entity_header.h"

#include "base/int_conversion.h"
#include "http/internet_date.h"

namespace kv {

TIdEntityHeaderInfo::TIdEntityHeaderInfo() {
  HeaderLines.FoldWidth = 1024;
  // Not virtual here on purpose: each derived constructor resets its own.
  TIdEntityHeaderInfo::ResetFields();
}

void TIdEntityHeaderInfo::ResetFields() {
  HeaderLines.Clear();
  Connection.clear();
  ContentEncoding.clear();
  ContentLanguage.clear();
  ContentLength = -1;
  ContentRangeEnd = 0;
  ContentRangeStart = 0;
  ContentType = "text/html";
  ContentVersion.clear();
  Date = 0;
  Expires = 0;
  LastModified = 0;
}

void TIdEntityHeaderInfo::ComposeEntityLines() {
  HeaderLines.Clear();
  // Distinct names into an empty list: each line is new.
  HeaderLines.AppendValue("Connection", Connection);
  HeaderLines.AppendValue("Content-Version", ContentVersion);
  HeaderLines.AppendValue("Content-Encoding", ContentEncoding);
  HeaderLines.AppendValue("Content-Language", ContentLanguage);
  HeaderLines.AppendValue("Content-Type", ContentType);
  if (ContentLength >= 0) HeaderLines.AppendValue("Content-Length", IntToStr(ContentLength));
  HeaderLines.AppendValue("Cache-control", CacheControl);
  if (Date > 0) HeaderLines.AppendValue("Date", InternetDateText(Date));
  if (Expires > 0) HeaderLines.AppendValue("Expires", InternetDateText(Expires));
  HeaderLines.AppendValue("Pragma", Pragma);
  if (!CustomHeaders.Empty()) HeaderLines.SetText(HeaderLines.Text() + CustomHeaders.Text());
}

void TIdEntityHeaderInfo::ComposeHeaders() { ComposeEntityLines(); }

std::array<TIdHeaderList::WantedValue, TIdEntityHeaderInfo::kEntityNames> TIdEntityHeaderInfo::EntityWanted(
    EntityTexts& texts) {
  return {{{"Connection", &texts.connection},
           {"Content-Version", &texts.version},
           {"Content-Encoding", &texts.encoding},
           {"Content-Language", &texts.language},
           {"Content-Type", &texts.type},
           {"Content-Length", &texts.length},
           {"Date", &texts.date},
           {"Last-Modified", &texts.last_modified},
           {"Expires", &texts.expires},
           {"Pragma", &texts.pragma}}};
}

TIdEntityHeaderInfo::EntityTexts& TIdEntityHeaderInfo::ScratchTexts() {
  thread_local EntityTexts texts;
  return texts;
}

void TIdEntityHeaderInfo::ParseEntityFields() {
  EntityTexts& texts = ScratchTexts();
  HeaderLines.ValuesOf(EntityWanted(texts));
  ApplyEntityTexts(texts);
}

void TIdEntityHeaderInfo::ApplyEntityTexts(EntityTexts& texts) {
  Connection.swap(texts.connection);
  ContentVersion.swap(texts.version);
  ContentEncoding.swap(texts.encoding);
  ContentLanguage.swap(texts.language);
  ContentType.swap(texts.type);
  Pragma.swap(texts.pragma);
  SetContentLength(TryStrToInt64(texts.length).value_or(-1));
  // One moment for every date of the head: the local offset is asked once.
  const TDateTime local_offset = LocalOffsetFromUtc();
  Date = InternetDateToLocal(texts.date, local_offset);
  LastModified = InternetDateToLocal(texts.last_modified, local_offset);
  // "Expires" may be a number of seconds from now instead of a date.
  const auto seconds = TryStrToInt(texts.expires);
  if (seconds && *seconds != -1) {
    Expires = Now() + *seconds / kSecondsPerDay;
  } else {
    Expires = InternetDateToLocal(texts.expires, local_offset);
  }
}

void TIdEntityHeaderInfo::ParseHeaders() { ParseEntityFields(); }

void TIdEntityHeaderInfo::CopyEntityFieldsTo(TIdEntityHeaderInfo& destination) const {
  destination.HeaderLines.AssignLines(HeaderLines);
  destination.ContentEncoding = ContentEncoding;
  destination.ContentLanguage = ContentLanguage;
  destination.ContentLength = ContentLength;
  destination.ContentRangeEnd = ContentRangeEnd;
  destination.ContentRangeStart = ContentRangeStart;
  destination.ContentType = ContentType;
  destination.ContentVersion = ContentVersion;
  destination.Date = Date;
  destination.Expires = Expires;
  destination.LastModified = LastModified;
}

void TIdEntityHeaderInfo::AssignTo(Persistent& destination) const {
  if (auto* entity = dynamic_cast<TIdEntityHeaderInfo*>(&destination)) {
    CopyEntityFieldsTo(*entity);
    return;
  }
  Persistent::AssignTo(destination);
}

}  // namespace kv
