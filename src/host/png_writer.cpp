#include "host/png_writer.h"

#include <png.h>

#include <vector>

#include "formats/file_io.h"

namespace orvo {

namespace {

void AppendToBuffer(png_structp png, png_bytep data, png_size_t size) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + size);
}

void NoFlush(png_structp) {}

}  // namespace

bool WritePng(const std::string& path, const uint32_t* pixels, int width, int height,
              std::string* error) {
  // The picture is built in memory and written as any other file is: a failed save leaves the
  // old file whole.
  std::vector<uint8_t> bytes;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (png == nullptr || info == nullptr) {
    png_destroy_write_struct(&png, &info);
    if (error) *error = "out of memory";
    return false;
  }
  std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    if (error) *error = "cannot encode the picture for " + path;
    return false;
  }
  png_set_write_fn(png, &bytes, AppendToBuffer, NoFlush);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint32_t p = pixels[static_cast<size_t>(y) * width + x];
      row[x * 3 + 0] = static_cast<uint8_t>(p >> 16);
      row[x * 3 + 1] = static_cast<uint8_t>(p >> 8);
      row[x * 3 + 2] = static_cast<uint8_t>(p);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  const WriteFailure failure = ReplaceFile(path, bytes);
  if (failure != WriteFailure::None && error) *error = WriteFailureText(failure, path);
  return failure == WriteFailure::None;
}

}  // namespace orvo
