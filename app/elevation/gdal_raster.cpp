#include "elevation/gdal_raster.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_vsi.h>

#include <mutex>

namespace vantra::elevation {

namespace {

// Once per process: the drivers, no side files written next to the user's data, and a
// bounded block cache.
void SetUpGdal() {
  static std::once_flag once;
  std::call_once(once, [] {
    GDALAllRegister();
    CPLSetConfigOption("GDAL_PAM_ENABLED", "NO");
    GDALSetCacheMax64(256LL << 20);
    // Failures come back through LastError; nothing is printed by GDAL itself.
    CPLSetErrorHandler(CPLQuietErrorHandler);
  });
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

std::string GdalRaster::LastError(const char* fallback) {
  const char* message = CPLGetLastErrorMsg();
  return message != nullptr && *message != '\0' ? message : fallback;
}

std::unique_ptr<GdalRaster> GdalRaster::Open(const std::string& path,
                                             const std::vector<const char*>& drivers,
                                             std::string* error) {
  SetUpGdal();
  // Virtual file systems would reach the network, archives or other files by name.
  if (StartsWith(path, "/vsi") && !StartsWith(path, "/vsimem/")) {
    *error = "not a plain file";
    return nullptr;
  }
  VSIStatBufL status;
  if (VSIStatL(path.c_str(), &status) != 0) {
    *error = "no such file";
    return nullptr;
  }
  if (!VSI_ISREG(status.st_mode)) {
    *error = "not a regular file";
    return nullptr;
  }
  std::vector<const char*> allowed = drivers;
  allowed.push_back(nullptr);
  CPLErrorReset();
  GDALDatasetH dataset =
      GDALOpenEx(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, allowed.data(), nullptr, nullptr);
  if (dataset == nullptr) {
    *error = LastError("not a supported raster file");
    return nullptr;
  }
  std::unique_ptr<GdalRaster> raster(new GdalRaster(dataset));
  const long long columns = raster->columns();
  const long long rows = raster->rows();
  if (raster->bandCount() < 1) {
    *error = "the file holds no raster band";
    return nullptr;
  }
  if (columns > kLargestSide || rows > kLargestSide || columns * rows > kMostSamples) {
    *error = "the raster of " + std::to_string(columns) + " x " + std::to_string(rows) +
             " samples is larger than " + std::to_string(kLargestSide) + " a side or " +
             std::to_string(kMostSamples) + " samples";
    return nullptr;
  }
  for (int band = 1; band <= raster->bandCount(); ++band) {
    GDALRasterBandH handle = GDALGetRasterBand(dataset, band);
    int blockColumns = 0;
    int blockRows = 0;
    GDALGetBlockSize(handle, &blockColumns, &blockRows);
    const long long blockBytes = static_cast<long long>(blockColumns) * blockRows *
                                 GDALGetDataTypeSizeBytes(GDALGetRasterDataType(handle));
    if (blockBytes > kLargestBlockBytes) {
      *error =
          "a block of the raster is larger than " + std::to_string(kLargestBlockBytes) + " bytes";
      return nullptr;
    }
  }
  return raster;
}

GdalRaster::~GdalRaster() { GDALClose(_dataset); }

std::string GdalRaster::driverName() const {
  return GDALGetDriverShortName(GDALGetDatasetDriver(_dataset));
}

int GdalRaster::columns() const { return GDALGetRasterXSize(_dataset); }
int GdalRaster::rows() const { return GDALGetRasterYSize(_dataset); }
int GdalRaster::bandCount() const { return GDALGetRasterCount(_dataset); }

bool GdalRaster::read(int band, int bufferColumns, int bufferRows, GDALDataType type, void* buffer,
                      std::string* error) const {
  GDALRasterIOExtraArg extra;
  INIT_RASTERIO_EXTRA_ARG(extra);
  extra.eResampleAlg = GRIORA_Average;
  CPLErrorReset();
  const CPLErr result =
      GDALRasterIOEx(GDALGetRasterBand(_dataset, band), GF_Read, 0, 0, columns(), rows(), buffer,
                     bufferColumns, bufferRows, type, 0, 0, &extra);
  if (result == CE_None) return true;
  *error = LastError("the samples cannot be read");
  return false;
}

}  // namespace vantra::elevation
