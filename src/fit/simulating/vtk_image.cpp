#include "fit/simulating/vtk_image.hpp"

#include "fit/base/number_text.hpp"

namespace reduz::fit {

std::string vtkImage(const SimGrid& grid, const std::string& name, const std::string& type,
                     const std::function<std::string(std::size_t)>& cell) {
    std::string text = "<?xml version=\"1.0\"?>\n<VTKFile type=\"ImageData\" version=\"1.0\" byte_order=\"LittleEndian\">\n";
    std::string extent = "0 ";
    extent += std::to_string(grid.columns);
    extent += " 0 ";
    extent += std::to_string(grid.rows);
    extent += " 0 ";
    extent += std::to_string(grid.layers);
    text += "  <ImageData WholeExtent=\"" + extent + "\" Origin=\"" + shortest(grid.west) + " " + shortest(grid.south) + " " +
            shortest(grid.bottom) + "\" Spacing=\"" + shortest(grid.cellX) + " " + shortest(grid.cellY) + " " + shortest(grid.cellZ) +
            "\">\n";
    text += "    <Piece Extent=\"" + extent + "\">\n      <CellData Scalars=\"" + name + "\">\n";
    text += "        <DataArray type=\"" + type + "\" Name=\"" + name + "\" format=\"ascii\">\n";
    for (long long l = grid.layers; l-- > 0;) {
        for (long long r = grid.rows; r-- > 0;) {
            text += "         ";
            for (long long c = 0; c < grid.columns; ++c) {
                text += ' ';
                text += cell(static_cast<std::size_t>(cellIndex(grid, c, r, l)));
            }
            text += '\n';
        }
    }
    return text + "        </DataArray>\n      </CellData>\n    </Piece>\n  </ImageData>\n</VTKFile>\n";
}

}  // namespace reduz::fit
