#include "http/request_header.h"

namespace kv {
namespace {

using R = TIdRequestHeaderInfo;
using F = TFieldForm;

// The composed fields in the order of their lines, after the entity lines
// and the custom lines.
constexpr THeaderField<R> kRequestFields[] = {
    {"Proxy-Connection", &R::ProxyConnection, F::kText, fsCompose},
    {"Host", &R::Host, F::kText, fsCompose | fsParse},
    {"Accept", &R::Accept, F::kText, fsAll, kDefaultAccept},
    {"Accept-Charset", &R::AcceptCharSet, F::kText, fsAll},
    {"Accept-Encoding", &R::AcceptEncoding, F::kText, fsCompose | fsParse | fsCopy},
    {"Accept-Language", &R::AcceptLanguage, F::kText, fsCompose | fsParse | fsCopy},
    {"From", &R::From, F::kText, fsCompose | fsParse | fsCopy},
    {"Referer", &R::Referer, F::kText, fsCompose | fsParse | fsCopy},
    {"User-Agent", &R::UserAgent, F::kText, fsAll, kDefaultUserAgent},
    {"If-Modified-Since", &R::LastModified, F::kDate, fsCompose},
    {"Range", TRangeMembers<R>{&R::ContentRangeStart, &R::ContentRangeEnd}, F::kRange, fsCompose | fsParse},
    // The credentials go into the Authenticator when a line is composed.
    {{}, &R::Username, F::kText, fsCopy},
    {{}, &R::Password, F::kText, fsCopy},
    {{}, &R::BasicAuthentication, F::kFlag, fsReset | fsCopy},
};
static_assert(FieldsAgree(kRequestFields));

}  // namespace

TIdRequestHeaderInfo::TIdRequestHeaderInfo() { TIdRequestHeaderInfo::ResetFields(); }

void TIdRequestHeaderInfo::ResetFields() {
  ResetEachField<kRequestFields>(*this);
  TIdEntityHeaderInfo::ResetFields();
}

void TIdRequestHeaderInfo::ComposeHeaders(bool own_credentials) {
  ComposeEntityLines();
  // The request's names differ from the entity's and from each other: only
  // custom lines can already hold one of them.
  const TLineWrite write = CustomHeaders.Empty() ? TLineWrite::kAppend : TLineWrite::kReplace;
  ComposeEachField<kRequestFields>(*this, HeaderLines, write);
  if (!Authenticator && BasicAuthentication) {
    Authenticator = std::make_unique<TIdBasicAuthentication>();
    Authenticator->AssignUserName(Username);
    Authenticator->AssignPassword(Password);
  }
  if (Authenticator && own_credentials) {
    WriteLine(HeaderLines, "Authorization", Authenticator->CredentialsText(), write);
  }
}

void TIdRequestHeaderInfo::ParseHeaders() { ParseWithEntityFields<kRequestFields>(*this, request_texts_); }

void TIdRequestHeaderInfo::AssignTo(Persistent& destination) const {
  if (auto* request = dynamic_cast<TIdRequestHeaderInfo*>(&destination)) {
    CopyEachField<kRequestFields>(*this, *request);
    return;
  }
  TIdEntityHeaderInfo::AssignTo(destination);
}

}  // namespace kv
