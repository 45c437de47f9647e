#pragma once
// Test support for the sprite and engine tests: images read from the stream form of a DIB.

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "sprites/bmp_image.h"
#include "tests/support/dib_builder.h"

namespace kelna::test {

inline std::unique_ptr<ZoBmpImage> ImageOf(const Bytes& dib) {
  auto image = std::make_unique<ZoBmpImage>();
  std::istringstream is(StreamForm(dib));
  EXPECT_EQ(image->Read(is), 1);
  return image;
}

}  // namespace kelna::test
