#pragma once
#include <string>

// The shapes of rate page the widget reads. `Auto` tells them apart by the
// body; the others take every body as that shape.
enum class RateFormat { Auto, List, Json, Ecb };

// The settings value: "auto", "list", "json" or "ecb", in any ASCII case.
// False (and `format` untouched) for anything else.
bool ParseRateFormat(const std::string& text, RateFormat& format);

// The settings value of a format, in lower case.
const char* RateFormatName(RateFormat format);

// The shape a body has by its first byte that is not white space (after a
// UTF-8 byte order mark): '{' or '[' is JSON, '<' is XML and so the ECB's
// reference rates, anything else (an empty body too) the comma-separated
// list. Never `Auto`.
RateFormat DetectRateFormat(const std::string& body);
