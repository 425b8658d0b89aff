#include "http/header_fields.h"

#include "base/exception.h"
#include "base/int_conversion.h"
#include "base/text_tokens.h"
#include "http/internet_date.h"

namespace kv {
namespace {

// The bounds of a Content-Range: a decimal number from 0 up; anything else
// is a conversion error naming the text.
uint64_t RangeBound(const std::string& text) {
  const std::optional<int64_t> value = TryStrToInt64(text);
  if (!value || *value < 0) throw EConvertError("'" + text + "' is not a valid integer value");
  return static_cast<uint64_t>(*value);
}

}  // namespace

TDateTime TReadMoment::LocalOffset() {
  if (!local_offset_) local_offset_ = LocalOffsetFromUtc();
  return *local_offset_;
}

std::string_view MakeLengthText(int64_t value, std::string& buffer) {
  buffer = IntToStr(value);
  return buffer;
}

std::string_view MakeDateText(TDateTime date, std::string& buffer) {
  buffer = InternetDateText(date);
  return buffer;
}

std::string_view MakeRangeText(uint64_t start, uint64_t end, std::string& buffer) {
  buffer = "bytes=" + IntToStr(static_cast<int64_t>(start)) + "-";
  if (end != 0) buffer += IntToStr(static_cast<int64_t>(end));
  return buffer;
}

int64_t LengthOf(std::string_view text) { return TryStrToInt64(text).value_or(-1); }

TDateTime DateOf(std::string_view text, TReadMoment& moment) { return InternetDateToLocal(text, moment.LocalOffset()); }

TDateTime ExpiresOf(std::string_view text, TReadMoment& moment) {
  // "Expires" may be a number of seconds from now instead of a date.
  const auto seconds = TryStrToInt(text);
  if (seconds && *seconds != -1) return Now() + *seconds / kSecondsPerDay;
  return DateOf(text, moment);
}

void ReadRange(std::string& text, uint64_t& start, uint64_t& end) {
  auto number = [](const std::string& part) {
    const auto value = TryStrToInt64(part);
    return value && *value > 0 ? static_cast<uint64_t>(*value) : uint64_t{0};
  };
  CutToken(text, "=");
  start = number(CutToken(text, "-"));
  end = number(CutToken(text, " "));
}

void ReadContentRange(std::string& text, uint64_t& start, uint64_t& end) {
  CutToken(text, " ");  // the unit, "bytes"
  start = RangeBound(CutToken(text, "-"));
  end = RangeBound(CutToken(text, "/"));
}

}  // namespace kv
