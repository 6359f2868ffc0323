#include "terrain/terrain_model.h"

#include <cstdio>

namespace {

// Text as a JSON string, quotes and control characters escaped.
std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

std::string Pair(double a, double b) { return "[" + Number(a) + ", " + Number(b) + "]"; }

}  // namespace

bool TerrainModel::load(const TerrainRequest& request, std::string* error) {
  if (!_elevation.load(request.file, request.gridSide, error)) return false;
  _exaggeration = request.exaggeration;
  _textureFile = request.textureFile;
  if (!_textureFile.empty()) {
    std::string reason;
    if (!_colours.read(_textureFile, &reason)) {
      *error = "texture " + _textureFile + ": " + reason;
      return false;
    }
  } else {
    _colours = ColourImage::Relief(_elevation.grid());
  }
  return true;
}

std::string TerrainModel::summary() const {
  const ElevationFacts& facts = _elevation.facts();
  const HeightGrid& grid = _elevation.grid();
  char line[512];
  std::snprintf(line, sizeof line,
                "%s samples %d x %d, %.0f x %.0f m, grid %d x %d at %.2f x %.2f m, heights "
                "%.1f to %.1f m, %ld no-data samples filled",
                facts.driver.c_str(), facts.columns, facts.rows, facts.extentX, facts.extentZ,
                grid.columns(), grid.rows(), grid.spacingX(), grid.spacingZ(),
                static_cast<double>(_elevation.lowest()), static_cast<double>(_elevation.highest()),
                _elevation.noDataFilled());
  std::string text = facts.source + ": " + line;
  if (!facts.georeferenced)
    text += "; no georeferencing, so samples are taken as " +
            std::to_string(static_cast<int>(ElevationModel::kDefaultSpacing)) + " m apart";
  return text;
}

std::string TerrainModel::infoJson() const {
  const ElevationFacts& facts = _elevation.facts();
  const HeightGrid& grid = _elevation.grid();
  return "{\"source\": " + Quoted(facts.source) + ", \"driver\": " + Quoted(facts.driver) +
         ", \"samples\": [" + std::to_string(facts.columns) + ", " + std::to_string(facts.rows) +
         "], \"geographic\": " + (facts.geographic ? "true" : "false") +
         ", \"extent_m\": " + Pair(facts.extentX, facts.extentZ) + ", \"grid\": [" +
         std::to_string(grid.columns()) + ", " + std::to_string(grid.rows()) +
         "], \"spacing_m\": " + Pair(grid.spacingX(), grid.spacingZ()) +
         ", \"heights_m\": " + Pair(_elevation.lowest(), _elevation.highest()) +
         ", \"nodata_filled\": " + std::to_string(_elevation.noDataFilled()) + "}";
}
