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
  if (!Connection.empty()) HeaderLines.SetValueOf("Connection", Connection);
  if (!ContentVersion.empty()) HeaderLines.SetValueOf("Content-Version", ContentVersion);
  if (!ContentEncoding.empty()) HeaderLines.SetValueOf("Content-Encoding", ContentEncoding);
  if (!ContentLanguage.empty()) HeaderLines.SetValueOf("Content-Language", ContentLanguage);
  if (!ContentType.empty()) HeaderLines.SetValueOf("Content-Type", ContentType);
  if (ContentLength >= 0) HeaderLines.SetValueOf("Content-Length", IntToStr(ContentLength));
  if (!CacheControl.empty()) HeaderLines.SetValueOf("Cache-control", CacheControl);
  if (Date > 0) HeaderLines.SetValueOf("Date", InternetDateText(Date));
  if (Expires > 0) HeaderLines.SetValueOf("Expires", InternetDateText(Expires));
  if (!Pragma.empty()) HeaderLines.SetValueOf("Pragma", Pragma);
  if (!CustomHeaders.Empty()) HeaderLines.SetText(HeaderLines.Text() + CustomHeaders.Text());
}

void TIdEntityHeaderInfo::ComposeHeaders() { ComposeEntityLines(); }

void TIdEntityHeaderInfo::ParseEntityFields() {
  // The texts read only to be converted keep their storage from head to
  // head.
  thread_local std::string length, date, last_modified, expires;
  HeaderLines.ValuesOf({{"Connection", &Connection},
                        {"Content-Version", &ContentVersion},
                        {"Content-Encoding", &ContentEncoding},
                        {"Content-Language", &ContentLanguage},
                        {"Content-Type", &ContentType},
                        {"Content-Length", &length},
                        {"Date", &date},
                        {"Last-Modified", &last_modified},
                        {"Expires", &expires},
                        {"Pragma", &Pragma}});
  SetContentLength(TryStrToInt64(length).value_or(-1));
  // One moment for every date of the head: the local offset is asked once.
  const TDateTime local_offset = LocalOffsetFromUtc();
  Date = InternetDateToLocal(date, local_offset);
  LastModified = InternetDateToLocal(last_modified, local_offset);
  // "Expires" may be a number of seconds from now instead of a date.
  const auto seconds = TryStrToInt(expires);
  if (seconds && *seconds != -1) {
    Expires = Now() + *seconds / kSecondsPerDay;
  } else {
    Expires = InternetDateToLocal(expires, local_offset);
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
