#include "fit/simulating/sim_plot.hpp"

#include <algorithm>
#include <array>
#include <functional>
#include <initializer_list>

#include "fit/fitting/panel_plot.hpp"

namespace reduz::fit {

namespace {

// Distinct colours, taken in turn; a class past the last takes the first again.
constexpr std::array<const char*, 12> colours = {"#1b9e77", "#d95f02", "#7570b3", "#e7298a", "#66a61e", "#e6ab02",
                                                 "#a6761d", "#666666", "#1f78b4", "#b2df8a", "#fb9a99", "#cab2d6"};

constexpr long long mostShown = 300;

// One map as a gnuplot data block of the class index (-1 for none), every `every`-th cell.
std::string block(const std::string& name, const SimGrid& grid, long long every, const std::function<int(std::size_t)>& cell) {
    std::string text = "$";
    text += name;
    text += " << EOD\n";
    // gnuplot's matrix rows go up the picture: the southern row first.
    for (long long r = grid.rows - 1; r >= 0; r -= every) {
        for (long long c = 0; c < grid.columns; c += every) {
            if (c > 0) text += ' ';
            text += std::to_string(cell(static_cast<std::size_t>(r * grid.columns + c)));
        }
        text += '\n';
    }
    return text + "EOD\n";
}

}  // namespace

std::string realizationsScript(const SimGrid& grid, const std::vector<std::string>& classes, const KnownCells& known,
                               const std::vector<std::vector<std::uint8_t>>& realizations,
                               const std::vector<std::uint8_t>& mostProbable) {
    const long long every = std::max<long long>(1, (std::max(grid.columns, grid.rows) + mostShown - 1) / mostShown);
    const std::size_t shown = std::min<std::size_t>(4, realizations.size());
    const std::size_t panels = shown + 2;
    const std::size_t across = std::min<std::size_t>(3, panels), down = (panels + across - 1) / across;
    std::string text =
        "# The data, up to four realizations and the most probable class of each cell.\n"
        "#   gnuplot realizations.gp                     writes realizations.png\n"
        "#   gnuplot -e \"output='other.png'\" realizations.gp\n"
        "if (!exists(\"output\")) output = 'realizations.png'\n"
        "set terminal pngcairo noenhanced font ',9' size ";
    text += std::to_string(across * 430);
    text += ",";
    text += std::to_string(down * 380);
    text += "\nif (output eq '') { set output } else { set output output }\n";
    text += block("data", grid, every, [&](std::size_t c) { return known[c]; });
    for (std::size_t r = 0; r < shown; ++r) {
        text += block(std::string(1, 'r') += std::to_string(r + 1), grid, every, [&](std::size_t c) { return realizations[r][c]; });
    }
    text += block("best", grid, every, [&](std::size_t c) { return mostProbable[c]; });
    const std::size_t n = classes.size();
    // -1, nothing known, is white; class k its colour
    const auto add = [&](std::initializer_list<std::string> parts) {
        for (const std::string& part : parts) text += part;
    };
    add({"set palette maxcolors ", std::to_string(n + 1), "\nset palette defined (-1 '#ffffff'"});
    for (std::size_t k = 0; k < n; ++k) add({", ", std::to_string(k), " '", colours[k % colours.size()], "'"});
    add({")\nset cbrange [-1.5:", std::to_string(n), "-0.5]\nset cbtics ("});
    for (std::size_t k = 0; k < n; ++k) add({k > 0 ? ", " : "", gnuplotString(classes[k]), " ", std::to_string(k)});
    add({")\nset size ratio -1\nunset xtics\nunset ytics\nunset key\n"});
    add({"set multiplot layout ", std::to_string(down), ",", std::to_string(across), "\n"});
    const auto panel = [&](const std::string& name, const std::string& title) {
        add({"set title ", gnuplotString(title), "\nplot $", name, " matrix with image\n"});
    };
    panel("data", "data");
    for (std::size_t r = 0; r < shown; ++r) {
        const std::string number = std::to_string(r + 1);
        panel(std::string(1, 'r') += number, std::string("realization ") += number);
    }
    panel("best", "most probable");
    return text + "unset multiplot\n";
}

}  // namespace reduz::fit
