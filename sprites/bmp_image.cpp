#include "sprites/bmp_image.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <istream>
#include <sstream>
#include <cstdlib>
#include <ostream>

#include "platform/dib.h"
#include "platform/text.h"
#include "sprites/dib_loader.h"

namespace kelna {
namespace {

// Reading grows the block by at most this much beyond what has arrived, so a record that
// claims more than the stream holds never makes us allocate what the file cannot justify.
constexpr std::size_t kReadChunk = 1u << 20;
// A frame, mask or background is never larger than this (header, colours and pixels).
constexpr std::size_t kMaxRecordBytes = kInfoHeaderSize + 4 * 256 + kMaxDibPixelBytes;

// Reads exactly `size` bytes, growing the buffer only as data arrives. The bytes that
// arrived: fewer than `size` when the stream ended first.
std::size_t ReadBounded(std::istream& is, std::size_t size, std::vector<std::uint8_t>& block) {
  block.clear();
  while (block.size() < size) {
    const std::size_t done = block.size();
    const std::size_t chunk = std::min(kReadChunk, size - done);
    block.resize(done + chunk);
    is.read(reinterpret_cast<char*>(block.data() + done), std::streamsize(chunk));
    if (!is) return done + std::size_t(is.gcount());
  }
  return size;
}

// A header this image model can carry: 40 bytes or more, sizes within 16 bits, a stride
// that its 16-bit field holds.
bool UsableBlock(std::span<const std::uint8_t> block) {
  if (block.size() < kInfoHeaderSize) return false;
  const DibHeader header = ReadBlockHeader(block);
  if (header.IsCore()) return false;
  const auto width = std::int64_t(header.width);
  const auto height = std::int64_t(header.height);
  return std::abs(width) <= kMaxDibDimension && std::abs(height) <= kMaxDibDimension &&
         DibStride(header.bitCount, std::uint32_t(std::abs(width))) <= 0xFFFF;
}

}  // namespace

ZoBmpImage::ZoBmpImage() = default;

// A file that cannot be read leaves an empty image, which callers recognise by its missing DIB.
ZoBmpImage::ZoBmpImage(const char* fileName) { static_cast<void>(Read(fileName)); }

#ifdef _WIN32
ZoBmpImage::ZoBmpImage(void* instance, int resourceId) {
  try {
    Adopt(std::make_unique<TDib>(instance, resourceId));
  } catch (const TXGdi&) {
    // An unreadable resource gives an empty image.
  }
}
#endif

ZoBmpImage::ZoBmpImage(std::unique_ptr<TDib> dib) { Adopt(std::move(dib)); }

ZoBmpImage::~ZoBmpImage() {
  // The loader's block ends with the loader; sharers keep the palette and device bitmap
  // but no longer have a DIB. A block read from a stream belongs to the shared data and
  // stays with it.
  if (ownedDib && imageData->dib.data() == ownedDib->Block().data()) imageData->dib = {};
  ownedDib.reset();
}

void ZoBmpImage::Adopt(std::unique_ptr<TDib> dib) {
  if (!dib || !UsableBlock(dib->Block())) return;
  ownedDib = std::move(dib);
  imageData->dib = ownedDib->Block();
  CompleteFromHeader();
}

void ZoBmpImage::ReleasePicture() {
  // Images that still share the old data keep its block: its loader goes with the data.
  if (ownedDib && imageData->dib.data() == ownedDib->Block().data())
    imageData->retiredLoader = std::move(ownedDib);
  ownedDib.reset();
  TakeFreshData();
}

int ZoBmpImage::Read(const char* fileName) {
  if (HasDib()) ReleasePicture();
  try {
    Adopt(std::make_unique<TDib>(fileName));
  } catch (const TXGdi&) {
    return 0;
  }
  return HasDib() ? 1 : 0;
}

int ZoBmpImage::Write(const char* fileName) {
  if (!HasDib()) return 0;
  if (ownedDib && imageData->dib.data() == ownedDib->Block().data())
    return ownedDib->WriteFile(fileName) ? 1 : 0;
  // A picture read from a stream has no loader: its stream form is a complete BMP file.
  try {
    std::vector<std::uint8_t> bytes;
    {
      std::ostringstream os(std::ios::binary);
      if (!Write(os)) return 0;
      const std::string text = os.str();
      bytes.assign(text.begin(), text.end());
    }
    return TDib::FromBytes(bytes).WriteFile(fileName) ? 1 : 0;
  } catch (const TXGdi&) {
    return 0;
  }
}

int ZoBmpImage::Read(std::istream& is) { return ReadStreamForm(is).ok() ? 1 : 0; }

Status ZoBmpImage::ReadStreamForm(std::istream& is) {
  if (!is) return Status::Failure("the stream has failed before it");
  std::array<std::uint8_t, kFileHeaderSize> header{};
  is.read(reinterpret_cast<char*>(header.data()), kFileHeaderSize);
  if (!is) return Status::Failure("cut short in its file header");
  if (!HasBmpSignature(header)) return Status::Failure("not a BMP picture");
  const std::uint32_t fileSize = *ReadLe32(header, kFileSizeField);
  const std::string announces = "its picture announces " + Grouped(fileSize) + " bytes";
  // A record too small to hold a DIB header, or too large for any picture, is refused
  // before anything is allocated.
  if (fileSize < kFileHeaderSize + kCoreHeaderSize) return Status::Failure(announces + ", too few for a picture");
  if (fileSize - kFileHeaderSize > kMaxRecordBytes) return Status::Failure(announces + ", more than a picture holds");
  std::vector<std::uint8_t> block;
  const std::size_t arrived = ReadBounded(is, fileSize - kFileHeaderSize, block);
  ReleasePicture();
  if (arrived < fileSize - kFileHeaderSize)
    return Status::Failure(announces + ", " + Grouped(static_cast<long long>(kFileHeaderSize + arrived)) + " present");
  if (!UsableBlock(block)) return Status::Failure("its picture is not one a frame can hold");
  imageData->ownedDib = std::move(block);
  imageData->dib = imageData->ownedDib;
  CompleteFromHeader();
  return Status::Ok();
}

int ZoBmpImage::Write(std::ostream& os) { return WriteStreamForm(os, true); }

}  // namespace kelna
