// stb_image compiled once for the benchmarks that compare our decoders with it.
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>
