#pragma once
// A block's cells as VTK XML image data, in ASCII, one array of cell data, which ParaView and
// every VTK reader open. VTK runs x fastest, then y from the south, then z from the bottom: the
// grid's last layer's last row first.
//
//   vtkImage(grid 2 x 1 x 2 of 10 x 10 x 1 from (0, 0, -2), "class", "Int64", code)
//     -> <ImageData WholeExtent="0 2 0 1 0 2" Origin="0 0 -2" Spacing="10 10 1">
//        ... <DataArray type="Int64" Name="class" format="ascii">
//        codes of cells 2 3 (layer 1, the lower), then 0 1

#include <cstddef>
#include <functional>
#include <string>

#include "fit/simulating/sim_grid.hpp"

namespace reduz::fit {

// `type` a VTK array type ("Int64", "Float64"), `cell(i)` the text of the grid's cell i.
std::string vtkImage(const SimGrid& grid, const std::string& name, const std::string& type,
                     const std::function<std::string(std::size_t)>& cell);

}  // namespace reduz::fit
