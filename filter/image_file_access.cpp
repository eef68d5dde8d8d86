#include "filter/image_file_access.h"

#include "app/image_file.h"

TImageAccess ImageFileAccess() { return {ReadImageFile, WriteImageFile, LoadImageStore, SaveImageStore}; }
