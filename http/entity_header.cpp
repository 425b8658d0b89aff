#include "http/entity_header.h"

namespace kv {
namespace {

using E = TIdEntityHeaderInfo;

// The composed fields in the order of their lines. CacheControl and Pragma
// are the caller's: a reset keeps them, and Assign does not carry them,
// nor Connection.
using F = TFieldForm;
constexpr THeaderField<E> kEntityFields[] = {
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
    // No line of its own: the records write and read it by their rules.
    {{}, TRangeMembers<E>{&E::ContentRangeStart, &E::ContentRangeEnd}, F::kRange, fsReset | fsCopy},
};
static_assert(FieldsAgree<E>(kEntityFields));

}  // namespace

TIdEntityHeaderInfo::TIdEntityHeaderInfo() {
  HeaderLines.FoldWidth = 1024;
  // Not virtual here on purpose: each derived constructor resets its own.
  TIdEntityHeaderInfo::ResetFields();
}

TFieldTable<TIdEntityHeaderInfo> TIdEntityHeaderInfo::EntityFields() { return kEntityFields; }

void TIdEntityHeaderInfo::ResetFields() {
  HeaderLines.Clear();
  ResetEachField(*this, kEntityFields);
}

void TIdEntityHeaderInfo::ComposeEntityLines() {
  HeaderLines.Clear();
  ComposeEachField(*this, kEntityFields, HeaderLines, TLineWrite::kAppend);
  if (!CustomHeaders.Empty()) HeaderLines.SetText(HeaderLines.Text() + CustomHeaders.Text());
}

void TIdEntityHeaderInfo::ComposeHeaders() { ComposeEntityLines(); }

void TIdEntityHeaderInfo::ParseHeaders() {
  TFieldTexts none;  // no fields besides the entity's
  ParseWithEntityFields<TIdEntityHeaderInfo>(*this, {}, none);
}

void TIdEntityHeaderInfo::AssignTo(Persistent& destination) const {
  if (auto* entity = dynamic_cast<TIdEntityHeaderInfo*>(&destination)) {
    entity->HeaderLines.AssignLines(HeaderLines);
    CopyEachField(*this, *entity, kEntityFields);
    return;
  }
  Persistent::AssignTo(destination);
}

}  // namespace kv
