#include "base/StoredPlacement.h"

#include "base/Names.h"

#include <string>

namespace {

std::optional<long> ReadNumber(const IniText& settings, const char* key, long lowest, long highest)
{
    std::optional<std::string> text = settings.Value(names::kPlacementSection, key);
    std::optional<long long> value = text ? IniInteger(*text) : std::nullopt;
    if (!value)
        return std::nullopt;
    return static_cast<long>(*value < lowest ? lowest : *value > highest ? highest : *value);
}

std::optional<long> ReadSize(const IniText& settings, const char* key)
{
    std::optional<long> value = ReadNumber(settings, key, 0, StoredPlacement::SizeLimit);
    return value && *value > 0 ? value : std::nullopt;
}

void WriteNumber(IniText& settings, const char* key, const std::optional<long>& value)
{
    if (value)
        settings.Set(names::kPlacementSection, key, std::to_string(*value));
}

}  // namespace

StoredPlacement ReadPlacement(const IniText& settings)
{
    StoredPlacement placement;
    const long limit = StoredPlacement::CoordinateLimit;
    placement.left = ReadNumber(settings, names::kMainLeftKey, -limit, limit);
    placement.top = ReadNumber(settings, names::kMainTopKey, -limit, limit);
    placement.width = ReadSize(settings, names::kMainWidthKey);
    placement.height = ReadSize(settings, names::kMainHeightKey);
    std::optional<std::string> zoomed = settings.Value(names::kPlacementSection, names::kZoomedKey);
    std::optional<long long> zoomedValue = zoomed ? IniInteger(*zoomed) : std::nullopt;
    placement.zoomed = zoomedValue && *zoomedValue != 0;
    return placement;
}

void WritePlacement(IniText& settings, const StoredPlacement& placement)
{
    WriteNumber(settings, names::kMainLeftKey, placement.left);
    WriteNumber(settings, names::kMainTopKey, placement.top);
    WriteNumber(settings, names::kMainWidthKey, placement.width);
    WriteNumber(settings, names::kMainHeightKey, placement.height);
    if (placement.left || placement.top || placement.width || placement.height)
        settings.Set(names::kPlacementSection, names::kZoomedKey, placement.zoomed ? "1" : "0");
}
