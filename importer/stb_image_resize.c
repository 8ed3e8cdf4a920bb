/* The resampler qdpimport fits pictures with: the implementation of the
   system's stb_image_resize header, compiled once here. */
#define STB_IMAGE_RESIZE_IMPLEMENTATION
#include <stb/stb_image_resize.h>
