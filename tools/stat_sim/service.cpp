#include "tools/stat_sim/service.h"

#include <charconv>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/cp1251.h"
#include "tools/stat_sim/keyword_set.h"
#include "tools/stat_sim/pages.h"
#include "tools/stat_sim/query.h"
#include "tools/stat_sim/session.h"

namespace kv::statsim {
namespace {

constexpr const char* kContentType = "text/html; charset=utf-8";

std::string_view Trim(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

bool HasSessionCookie(const httplib::Request& request) {
  const std::string wanted = std::string(kCookieName) + "=" + std::string(kCookieValue);
  for (size_t i = 0; i < request.get_header_value_count("Cookie"); ++i) {
    std::string header = request.get_header_value("Cookie", i);
    for (std::string_view pairs = header; !pairs.empty();) {
      size_t semicolon = pairs.find(';');
      if (Trim(pairs.substr(0, semicolon)) == wanted) return true;
      pairs = semicolon == std::string_view::npos ? std::string_view() : pairs.substr(semicolon + 1);
    }
  }
  return false;
}

// Control bytes would break the page's line layout; they show as blanks.
std::string WithoutControls(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return text;
}

std::optional<int> PageNumber(const std::optional<std::string>& text, int last_page) {
  if (!text) return 1;
  int page = 0;
  auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), page);
  if (ec != std::errc() || end != text->data() + text->size() || page < 1 || page > last_page) return std::nullopt;
  return page;
}

}  // namespace

void StatService::Handle(const httplib::Request& request, httplib::Response& response) const {
  if (Query(request.target).Value("text"))
    ServeResults(request, response);
  else
    ServeForm(response);
}

void StatService::ServeForm(httplib::Response& response) const {
  response.set_header("Set-Cookie", std::string(kCookieName) + "=" + std::string(kCookieValue) + "; path=/");
  response.set_content(FormPage(options_.form), kContentType);
}

void StatService::ServeResults(const httplib::Request& request, httplib::Response& response) const {
  Query query(request.target);
  ResultPageContent content;
  content.seed_cp1251 = WithoutControls(query.Value("text").value_or(""));
  content.seed = Cp1251ToUtf8(content.seed_cp1251);

  if (!HasSessionCookie(request) || query.Value("key") != kFormKey || query.Value("tm") != kFormTm) {
    response.set_content(NoTablePage(content.seed, "Сессия устарела: откройте страницу подбора слов заново."),
                         kContentType);
    return;
  }
  if (content.seed.empty()) {
    response.set_content(NoTablePage(content.seed, "Не задано слово для подбора."), kContentType);
    return;
  }
  std::optional<int> page = PageNumber(query.Value("page"), options_.pages);
  if (!page) {
    response.set_content(NoTablePage(content.seed, "Такой страницы нет."), kContentType);
    return;
  }

  KeywordSet keywords(content.seed, options_.top_count);
  content.page = *page;
  content.last_page = options_.pages;
  content.rows = keywords.Page(*page, kRowsPerPage);
  content.related = keywords.Related();
  std::string body = ResultPage(content, options_.faults);

  if (*page != options_.close_mid_page) {
    response.set_content(body, kContentType);
    return;
  }
  // Announce the whole length, send half, then refuse to go on: the server
  // then closes the connection in the middle of the body.
  auto shared = std::make_shared<std::string>(std::move(body));
  response.set_content_provider(shared->size(), kContentType,
                                [shared](size_t offset, size_t, httplib::DataSink& sink) {
                                  if (offset == 0) sink.write(shared->data(), shared->size() / 2);
                                  return false;
                                });
}

}  // namespace kv::statsim
