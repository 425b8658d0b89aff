#pragma once
// Internet dates in header fields: written as "Sun, 6 Nov 1994 08:49:37
// +0300" (local time and the local zone offset), read in the three layouts
// that servers send ("Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94
// 08:49:37 GMT", "Sun Nov  6 08:49:37 1994") and turned into local time.
// Reading never fails: what cannot be read gives 0 before the local offset.

#include <string>
#include <string_view>

#include "base/date_time.h"
#include "net/exceptions.h"

namespace kv {

KV_DECLARE_ID_EXCEPTION(EIdFailedToRetreiveTimeZoneInfo, EIdException,
                        "Failed attempting to retrieve time zone information.");

// Local time minus UTC as a fraction of a day, whole minutes, as the C
// library's time zone (TZ) has it now. Raises EIdFailedToRetreiveTimeZoneInfo
// when the library cannot tell.
TDateTime LocalOffsetFromUtc();

// The local date and time now.
TDateTime Now();

// "GMT" when `useGmt` and the offset is 0; otherwise a sign and four digits
// of hours and minutes, for example "+0300" or "-0530".
std::string ZoneOffsetText(TDateTime offset, bool useGmt);

// "%s, %d %s %d %s %s": day name, day, month name, four-digit year,
// "HH:NN:SS" of `value` as it is (local time), then the local zone offset.
// Raises EConvertError "Invalid date-time value" for a value outside the
// years 1 to 9999.
std::string InternetDateText(TDateTime value);

// 1..7 for "SUN".."SAT" (the first three characters, any case), else 0.
int DayNumber(std::string_view text);
// 1..12 for the whole text "JAN".."DEC" in any case, else 0.
int MonthNumber(std::string_view text);

// The date in `text`, leaving the unread rest - the zone - in `text`,
// left-trimmed. An unreadable date gives 0 and leaves nothing.
TDateTime ParseInternetDate(std::string& text);

// The offset of a zone "+HHMM" / "-HHMM" (the first five characters of the
// trimmed text) as a fraction of a day; 0 for anything else.
TDateTime ZoneTextToOffset(std::string_view text);

// The date in `text` in the local zone: the zone written in the text is
// taken off and the local offset added. An empty or unreadable text gives
// the local offset alone.
TDateTime InternetDateToLocal(std::string_view text);
// The same with the local offset already known (LocalOffsetFromUtc), for
// several dates read at one moment.
TDateTime InternetDateToLocal(std::string_view text, TDateTime local_offset);

}  // namespace kv
