#pragma once
// Rate lists for the scripted server that stands in for the rate page.
#include <cstdio>
#include <string>

// A rate list of `pairs` pairs, PAIR00 up, with changes of both signs (so
// fresh rows show red and blue) and a price of its own for each: pair i
// shows "3.<i>00 - 00", PAIR19 "3.1900 - 00".
inline std::string RateList(int pairs)
{
    std::string list;
    for (int i = 0; i < pairs; ++i) {
        char group[128];
        std::snprintf(group, sizeof group, "PAIR%02d,3.%02d001,3.%02d001,x,3.9,3.0,%s0.%02d%%,3.1,x,", i, i, i,
                      i % 2 ? "-" : "+", i + 1);
        list += group;
    }
    return list;
}
