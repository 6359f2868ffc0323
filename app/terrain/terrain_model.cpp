#include "terrain/terrain_model.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <utility>

#include "platform/bitmap_file.h"

namespace vantra::terrain {

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

bool NamesBitmap(const std::string& file) {
  if (file.size() < 4) return false;
  std::string extension = file.substr(file.size() - 4);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension == ".bmp";
}

}  // namespace

bool TerrainModel::load(const TerrainRequest& request, std::string* error) {
  const bool loaded = NamesBitmap(request.file)
                          ? _loadBitmap(request.file, request.gridSide, error)
                          : _elevation.load(request.file, request.gridSide, error);
  if (!loaded) return false;
  _exaggeration = request.exaggeration;
  _textureFile = request.textureFile;
  if (!_textureFile.empty()) {
    std::string reason;
    if (!_colours.read(_textureFile, &reason)) {
      *error = "texture " + _textureFile + ": " + reason;
      return false;
    }
  } else {
    _colours = elevation::ColourImage::Relief(_elevation.grid());
  }
  return true;
}

bool TerrainModel::_loadBitmap(const std::string& file, int gridSide, std::string* error) {
  platform::BitmapFile::Image image;
  // The reader says on standard error what is wrong with a file it refuses.
  if (FAILED(platform::BitmapFile::Read(file.c_str(), &image))) {
    *error = "the bitmap reader refused it";
    return false;
  }
  if (image.format != D3DFMT_X8R8G8B8 && image.format != D3DFMT_A8R8G8B8) {
    *error = "a height bitmap needs 24 or 32 bits per pixel";
    return false;
  }
  elevation::ElevationFacts facts;
  facts.source = file;
  facts.driver = "BMP";
  facts.columns = static_cast<int>(image.width);
  facts.rows = static_cast<int>(image.height);
  if (facts.columns < 2 || facts.rows < 2) {
    *error = "the model needs at least 2 x 2 samples";
    return false;
  }
  // As the built-in terrain reads its map: the bitmap's rows run along x and its columns
  // along z, vertex k reads texel k, and the vertex past the last texel reads that texel
  // again.
  const int side[2] = {facts.rows + 1, facts.columns + 1};
  facts.sampleSpacingX = kBitmapSpacing;
  facts.sampleSpacingZ = kBitmapSpacing;
  facts.extentX = kBitmapSpacing * facts.rows;
  facts.extentZ = kBitmapSpacing * facts.columns;
  if (gridSide == 0) gridSide = elevation::ElevationModel::GridSideFor(side[0], side[1]);

  elevation::HeightGrid samples(side[0], side[1], kBitmapSpacing, kBitmapSpacing);
  const double metresPerStep = kBitmapHeightRange / 16777215.0;
  for (int x = 0; x < side[0]; ++x) {
    const BYTE* row =
        image.pixels.data() + static_cast<std::size_t>(std::min(x, facts.rows - 1)) * image.pitch;
    for (int z = 0; z < side[1]; ++z) {
      // Decoded words are 0xAARRGGBB, in memory B, G, R, A; alpha is never height.
      const BYTE* pixel = row + 4 * std::min(z, facts.columns - 1);
      const std::uint32_t word =
          pixel[0] | pixel[1] << 8 | static_cast<std::uint32_t>(pixel[2]) << 16;
      samples.at(x, z) = static_cast<float>(word * metresPerStep);
    }
  }
  return _elevation.adopt(facts, std::move(samples), gridSide, error);
}

std::string TerrainModel::summary() const {
  const elevation::ElevationFacts& facts = _elevation.facts();
  const elevation::HeightGrid& grid = _elevation.grid();
  char line[512];
  std::snprintf(line, sizeof line,
                "%s samples %d x %d, %.0f x %.0f m, grid %d x %d at %.2f x %.2f m, heights "
                "%.1f to %.1f m, %ld no-data samples filled",
                facts.driver.c_str(), facts.columns, facts.rows, facts.extentX, facts.extentZ,
                grid.columns(), grid.rows(), grid.spacingX(), grid.spacingZ(),
                static_cast<double>(_elevation.lowest()), static_cast<double>(_elevation.highest()),
                _elevation.noDataFilled());
  std::string text = facts.source + ": " + line;
  if (facts.driver == "BMP")
    text += "; 24-bit height words at the built-in terrain's scale";
  else if (!facts.georeferenced)
    text += "; no georeferencing, so samples are taken as " +
            std::to_string(static_cast<int>(elevation::ElevationModel::kDefaultSpacing)) +
            " m apart";
  return text;
}

std::string TerrainModel::infoJson() const {
  const elevation::ElevationFacts& facts = _elevation.facts();
  const elevation::HeightGrid& grid = _elevation.grid();
  return "{\"source\": " + Quoted(facts.source) + ", \"driver\": " + Quoted(facts.driver) +
         ", \"samples\": [" + std::to_string(facts.columns) + ", " + std::to_string(facts.rows) +
         "], \"geographic\": " + (facts.geographic ? "true" : "false") +
         ", \"extent_m\": " + Pair(facts.extentX, facts.extentZ) + ", \"grid\": [" +
         std::to_string(grid.columns()) + ", " + std::to_string(grid.rows()) +
         "], \"spacing_m\": " + Pair(grid.spacingX(), grid.spacingZ()) +
         ", \"heights_m\": " + Pair(_elevation.lowest(), _elevation.highest()) +
         ", \"nodata_filled\": " + std::to_string(_elevation.noDataFilled()) + "}";
}

}  // namespace vantra::terrain
