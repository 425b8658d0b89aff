#include "http/entity_header.h"

namespace kv {
namespace {

// What a record that is only an entity reads besides the entity fields.
constexpr std::array<THeaderField<TIdEntityHeaderInfo>, 0> kNoFields = {};

}  // namespace

TIdEntityHeaderInfo::TIdEntityHeaderInfo() {
  HeaderLines.FoldWidth = 1024;
  // Not virtual here on purpose: each derived constructor resets its own.
  TIdEntityHeaderInfo::ResetFields();
}

void TIdEntityHeaderInfo::ResetFields() {
  HeaderLines.Clear();
  ResetEachField<kEntityFields>(*this);
}

void TIdEntityHeaderInfo::ComposeEntityLines() {
  HeaderLines.Clear();
  ComposeEachField<kEntityFields>(*this, HeaderLines, TLineWrite::kAppend);
  if (!CustomHeaders.Empty()) HeaderLines.SetText(HeaderLines.Text() + CustomHeaders.Text());
}

void TIdEntityHeaderInfo::ComposeHeaders() { ComposeEntityLines(); }

void TIdEntityHeaderInfo::ParseHeaders() {
  TFieldTexts none;
  ParseWithEntityFields<kNoFields>(*this, none);
}

void TIdEntityHeaderInfo::AssignTo(Persistent& destination) const {
  if (auto* entity = dynamic_cast<TIdEntityHeaderInfo*>(&destination)) {
    entity->HeaderLines.AssignLines(HeaderLines);
    CopyEachField<kEntityFields>(*this, *entity);
    return;
  }
  Persistent::AssignTo(destination);
}

}  // namespace kv
