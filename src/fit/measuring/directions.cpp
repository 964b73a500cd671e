#include "fit/measuring/directions.hpp"

#include <array>

namespace reduz::fit {

namespace {

constexpr std::array<std::string_view, 7> names = {"down", "up", "east", "west", "north", "south", "lateral"};

}  // namespace

std::string_view directionName(Direction direction) { return names[static_cast<std::size_t>(direction)]; }

std::optional<Direction> directionNamed(std::string_view name) {
    for (std::size_t d = 0; d < names.size(); ++d) {
        if (names[d] == name) return static_cast<Direction>(d);
    }
    return std::nullopt;
}

bool isMapDirection(Direction d) {
    return d == Direction::east || d == Direction::west || d == Direction::north || d == Direction::south;
}

bool isBackward(Direction d) { return d == Direction::up || d == Direction::west || d == Direction::north; }

bool alongColumns(Direction d) { return d == Direction::north || d == Direction::south; }

}  // namespace reduz::fit
