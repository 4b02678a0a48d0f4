#include "rates/RecordIndex.h"

#include "base/Text.h"

RecordIndex::RecordIndex(const std::vector<FXRate>& records)
{
    positions.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i)
        positions.emplace(LowerAscii(records[i].code), i);
}

std::size_t RecordIndex::Find(const std::string& code) const
{
    const auto found = positions.find(LowerAscii(code));
    return found == positions.end() ? npos : found->second;
}

bool RecordIndex::Add(const std::string& code, std::size_t position)
{
    return positions.emplace(LowerAscii(code), position).second;
}
