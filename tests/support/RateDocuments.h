#pragma once
// Rate pages as public sources serve them, with the rows the widget makes of
// each: for any test that feeds the widget a body (over http or https) and
// reads the rows back.
#include <string>
#include <vector>

struct SampleRatePage {
    const char* name;
    std::string body;
    std::vector<std::string> rows; // "CODE price change" of the first download, in order
};

// Frankfurter's /v1/latest.
inline const char* const kFrankfurterLatest =
    R"({"amount":1.0,"base":"EUR","date":"2026-12-07","rates":{"USD":1.0855,"GBP":0.86245,"JPY":161.5,"CHF":0.9561}})";

// The ECB's eurofxref-daily.xml.
inline const char* const kEcbDaily = R"(<?xml version="1.0" encoding="UTF-8"?>
<gesmes:Envelope xmlns:gesmes="http://www.gesmes.org/xml/2002-08-01" xmlns="http://www.ecb.int/vocabulary/2002-08-01/eurofxref">
	<gesmes:subject>Reference rates</gesmes:subject>
	<gesmes:Sender>
		<gesmes:name>European Central Bank</gesmes:name>
	</gesmes:Sender>
	<Cube>
		<Cube time='2026-12-07'>
			<Cube currency='USD' rate='1.0855'/>
			<Cube currency='JPY' rate='161.50'/>
			<Cube currency='GBP' rate='0.86245'/>
		</Cube>
	</Cube>
</gesmes:Envelope>
)";

inline std::vector<SampleRatePage> SampleRatePages()
{
    return {
        {"comma list", "EURUSD,1.08421,1.08452,-,1.0900,1.0800,0.12x,1.0830,-,", {"EURUSD 1.0842 - 45 0.12"}},
        {"frankfurter json",
         kFrankfurterLatest,
         {"EURUSD 1.0855 +0.00", "EURGBP 0.86245 +0.00", "EURJPY 161.5 +0.00", "EURCHF 0.9561 +0.00"}},
        {"frankfurter v2 json",
         R"([{"date":"2026-12-07","base":"EUR","quote":"USD","rate":1.0855},{"date":"2026-12-07","base":"USD","quote":"JPY","rate":148.83}])",
         {"EURUSD 1.0855 +0.00", "USDJPY 148.83 +0.00"}},
        {"ecb xml", kEcbDaily, {"EURUSD 1.0855 +0.00", "EURJPY 161.50 +0.00", "EURGBP 0.86245 +0.00"}},
    };
}
