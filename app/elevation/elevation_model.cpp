#include "elevation/elevation_model.h"

#include <ogr_srs_api.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>

#include "elevation/gdal_raster.h"

namespace vantra::elevation {

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Ground {
  bool georeferenced = false;
  bool geographic = false;
  double spacingX = ElevationModel::kDefaultSpacing;
  double spacingZ = ElevationModel::kDefaultSpacing;
};

// Metres per degree of longitude and of latitude at a latitude, on the reference ellipsoid.
void MetresPerDegree(OGRSpatialReferenceH srs, double latitude, double* alongX, double* alongZ) {
  OGRErr status = OGRERR_NONE;
  const double a = OSRGetSemiMajor(srs, &status);
  const double inverseFlattening = OSRGetInvFlattening(srs, &status);
  const double f = inverseFlattening > 0.0 ? 1.0 / inverseFlattening : 0.0;
  const double e2 = f * (2.0 - f);
  const double phi = latitude * kPi / 180.0;
  const double w = 1.0 - e2 * std::sin(phi) * std::sin(phi);
  const double meridional = a * (1.0 - e2) / std::pow(w, 1.5);
  const double normal = a / std::sqrt(w);
  *alongX = normal * std::cos(phi) * kPi / 180.0;
  *alongZ = meridional * kPi / 180.0;
}

// The ground distance between samples from the geotransform and the reference system.
Ground GroundOf(const GdalRaster& raster) {
  Ground ground;
  double transform[6];
  if (GDALGetGeoTransform(raster.dataset(), transform) != CE_None) return ground;
  ground.georeferenced = true;
  ground.spacingX = std::hypot(transform[1], transform[4]);
  ground.spacingZ = std::hypot(transform[2], transform[5]);
  OGRSpatialReferenceH srs = GDALGetSpatialRef(raster.dataset());
  if (srs == nullptr) return ground;
  if (OSRIsGeographic(srs)) {
    ground.geographic = true;
    const double centreLatitude =
        transform[3] + transform[5] * raster.rows() * 0.5 + transform[4] * raster.columns() * 0.5;
    double alongX = 0.0;
    double alongZ = 0.0;
    MetresPerDegree(srs, std::clamp(centreLatitude, -90.0, 90.0), &alongX, &alongZ);
    ground.spacingX *= alongX;
    ground.spacingZ *= alongZ;
  } else {
    const double metresPerUnit = OSRGetLinearUnits(srs, nullptr);
    if (metresPerUnit > 0.0) {
      ground.spacingX *= metresPerUnit;
      ground.spacingZ *= metresPerUnit;
    }
  }
  return ground;
}

// Heights given in feet are turned into metres.
double MetresPerHeightUnit(GDALRasterBandH band) {
  const std::string unit = GDALGetRasterUnitType(band);
  if (unit == "ft" || unit == "foot" || unit == "feet") return 0.3048;
  if (unit == "US survey foot") return 1200.0 / 3937.0;
  return 1.0;
}

}  // namespace

int ElevationModel::GridSideFor(int columns, int rows) {
  const int larger = std::max(columns, rows);
  int side = kSmallestGrid;
  while (side < larger && side < kLargestGrid) side = (side - 1) * 2 + 1;
  return side;
}

bool ElevationModel::IsGridSide(int side) {
  for (int allowed = kSmallestGrid; allowed <= kLargestGrid; allowed = (allowed - 1) * 2 + 1)
    if (side == allowed) return true;
  return false;
}

bool ElevationModel::load(const std::string& path, int gridSide, std::string* error) {
  const std::unique_ptr<GdalRaster> raster =
      GdalRaster::Open(path, {"GTiff", "SRTMHGT", "AAIGrid", "PNG"}, error);
  if (!raster) return false;
  ElevationFacts facts;
  facts.source = path;
  facts.driver = raster->driverName();
  facts.columns = raster->columns();
  facts.rows = raster->rows();
  // Spacings and slopes need a neighbour in each direction.
  if (facts.columns < 2 || facts.rows < 2) {
    *error = "the model needs at least 2 x 2 samples";
    return false;
  }
  const Ground ground = GroundOf(*raster);
  if (!(ground.spacingX > 0.0 && ground.spacingZ > 0.0 && std::isfinite(ground.spacingX) &&
        std::isfinite(ground.spacingZ))) {
    *error = "the georeferencing gives no usable sample spacing";
    return false;
  }
  facts.georeferenced = ground.georeferenced;
  facts.geographic = ground.geographic;
  facts.sampleSpacingX = ground.spacingX;
  facts.sampleSpacingZ = ground.spacingZ;
  facts.extentX = ground.spacingX * facts.columns;
  facts.extentZ = ground.spacingZ * facts.rows;
  if (gridSide == 0) gridSide = GridSideFor(facts.columns, facts.rows);

  // A file larger than the grid is averaged down by GDAL as it is read, never read whole.
  const int readColumns = std::min(facts.columns, gridSide);
  const int readRows = std::min(facts.rows, gridSide);
  HeightGrid samples(readColumns, readRows, facts.extentX / readColumns, facts.extentZ / readRows);
  if (!raster->read(1, readColumns, readRows, GDT_Float32, samples.data(), error)) return false;

  GDALRasterBandH band = GDALGetRasterBand(raster->dataset(), 1);
  int hasNoData = 0;
  const float noData = static_cast<float>(GDALGetRasterNoDataValue(band, &hasNoData));
  // Without a scale or an offset GDAL gives 1 and 0.
  const double scale = GDALGetRasterScale(band, nullptr) * MetresPerHeightUnit(band);
  const double offset = GDALGetRasterOffset(band, nullptr) * MetresPerHeightUnit(band);
  for (int row = 0; row < readRows; ++row)
    for (int column = 0; column < readColumns; ++column) {
      float& height = samples.at(column, row);
      const bool missing = hasNoData && height == noData;
      if (!missing) height = static_cast<float>(height * scale + offset);
      if (missing || !std::isfinite(height)) {
        samples.markNoData(column, row);
        height = 0.0f;
      }
    }
  return adopt(facts, std::move(samples), gridSide, error);
}

bool ElevationModel::adopt(const ElevationFacts& facts, HeightGrid samples, int gridSide,
                           std::string* error) {
  _noDataFilled = samples.fillNoData();
  if (_noDataFilled < 0) {
    *error = "the model holds no valid height";
    return false;
  }
  _facts = facts;
  _grid =
      samples.resampled(gridSide != 0 ? gridSide : GridSideFor(samples.columns(), samples.rows()));
  _grid.heightRange(&_lowest, &_highest);
  return true;
}

}  // namespace vantra::elevation
