// Printer file read (command 0xFF13): the whole file is always read from the printer,
// in pieces of at most 5120 bytes, and as much as fits is copied to the caller. A file
// announced above kMaxFileSize is refused unread.
#include <cstring>
#include <memory>
#include <new>

#include "device/printer_device.h"

namespace kestrava {

ResultCode PrinterDevice::readFile(const char* path, std::uint8_t* buffer, std::uint32_t bufferSize,
                                   std::uint32_t& fileSize) {
  if (!link_.connected()) return ResultCode::notConnected;

  std::size_t pathLength = std::strlen(path);
  if (pathLength > 0xFFFF) pathLength = 0xFFFF;
  AclCommandBlock block = AclCommandBlock::request(aclcmd::fileRead, static_cast<std::uint16_t>(pathLength));
  ResultCode result =
      exchange(block, reinterpret_cast<const std::uint8_t*>(path), static_cast<std::uint16_t>(pathLength));
  if (failed(result)) return result;
  result = checkReply(block, aclcmd::fileRead);
  if (failed(result)) return result;

  std::uint32_t size = block.be32(6);
  fileSize = size;
  if (size == 0) return ResultCode::noError;
  if (size > kMaxFileSize) {
    // Not read at all; whatever of it the printer sends is thrown away before the next
    // request.
    link_.expectLateBytes();
    return ResultCode::receiveFailed;
  }

  std::unique_ptr<std::uint8_t[]> piece(new (std::nothrow) std::uint8_t[kFilePieceSize]);
  if (!piece) return ResultCode::allocationFailed;

  for (std::uint32_t position = 0; position < size;) {
    std::uint32_t pieceLength = size - position;
    if (pieceLength > kFilePieceSize) pieceLength = kFilePieceSize;
    std::uint32_t transferred = 0;
    // A short piece leaves the rest of the file on its way: the link throws it away
    // before the next request.
    if (readDataPiece(piece.get(), pieceLength, transferred) != LinkStatus::ok || transferred != pieceLength) {
      return ResultCode::receiveFailed;
    }
    if (position < bufferSize) {
      std::uint32_t room = bufferSize - position;
      std::memcpy(buffer + position, piece.get(), pieceLength < room ? pieceLength : room);
    }
    position += pieceLength;
  }
  return bufferSize < size ? ResultCode::bufferTooSmall : ResultCode::noError;
}

}  // namespace kestrava
