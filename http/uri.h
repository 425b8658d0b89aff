#pragma once
// A URL split into its text fields. Nothing is encoded or decoded: the only
// changes to the caller's text are backslashes turned into slashes and a
// "#" with what follows it moved into Fragment.

#include <string>
#include <string_view>

#include "net/exceptions.h"

namespace kv {

KV_DECLARE_EXCEPTION(EIdURIException, EIdException);

// Parts that FullUri may add to protocol, host, port, path and query.
enum TIdURIOptionalField : unsigned {
  ofAuthInfo = 1u << 0,  // "user:password@" after the "://"
  ofBookmark = 1u << 1,  // "#" + Fragment at the end
};

class TIdURI {
 public:
  TIdURI() = default;
  explicit TIdURI(std::string_view text) { Parse(text); }

  // Splits `text` into the fields below; never fails.
  void Parse(std::string_view text);

  // Protocol "://" [user[":" password] "@"] Host [":" Port] Directory
  // Resource Query ["#" Fragment], with the optional parts chosen by
  // `optionalFields`. Stores the form with both optional parts in Text.
  // Raises EIdURIException "Protocol field is empty" / "Host field is empty".
  std::string FullUri(unsigned optionalFields = ofAuthInfo | ofBookmark);

  // Every "\" becomes "/".
  static std::string NormalizeSlashes(std::string_view text);

  std::string Text;       // the whole URL after slash normalisation
  std::string Protocol;
  std::string Username;
  std::string Password;
  std::string Host;
  std::string Port;       // as text
  std::string Directory;  // with leading and trailing slash when absolute
  std::string Resource;   // the last path segment
  std::string Query;      // beginning with its "?" (or "=")
  std::string Fragment;   // without its "#"
};

// Resolves `path` against the directory `base`: an absolute path replaces
// it; otherwise the two are joined, doubled slashes collapse and ".."
// removes the segment before it. A trailing slash is kept only when the
// result is "/", `path` is empty or `path` itself ends in one.
std::string MergePath(std::string_view base, std::string_view path);

}  // namespace kv
