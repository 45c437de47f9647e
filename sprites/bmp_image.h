#pragma once
// The image that knows the BMP format: loaded from a BMP file or a module's DIB resource
// through the loader (TDib), and read from and written to the BMP stream form in which
// object files embed every frame image and mask.

#include <iosfwd>
#include <memory>

#include "platform/status.h"
#include "sprites/image.h"

namespace kelna {

class TDib;

class ZoBmpImage : public ZoImage {
 public:
  // Loads a BMP file (a code page 932 path). A file the loader cannot read gives an empty
  // image: no DIB, GetBits() returns nullptr.
  explicit ZoBmpImage(const char* fileName);
#ifdef _WIN32
  // Loads a module's DIB resource; empty when it cannot be read.
  ZoBmpImage(void* instance, int resourceId);
#endif
  // Adopts a loaded DIB.
  explicit ZoBmpImage(std::unique_ptr<TDib> dib);
  // An empty image, to be filled by Read.
  ZoBmpImage();
  ~ZoBmpImage() override;

  // Replaces the picture by the BMP file: 1 loaded, 0 not (the image is then empty).
  [[nodiscard]] int Read(const char* fileName) override;
  // Writes the picture as a BMP file: 1 written, 0 not (no DIB, or the write failed).
  [[nodiscard]] int Write(const char* fileName) override;
  // Reads one BMP stream form from the current position: 1 read, 0 not. On 0 the image is
  // empty. A record that declares more than the stream holds is refused before anything is
  // allocated; the 14 file-header bytes are consumed in every case that gets that far.
  [[nodiscard]] int Read(std::istream& is) override;
  // The same, saying why a stream form is refused ("its picture announces 9,254 bytes, 314
  // present"), in words that follow the name of the frame it belongs to.
  [[nodiscard]] Status ReadStreamForm(std::istream& is);
  // Writes the BMP stream form: 1 written, 0 not (no DIB, a failed stream, or a block
  // shorter than its header says).
  [[nodiscard]] int Write(std::ostream& os) override;

 private:
  void Adopt(std::unique_ptr<TDib> dib);
  // Leaves the shared data (with the loader its block needs) to other sharers and takes
  // fresh, empty data.
  void ReleasePicture();

  std::unique_ptr<TDib> ownedDib;  // the loader holding the DIB of a file or resource
};

}  // namespace kelna
