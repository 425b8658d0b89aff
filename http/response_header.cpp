#include "http/response_header.h"

namespace kv {
namespace {

using S = TIdResponseHeaderInfo;
using F = TFieldForm;

// Read in this order, before the entity fields: a Content-Range that is
// not "UNIT START-END/..." is refused after the first three are read and
// before the challenges and the entity fields are.
constexpr THeaderField<S> kResponseFields[] = {
    {"Location", &S::Location, F::kText, fsReset | fsParse},
    {"Server", &S::Server, F::kText, fsReset | fsParse},
    {"Proxy-Connection", &S::ProxyConnection, F::kText, fsReset | fsParse},
    {"Content-Range", TRangeMembers<S>{&S::ContentRangeStart, &S::ContentRangeEnd}, F::kContentRange, fsParse},
    {"WWW-Authenticate", &S::WWWAuthenticate, F::kEveryLine, fsReset | fsParse},
    {"Proxy-Authenticate", &S::ProxyAuthenticate, F::kEveryLine, fsReset | fsParse},
};
static_assert(FieldsAgree(kResponseFields));

}  // namespace

TIdResponseHeaderInfo::TIdResponseHeaderInfo() { TIdResponseHeaderInfo::ResetFields(); }

void TIdResponseHeaderInfo::ResetFields() {
  ResetEachField<kResponseFields>(*this);
  TIdEntityHeaderInfo::ResetFields();
}

void TIdResponseHeaderInfo::ParseHeaders() { ParseWithEntityFields<kResponseFields>(*this, response_texts_); }

}  // namespace kv
