#pragma once
// The image files of the disk as the batch run reads and writes them.

#include "filter/apply_filter.h"

// Reading and writing through ReadImageFile and WriteImageFile: any readable
// format in, JPEG for ".jpg" names and 24-bit bitmaps otherwise out.
TImageAccess ImageFileAccess();
