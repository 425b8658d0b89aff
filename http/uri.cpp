#include "http/uri.h"

#include "base/text_tokens.h"

namespace kv {
namespace {

// The parts of a path-and-query text (without a leading slash). The query
// starts at the first "?", or at the first "=" when there is no "?"; the
// directory ends at the last "/" before it.
struct PathParts {
  std::string_view directory;
  std::string_view resource;
  std::string_view query;
};

PathParts SplitPath(std::string_view w) {
  size_t q = w.find('?');
  if (q == std::string_view::npos) q = w.find('=');
  q = q == std::string_view::npos ? 0 : q + 1;  // 1-based, 0 for none
  const size_t limit = q > 0 ? q : w.size();
  const size_t at = w.substr(0, limit).rfind('/');
  const size_t s = at == std::string_view::npos ? 0 : at + 1;
  const size_t resource_end = q > 0 ? q - 1 : w.size();
  return {w.substr(0, s), w.substr(s, resource_end - s), q > 0 ? w.substr(q - 1) : std::string_view()};
}

}  // namespace

std::string TIdURI::NormalizeSlashes(std::string_view text) {
  std::string result(text);
  for (char& c : result)
    if (c == '\\') c = '/';
  return result;
}

void TIdURI::Parse(std::string_view text) {
  // Every field is assigned in place, so that a URL parsed again reuses the
  // storage of the last one.
  Text.assign(text);
  for (size_t at = Text.find('\\'); at != std::string::npos; at = Text.find('\\', at + 1)) Text[at] = '/';
  Protocol.clear();
  Username.clear();
  Password.clear();
  Host.clear();
  Port.clear();
  Directory.clear();

  std::string_view w = Text;
  bool absolute = false;
  if (const size_t p = w.find("://"); p != std::string_view::npos) {
    Protocol.assign(w.substr(0, p));
    w.remove_prefix(p + 3);
    std::string_view authority = CutTokenView(w, "/");
    // "user:password@" before the host; a password without a user is none.
    if (const size_t a = authority.find('@'); a != std::string_view::npos) {
      std::string_view credentials = authority.substr(0, a);
      authority.remove_prefix(a + 1);
      Username.assign(CutTokenView(credentials, ":"));
      if (!Username.empty()) Password.assign(credentials);
    }
    // A bracketed IPv6 literal keeps its brackets in the host (a Host
    // header needs them), and its colons separate no port: the port follows
    // the first ":" after the "]".
    const size_t literal_end = authority.starts_with('[') ? authority.find(']') : std::string_view::npos;
    const size_t colon = authority.find(':', literal_end == std::string_view::npos ? 0 : literal_end);
    Host.assign(authority.substr(0, colon));
    Port.assign(colon == std::string_view::npos ? std::string_view() : authority.substr(colon + 1));
    absolute = true;
  }
  const PathParts parts = SplitPath(w);
  if (absolute) Directory = "/";
  Directory.append(parts.directory);
  // A "#" in the last segment starts the fragment, which is never sent; a
  // fragment left empty there is looked for in the query.
  std::string_view resource = parts.resource;
  std::string_view query = parts.query;
  std::string_view fragment = resource;
  resource = CutTokenView(fragment, "#");
  if (fragment.empty()) {
    fragment = query;
    query = CutTokenView(fragment, "#");
  }
  Resource.assign(resource);
  Query.assign(query);
  Fragment.assign(fragment);
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
