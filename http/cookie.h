#pragma once
// Cookie records: the Netscape cookie and its two richer kinds, each parsed
// from the text of a "Set-cookie" or "Set-cookie2" value and able to write
// itself back in that form.
//
// A record made with a collection belongs to it: the collection frees it,
// and destroying it (delete) takes it out of the collection and out of the
// domain index. Do not also hold such a record in a smart pointer that
// outlives the collection.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "net/exceptions.h"

namespace kv {

class TIdCookies;
class TIdCookieAttributes;

KV_DECLARE_ID_EXCEPTION(EIdCookiePortIndexError, EIdException, "Index out of range.");

// The rules a record follows; a record's class sets its kind, parsing may
// change it.
enum TIdCookieKind { ckNetscape, ckRFC2109, ckRFC2965 };

class TIdNetscapeCookie {
 public:
  explicit TIdNetscapeCookie(TIdCookies* collection = nullptr);
  virtual ~TIdNetscapeCookie();
  TIdNetscapeCookie(const TIdNetscapeCookie&) = delete;
  TIdNetscapeCookie& operator=(const TIdNetscapeCookie&) = delete;

  TIdCookies* Collection() const noexcept { return collection_; }

  // Reads name, value and attributes from `text`. The same text as last
  // time changes nothing.
  void ParseCookieText(const std::string& text);
  // The record as a "Set-cookie" value: "name=value; path=...; ...", parts
  // with an empty value left out.
  virtual std::string FormatCookieText() const;
  virtual void SetExpiryText(const std::string& text);
  // name "=" value, as it goes into a "Cookie" header.
  virtual std::string NameValueText() const { return name_ + "=" + value_; }
  // Whether a response from `host` may set a cookie of this record's domain.
  virtual bool AcceptableForHost(std::string_view host) const;
  // Makes this stored record the cookie `source` describes, by parsing the
  // source's text; it keeps its own place in the collection and the index.
  // Only records of the RFC 2109 kind or richer are taken over.
  void TakeOverFrom(const TIdNetscapeCookie& source);

  const std::string& RawText() const noexcept { return raw_text_; }
  const std::string& Domain() const noexcept { return domain_; }
  void SetDomain(std::string domain) { domain_ = std::move(domain); }
  const std::string& ExpiryText() const noexcept { return expiry_text_; }
  const std::string& Name() const noexcept { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  const std::string& Path() const noexcept { return path_; }
  void SetPath(std::string path) { path_ = std::move(path); }
  bool Secure() const noexcept { return secure_; }
  void SetSecure(bool secure) noexcept { secure_ = secure; }
  const std::string& Value() const noexcept { return value_; }
  void SetValue(std::string value) { value_ = std::move(value); }
  TIdCookieKind Kind() const noexcept { return kind_; }

 protected:
  TIdNetscapeCookie(TIdCookies* collection, TIdCookieKind kind);
  // Takes the fields of the attribute list; every field it knows is set,
  // to empty text when its attribute is missing.
  virtual void ApplyAttributes(const TIdCookieAttributes& attributes);
  void SetKind(TIdCookieKind kind) noexcept { kind_ = kind; }

 private:
  TIdCookies* collection_ = nullptr;
  std::string raw_text_;
  std::string domain_;
  std::string expiry_text_;
  std::string name_;
  std::string path_;
  bool secure_ = false;
  std::string value_;
  TIdCookieKind kind_ = ckNetscape;
};

class TIdCookieRFC2109 : public TIdNetscapeCookie {
 public:
  explicit TIdCookieRFC2109(TIdCookies* collection = nullptr) : TIdCookieRFC2109(collection, ckRFC2109) {}

  std::string FormatCookieText() const override;
  // Also sets max-age to the whole seconds from now to the date (negative
  // for a date in the past).
  void SetExpiryText(const std::string& text) override;

  int64_t MaxAge() const noexcept { return max_age_; }
  void SetMaxAge(int64_t seconds) noexcept { max_age_ = seconds; }
  const std::string& Version() const noexcept { return version_; }
  const std::string& Comment() const noexcept { return comment_; }

 protected:
  TIdCookieRFC2109(TIdCookies* collection, TIdCookieKind kind) : TIdNetscapeCookie(collection, kind) {}
  void ApplyAttributes(const TIdCookieAttributes& attributes) override;

 private:
  int64_t max_age_ = -1;
  std::string version_;
  std::string comment_;
};

class TIdCookieRFC2965 : public TIdCookieRFC2109 {
 public:
  explicit TIdCookieRFC2965(TIdCookies* collection = nullptr) : TIdCookieRFC2109(collection, ckRFC2965) {}

  const std::string& CommentURL() const noexcept { return comment_url_; }
  bool Discard() const noexcept { return discard_; }
  const std::vector<int32_t>& PortList() const noexcept { return port_list_; }
  // Entries 0 to the current count may be set; setting the entry at the
  // count appends one. Raises EIdCookiePortIndexError for any other index.
  void SetPort(int index, int32_t port);

 protected:
  // Raises EConvertError for a "Port" item that is not a decimal integer.
  void ApplyAttributes(const TIdCookieAttributes& attributes) override;

 private:
  std::string comment_url_;
  bool discard_ = false;
  std::vector<int32_t> port_list_;
};

}  // namespace kv
