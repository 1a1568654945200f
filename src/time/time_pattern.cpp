// The library's own strftime. The C runtime's is declined on purpose: it names days and months
// in the host's locale (German names in a German host), the Windows runtime ends the whole
// process over a conversion it does not know (its invalid-parameter handler), and the two
// platforms disagree on %C, %g, %G and others for some years. Here every conversion has one
// spelling, the "C" locale's, on both platforms.
#include "time/time_pattern.hpp"

#include <cstdint>
#include <cstring>

namespace korvane {
namespace {

constexpr const char* kWeekdays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                     "Thursday", "Friday", "Saturday"};
constexpr const char* kMonths[] = {"January",   "February", "March",    "April",
                                   "May",       "June",     "July",     "August",
                                   "September", "October",  "November", "December"};

// Collects output, refusing anything past kTimeTextMax characters.
class Output {
 public:
  explicit Output(char* out) noexcept : out_(out) {}

  void text(std::string_view s) noexcept {
    if (s.size() > kTimeTextMax - size_) {
      overflow_ = true;
      return;
    }
    // Most pieces are a character or two: copied here rather than by a call.
    if (s.size() <= 2) {
      for (const char c : s) {
        out_[size_++] = c;
      }
      return;
    }
    std::memcpy(out_ + size_, s.data(), s.size());
    size_ += s.size();
  }

  // `value` in decimal, zero- or space-padded to `width` digits (at most 4); a minus sign comes
  // first. Built from its end in a block of its own, then written as one piece.
  void number(std::int64_t value, int width, char pad = '0') noexcept {
    char block[24];
    char* const end = block + sizeof block;
    char* first = end;
    const bool negative = value < 0;
    std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    do {
      *--first = static_cast<char>('0' + magnitude % 10);
      magnitude /= 10;
    } while (magnitude != 0);
    while (end - first < width) {
      *--first = pad;
    }
    if (negative) {
      *--first = '-';
    }
    text(std::string_view(first, static_cast<std::size_t>(end - first)));
  }

  [[nodiscard]] bool overflowed() const noexcept { return overflow_; }
  [[nodiscard]] std::size_t size() const noexcept { return size_; }

 private:
  char* out_;
  std::size_t size_ = 0;
  bool overflow_ = false;
};

std::int64_t full_year(const std::tm& t) noexcept { return std::int64_t{t.tm_year} + 1900; }

std::int64_t floor_div(std::int64_t a, std::int64_t b) noexcept {
  return a / b - ((a % b != 0 && (a < 0) != (b < 0)) ? 1 : 0);
}

bool is_leap(std::int64_t year) noexcept {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

// A weekday or month field as an index into its table of `count` names: a field outside the
// table's range reads as 0 (Sunday, January), so that no field can index outside it.
int name_index(int value, int count) noexcept { return value < 0 || value >= count ? 0 : value; }

// ISO 8601 week-based year and week number (weeks start on Monday; week 1 holds January 4).
// Field arithmetic here and below is done in 64 bits, so that no field value can overflow it.
struct IsoWeek {
  std::int64_t year;
  std::int64_t week;
};

IsoWeek iso_week(const std::tm& t) noexcept {
  const std::int64_t wday_monday0 = (std::int64_t{t.tm_wday} + 6) % 7;
  std::int64_t year = full_year(t);
  // Day of year of this week's Thursday decides the week-based year.
  std::int64_t thursday = std::int64_t{t.tm_yday} - wday_monday0 + 3;
  if (thursday < 0) {
    --year;
    thursday += is_leap(year) ? 366 : 365;
  } else if (thursday >= (is_leap(year) ? 366 : 365)) {
    thursday -= is_leap(year) ? 366 : 365;
    ++year;
  }
  return {year, thursday / 7 + 1};
}

void format(std::string_view pattern, const ZonedTime& time, Output& out) noexcept;

// Writes one conversion; false when `c` (after any E or O modifier) names none.
bool convert(char c, char modifier, const ZonedTime& time, Output& out) noexcept {
  const std::tm& t = time.fields;
  // The modifiers are valid only on some conversions; in the "C" locale they change nothing.
  if (modifier == 'E' && std::string_view("cCxXyY").find(c) == std::string_view::npos) {
    return false;
  }
  if (modifier == 'O' && std::string_view("deHImMSuUVwWy").find(c) == std::string_view::npos) {
    return false;
  }
  switch (c) {
    case 'a': out.text(std::string_view(kWeekdays[name_index(t.tm_wday, 7)], 3)); break;
    case 'A': out.text(kWeekdays[name_index(t.tm_wday, 7)]); break;
    case 'b':
    case 'h': out.text(std::string_view(kMonths[name_index(t.tm_mon, 12)], 3)); break;
    case 'B': out.text(kMonths[name_index(t.tm_mon, 12)]); break;
    case 'c': format("%a %b %e %H:%M:%S %Y", time, out); break;
    case 'C': out.number(floor_div(full_year(t), 100), 2); break;
    case 'd': out.number(t.tm_mday, 2); break;
    case 'D':
    case 'x': format("%m/%d/%y", time, out); break;
    case 'e': out.number(t.tm_mday, 2, ' '); break;
    case 'F': format("%Y-%m-%d", time, out); break;
    case 'g': {
      const std::int64_t y = iso_week(t).year % 100;
      out.number(y < 0 ? y + 100 : y, 2);
      break;
    }
    case 'G': out.number(iso_week(t).year, 1); break;
    case 'H': out.number(t.tm_hour, 2); break;
    case 'I': out.number(t.tm_hour % 12 == 0 ? 12 : t.tm_hour % 12, 2); break;
    case 'j': out.number(std::int64_t{t.tm_yday} + 1, 3); break;
    case 'm': out.number(std::int64_t{t.tm_mon} + 1, 2); break;
    case 'M': out.number(t.tm_min, 2); break;
    case 'n': out.text("\n"); break;
    case 'p': out.text(t.tm_hour < 12 ? "AM" : "PM"); break;
    case 'r': format("%I:%M:%S %p", time, out); break;
    case 'R': format("%H:%M", time, out); break;
    case 'S': out.number(t.tm_sec, 2); break;
    case 't': out.text("\t"); break;
    case 'T':
    case 'X': format("%H:%M:%S", time, out); break;
    case 'u': out.number(t.tm_wday == 0 ? 7 : t.tm_wday, 1); break;
    case 'U': out.number((std::int64_t{t.tm_yday} + 7 - t.tm_wday) / 7, 2); break;
    case 'V': out.number(iso_week(t).week, 2); break;
    case 'w': out.number(t.tm_wday, 1); break;
    case 'W':
      out.number((std::int64_t{t.tm_yday} + 7 - (std::int64_t{t.tm_wday} + 6) % 7) / 7, 2);
      break;
    case 'y': {
      const std::int64_t y = full_year(t) % 100;
      out.number(y < 0 ? y + 100 : y, 2);
      break;
    }
    case 'Y': out.number(full_year(t), 1); break;
    case 'z': {
      const std::int64_t offset = time.utc_offset_seconds;
      // The magnitude in unsigned arithmetic: the most negative offset has no positive twin.
      const auto magnitude = static_cast<std::uint64_t>(offset);
      const std::uint64_t minutes = (offset < 0 ? 0 - magnitude : magnitude) / 60;
      out.text(offset < 0 ? "-" : "+");
      out.number(static_cast<std::int64_t>(minutes / 60 * 100 + minutes % 60), 4);
      break;
    }
    case 'Z': out.text(time.zone_name); break;
    case '%': out.text("%"); break;
    default: return false;
  }
  return true;
}

void format(std::string_view pattern, const ZonedTime& time, Output& out) noexcept {
  std::size_t i = 0;
  while (i < pattern.size() && !out.overflowed()) {
    // Patterns are short: a plain scan beats a call to the library's search.
    std::size_t percent = i;
    while (percent < pattern.size() && pattern[percent] != '%') {
      ++percent;
    }
    if (percent == pattern.size()) {
      out.text(pattern.substr(i));
      return;
    }
    out.text(pattern.substr(i, percent - i));
    std::size_t next = percent + 1;
    char modifier = '\0';
    if (next < pattern.size() && (pattern[next] == 'E' || pattern[next] == 'O')) {
      modifier = pattern[next];
      ++next;
    }
    if (next < pattern.size() && convert(pattern[next], modifier, time, out)) {
      i = next + 1;
    } else {
      // Not a conversion: copy it as it stands, the character that failed to complete it
      // included unless that begins the next specification.
      const std::size_t end = next < pattern.size() && pattern[next] != '%' ? next + 1 : next;
      out.text(pattern.substr(percent, end - percent));
      i = end;
    }
  }
}

}  // namespace

std::optional<std::size_t> format_time(std::string_view pattern, const ZonedTime& time,
                                       char* out) noexcept {
  Output output(out);
  format(pattern, time, output);
  if (output.overflowed()) {
    return std::nullopt;
  }
  out[output.size()] = '\0';
  return output.size();
}

}  // namespace korvane
