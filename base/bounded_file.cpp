#include "base/bounded_file.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

namespace kestrava {

std::string sizeInWords(std::size_t bytes) {
  if (bytes >= (1u << 20) && bytes % (1u << 20) == 0) return std::to_string(bytes >> 20) + " MiB";
  if (bytes >= (1u << 10) && bytes % (1u << 10) == 0) return std::to_string(bytes >> 10) + " KiB";
  return std::to_string(bytes) + " bytes";
}

bool readRegularFile(const std::string& fileName, std::size_t maxBytes, std::string& text, std::string& error) {
  if (fileName.empty()) {
    error = "no file name given";
    return false;
  }
  std::error_code failure;
  const std::filesystem::path path(fileName);
  const std::filesystem::file_status status = std::filesystem::status(path, failure);
  if (failure) {
    error = failure.message();
    return false;
  }
  if (std::filesystem::is_directory(status)) {
    error = "a directory, not a file";
    return false;
  }
  // A FIFO would hold the program until something writes to it, a device may never end.
  if (!std::filesystem::is_regular_file(status)) {
    error = "not a regular file (a device, a FIFO or a socket)";
    return false;
  }
  const std::string tooLarge = "larger than " + sizeInWords(maxBytes);
  const std::uintmax_t size = std::filesystem::file_size(path, failure);
  if (!failure && size > maxBytes) {
    error = tooLarge;
    return false;
  }
  errno = 0;
#ifdef _WIN32
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(_wfopen(path.c_str(), L"rb"), &std::fclose);
#else
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
#endif
  if (!file) {
    error = std::generic_category().message(errno != 0 ? errno : EIO);
    return false;
  }
  // One byte more than the bound: a file that grew since its size was read is refused too.
  std::string bytes(maxBytes + 1, '\0');
  const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file.get());
  if (std::ferror(file.get())) {
    error = std::generic_category().message(errno != 0 ? errno : EIO);
    return false;
  }
  if (got > maxBytes) {
    error = tooLarge;
    return false;
  }
  bytes.resize(got);
  text = std::move(bytes);
  return true;
}

}  // namespace kestrava
