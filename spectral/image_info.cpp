#include "spectral/image_info.h"

void ScaleResolution(TImageInfo& info, int32_t oldCols, int32_t oldRows, int32_t newCols,
                     int32_t newRows) {
    if (oldCols > 0 && newCols > 0) info.DpiX = info.DpiX * newCols / oldCols;
    if (oldRows > 0 && newRows > 0) info.DpiY = info.DpiY * newRows / oldRows;
}
