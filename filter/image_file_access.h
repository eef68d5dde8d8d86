#pragma once
// The image files of the disk as the batch run reads and writes them.

#include "filter/apply_filter.h"

// Reading and writing through the image-file layer: every format in and out
// by its name's extension, the source's resolution, profile, colour type and
// 16-bit samples carried to the target where its format holds them.
TImageAccess ImageFileAccess();
