#include "http/uri.h"

#include "base/text.h"
#include "base/text_tokens.h"

namespace kv {
namespace {

// Splits a path-and-query text (without a leading slash) into directory,
// resource and query. The query starts at the first "?", or at the first
// "=" when there is no "?"; the directory ends at the last "/" before it.
void SplitPath(const std::string& w, TIdURI& uri, bool absolute) {
  size_t q = Pos("?", w);
  if (q == 0) q = Pos("=", w);
  size_t s = 0;
  {
    size_t limit = q > 0 ? q : w.size();
    size_t at = std::string_view(w).substr(0, limit).rfind('/');
    s = at == std::string::npos ? 0 : at + 1;
  }
  uri.Directory = absolute ? "/" + w.substr(0, s) : w.substr(0, s);
  if (q > 0) {
    uri.Resource = w.substr(0, q - 1);
    uri.Query = w.substr(q - 1);
  } else {
    uri.Resource = w;
  }
  uri.Resource.erase(0, s);
}

}  // namespace

std::string TIdURI::NormalizeSlashes(std::string_view text) {
  std::string result(text);
  for (char& c : result)
    if (c == '\\') c = '/';
  return result;
}

void TIdURI::Parse(std::string_view text) {
  Text = NormalizeSlashes(text);
  Protocol.clear();
  Username.clear();
  Password.clear();
  Host.clear();
  Port.clear();
  Directory.clear();
  Resource.clear();
  Query.clear();
  Fragment.clear();

  std::string w = Text;
  if (size_t p = Pos("://", w); p > 0) {
    Protocol = w.substr(0, p - 1);
    w.erase(0, p + 2);
    std::string authority = CutToken(w, "/");
    if (size_t a = Pos("@", authority); a > 0) {
      Password = authority.substr(0, a - 1);
      authority.erase(0, a);
    }
    Username = CutToken(Password, ":");
    if (Username.empty()) Password.clear();
    Host = CutToken(authority, ":");
    Port = std::move(authority);
    SplitPath(w, *this, true);
  } else {
    SplitPath(w, *this, false);
  }
  // A "#" in the last segment starts the fragment, which is never sent.
  Fragment = std::move(Resource);
  Resource = CutToken(Fragment, "#");
  if (Fragment.empty()) {
    Fragment = std::move(Query);
    Query = CutToken(Fragment, "#");
  }
}

std::string TIdURI::FullUri(unsigned optionalFields) {
  if (Protocol.empty()) throw EIdURIException("Protocol field is empty");
  if (Host.empty()) throw EIdURIException("Host field is empty");
  const std::string auth = Username.empty() ? std::string()
                                            : Username + (Password.empty() ? std::string() : ":" + Password) + "@";
  const std::string bookmark = Fragment.empty() ? std::string() : "#" + Fragment;
  auto compose = [&](bool withAuth, bool withBookmark) {
    return Protocol + "://" + (withAuth ? auth : std::string()) + Host + (Port.empty() ? std::string() : ":" + Port) +
           Directory + Resource + Query + (withBookmark ? bookmark : std::string());
  };
  Text = compose(true, true);
  return compose((optionalFields & ofAuthInfo) != 0, (optionalFields & ofBookmark) != 0);
}

std::string MergePath(std::string_view base, std::string_view path) {
  if (!path.empty() && path.front() == '/') return std::string(path);
  std::string source(base);
  if (!source.empty() && source.back() != '/') source += '/';
  source += path;

  std::string result;
  result.reserve(source.size());
  for (size_t i = 0; i < source.size(); ++i) {
    const char c = source[i];
    if (c == '/') {
      if (result.empty() || result.back() != '/') result += c;
    } else if (c == '.' && !result.empty() && result.back() == '/' && i + 1 < source.size() && source[i + 1] == '.') {
      // ".." after a slash: drop the last segment of the result, keeping
      // the slash that precedes it.
      result.pop_back();
      size_t slash = result.rfind('/');
      result.erase(slash == std::string::npos ? 0 : slash + 1);
      ++i;  // the second "."
    } else {
      result += c;
    }
  }
  if (result.size() > 1 && result.back() == '/' && !path.empty() && path.back() != '/') result.pop_back();
  return result;
}

}  // namespace kv
