#pragma once
#include <string>

// The texts of one currency pair in one downloaded rate list, exactly as
// they stood in the list (the provider's code page, never converted).
struct RateQuote {
    std::string code;
    std::string priceText;
    std::string changeText;
    std::string highText;
    std::string lowText;
    std::string openText;
};
