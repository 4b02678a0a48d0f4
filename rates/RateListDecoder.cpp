#include "rates/RateListDecoder.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

// The list is prepared as if by ReplaceAll(",,0" -> ",,") and then Split at
// ",", but in one pass over the body without copying it or making strings
// of the fields that are not used. ReplaceAll's scan never backs up, so it
// removes exactly the zeros that stand behind ",," in the downloaded text;
// each field checks that for itself below.

namespace {

constexpr std::size_t kFieldsPerPair = 9;

struct Field {
    const char* data;
    std::size_t size;
};

class FieldReader {
public:
    explicit FieldReader(const std::string& body)
        : begin(body.data()), end(body.data() + body.size()), next(body.data())
    {
    }

    // The next field; only called while one is known to follow.
    Field Read()
    {
        const char* start = next;
        const void* comma = std::memchr(start, ',', static_cast<std::size_t>(end - start));
        const char* stop = comma ? static_cast<const char*>(comma) : end;
        next = comma ? stop + 1 : end;
        if (start - begin >= 2 && start[-1] == ',' && start[-2] == ',' && start != stop && *start == '0')
            ++start;
        return Field{start, static_cast<std::size_t>(stop - start)};
    }

    void Skip() { Read(); }

private:
    const char* begin;
    const char* end;
    const char* next;
};

// All but the last character; an empty field stays empty.
void AssignWithoutLast(std::string& target, Field field)
{
    target.assign(field.data, field.size == 0 ? 0 : field.size - 1);
}

// The price text: field 1 without its last character, " - ", then the two
// characters of field 2 that stand before its last one. A field 2 shorter
// than three characters gives what there is of those two (one character
// from a two-character field, none from a shorter one): the pair stays in
// the list and keeps being updated, which dropping its group would not do.
void ComposePriceText(std::string& target, Field first, Field second)
{
    std::size_t firstLength = first.size == 0 ? 0 : first.size - 1;
    std::size_t tailEnd = second.size == 0 ? 0 : second.size - 1;
    std::size_t tailStart = second.size >= 3 ? second.size - 3 : 0;
    target.reserve(firstLength + 3 + (tailEnd - tailStart));
    target.assign(first.data, firstLength);
    target.append(" - ", 3);
    target.append(second.data + tailStart, tailEnd - tailStart);
}

}  // namespace

std::vector<RateQuote> DecodeRateList(const std::string& body)
{
    std::vector<RateQuote> quotes;
    // Groups start at field 0, 9, 18, ... and are decoded while start + 9 is
    // less than the number of fields, that is while a comma follows the
    // group's ninth field: each decoded group owns nine commas.
    std::size_t commas = static_cast<std::size_t>(std::count(body.begin(), body.end(), ','));
    quotes.resize(std::min(commas / kFieldsPerPair, kMostPairs));

    FieldReader reader(body);
    for (RateQuote& quote : quotes) {
        Field code = reader.Read();
        quote.code.assign(code.data, code.size);
        Field first = reader.Read();
        Field second = reader.Read();
        ComposePriceText(quote.priceText, first, second);
        reader.Skip();
        Field high = reader.Read();
        quote.highText.assign(high.data, high.size);
        Field low = reader.Read();
        quote.lowText.assign(low.data, low.size);
        AssignWithoutLast(quote.changeText, reader.Read());
        Field open = reader.Read();
        quote.openText.assign(open.data, open.size);
        reader.Skip();
    }
    return quotes;
}
