#include "update/RetryAfter.h"

#include "base/Text.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace {

// A value is a header field: anything longer is not a date or a count.
constexpr size_t kLongestValue = 64;

const std::array<const char*, 12> kMonths = {"jan", "feb", "mar", "apr", "may", "jun",
                                             "jul", "aug", "sep", "oct", "nov", "dec"};

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads characters off the front of a text; every reader fails without
// moving when the text does not fit.
class Reader {
public:
    explicit Reader(std::string_view input) : text(input) {}

    bool Done() const { return text.empty(); }

    bool Literal(std::string_view expected)
    {
        if (text.substr(0, expected.size()) != expected)
            return false;
        text.remove_prefix(expected.size());
        return true;
    }

    // Exactly `width` digits, or between 1 and -width when `width` < 0.
    bool Number(int width, int& value)
    {
        size_t most = static_cast<size_t>(width < 0 ? -width : width);
        size_t count = 0;
        while (count < most && count < text.size() && IsDigit(text[count]))
            ++count;
        if (count == 0 || (width > 0 && count != most))
            return false;
        value = 0;
        for (size_t i = 0; i < count; ++i)
            value = value * 10 + (text[i] - '0');
        text.remove_prefix(count);
        return true;
    }

    // A day or month name: letters up to the next non-letter.
    bool Word(std::string& word)
    {
        size_t count = 0;
        while (count < text.size() && std::isalpha(static_cast<unsigned char>(text[count])))
            ++count;
        if (count == 0)
            return false;
        word = LowerAscii(text.substr(0, count));
        text.remove_prefix(count);
        return true;
    }

    bool Month(int& month)
    {
        std::string word;
        Reader saved = *this;
        if (!Word(word))
            return false;
        for (size_t i = 0; i < kMonths.size(); ++i) {
            if (word == kMonths[i]) {
                month = static_cast<int>(i) + 1;
                return true;
            }
        }
        *this = saved;
        return false;
    }

    bool Time(int& hour, int& minute, int& second)
    {
        return Number(2, hour) && Literal(":") && Number(2, minute) && Literal(":") && Number(2, second);
    }

private:
    std::string_view text;
};

struct Date {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// "Sun, 06 Nov 1994 08:49:37 GMT"
bool ReadFixDate(Reader in, Date& d)
{
    std::string weekday;
    return in.Word(weekday) && in.Literal(", ") && in.Number(2, d.day) && in.Literal(" ") &&
           in.Month(d.month) && in.Literal(" ") && in.Number(4, d.year) && in.Literal(" ") &&
           in.Time(d.hour, d.minute, d.second) && in.Literal(" GMT") && in.Done();
}

// "Sunday, 06-Nov-94 08:49:37 GMT": a two-digit year more than 50 years
// ahead is taken as the last century's.
bool ReadRfc850Date(Reader in, Date& d, int thisYear)
{
    std::string weekday;
    if (!(in.Word(weekday) && in.Literal(", ") && in.Number(2, d.day) && in.Literal("-") &&
          in.Month(d.month) && in.Literal("-") && in.Number(2, d.year) && in.Literal(" ") &&
          in.Time(d.hour, d.minute, d.second) && in.Literal(" GMT") && in.Done()))
        return false;
    int century = thisYear / 100 * 100;
    d.year += century;
    if (d.year > thisYear + 50)
        d.year -= 100;
    return true;
}

// "Sun Nov  6 08:49:37 1994"
bool ReadAsctimeDate(Reader in, Date& d)
{
    std::string weekday;
    if (!(in.Word(weekday) && in.Literal(" ") && in.Month(d.month) && in.Literal(" ")))
        return false;
    in.Literal(" ");  // a one-digit day is padded with a space
    return in.Number(-2, d.day) && in.Literal(" ") && in.Time(d.hour, d.minute, d.second) &&
           in.Literal(" ") && in.Number(4, d.year) && in.Done();
}

bool Plausible(const Date& d)
{
    return d.day >= 1 && d.day <= 31 && d.hour <= 23 && d.minute <= 59 && d.second <= 60;
}

uint32_t Bounded(int64_t seconds)
{
    if (seconds < 0)
        return 0;
    if (seconds > kLongestRetryAfterSeconds)
        return kLongestRetryAfterSeconds;
    return static_cast<uint32_t>(seconds);
}

}  // namespace

int64_t UtcSeconds(int year, int month, int day, int hour, int minute, int second)
{
    // Days from 1970-01-01 of a civil date (H. Hinnant's days_from_civil).
    int64_t y = year - (month <= 2 ? 1 : 0);
    int64_t era = (y >= 0 ? y : y - 399) / 400;
    int64_t yearOfEra = y - era * 400;
    int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    int64_t days = era * 146097 + dayOfEra - 719468;
    return days * 86400 + hour * 3600 + minute * 60 + second;
}

std::optional<uint32_t> ParseRetryAfter(std::string_view value, std::time_t now)
{
    value = TrimBlanks(value);
    if (value.empty() || value.size() > kLongestValue)
        return std::nullopt;

    if (IsDigit(value.front())) {
        uint64_t seconds = 0;
        for (char c : value) {
            if (!IsDigit(c))
                return std::nullopt;
            // Past the bound the exact figure no longer matters.
            if (seconds <= kLongestRetryAfterSeconds)
                seconds = seconds * 10 + static_cast<uint64_t>(c - '0');
        }
        return Bounded(static_cast<int64_t>(std::min<uint64_t>(seconds, kLongestRetryAfterSeconds + 1ull)));
    }

    std::optional<int64_t> at = ParseHttpDate(value, now);
    if (!at)
        return std::nullopt;
    return Bounded(*at - static_cast<int64_t>(now));
}

std::optional<int64_t> ParseHttpDate(std::string_view value, std::time_t now)
{
    value = TrimBlanks(value);
    if (value.empty() || value.size() > kLongestValue)
        return std::nullopt;
    // The year a two-digit year is judged against.
    int64_t days = static_cast<int64_t>(now) / 86400;
    int thisYear = 1970 + static_cast<int>(days / 365);  // close enough for a century window
    Date date;
    Reader reader(value);
    if (!(ReadFixDate(reader, date) || ReadRfc850Date(reader, date, thisYear) ||
          ReadAsctimeDate(reader, date)) ||
        !Plausible(date))
        return std::nullopt;
    return UtcSeconds(date.year, date.month, date.day, date.hour, date.minute, date.second);
}
