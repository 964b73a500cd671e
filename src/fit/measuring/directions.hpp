#pragma once
// The directions a measurement runs: logs down or up, or lateral, between holes; a map's rows
// east or west, its columns north or south. Up, west and north take each position's partner
// behind it (z - h).
//
//   directionName(Direction::north) -> "north"   isMapDirection(Direction::up) -> false
//   isBackward(Direction::west) -> true          alongColumns(Direction::south) -> true

#include <optional>
#include <string_view>

namespace reduz::fit {

enum class Direction { down, up, east, west, north, south, lateral };

std::string_view directionName(Direction direction);
// The direction of that name; none for any other word.
std::optional<Direction> directionNamed(std::string_view name);

bool isMapDirection(Direction direction);  // east, west, north, south
bool isBackward(Direction direction);      // up, west, north
bool alongColumns(Direction direction);    // north, south

}  // namespace reduz::fit
