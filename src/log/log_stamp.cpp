#include "log/log_stamp.h"

#include "util/strings.h"

namespace {

// Fixed English, whatever the locale.
constexpr const char* kMonthAbbrev[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

ShortString TwoDigits(int value) { return ZeroPad(NumToStr(value), 2); }

}  // namespace

ShortString LogStamp(const platform::LocalDateTime& now) {
  const ShortString year = NumToStr(now.year);
  ShortString stamp = TwoDigits(now.day);
  stamp += ' ';
  stamp += now.month >= 1 && now.month <= 12 ? kMonthAbbrev[now.month - 1] : "???";
  stamp += ' ';
  stamp += year.view().substr(year.size() < 2 ? year.size() : 2, 2);  // 2026 gives "26"
  stamp += ' ';
  stamp += TwoDigits(now.hour);
  stamp += ':';
  stamp += TwoDigits(now.minute);
  stamp += ':';
  stamp += TwoDigits(now.second);
  return stamp;
}
