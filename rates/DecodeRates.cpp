#include "rates/DecodeRates.h"

#include "rates/EcbRateDecoder.h"
#include "rates/JsonRateDecoder.h"
#include "rates/RateListDecoder.h"

DecodedRates DecodeRates(const std::string& body, RateFormat format)
{
    DecodedRates decoded;
    decoded.format = format == RateFormat::Auto ? DetectRateFormat(body) : format;
    switch (decoded.format) {
    case RateFormat::Json:
        DecodeJsonRates(body, decoded.document, decoded.failure);
        break;
    case RateFormat::Ecb:
        DecodeEcbRates(body, decoded.document, decoded.failure);
        break;
    default:
        decoded.quotes = DecodeRateList(body);
        if (decoded.quotes.empty())
            decoded.failure = NotARateList("no complete group of nine fields");
        break;
    }
    return decoded;
}
