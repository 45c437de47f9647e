#include "linux/wayland_capture.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dib.h"

namespace kelna {
namespace {

// The screen-copy protocol's two interfaces, version 1, as its wire format defines them
// (requests and events in protocol order; the types name the interface of each object
// argument).
extern const wl_interface kScreencopyFrame;
const wl_interface* const kNoTypes[7] = {};
const wl_interface* const kCaptureTypes[7] = {&kScreencopyFrame, nullptr, &wl_output_interface};
const wl_interface* const kCopyTypes[1] = {&wl_buffer_interface};
const wl_message kManagerRequests[] = {
    {"capture_output", "nio", const_cast<const wl_interface**>(kCaptureTypes)},
    {"capture_output_region", "nioiiii", const_cast<const wl_interface**>(kCaptureTypes)},
    {"destroy", "", nullptr},
};
const wl_message kFrameRequests[] = {
    {"copy", "o", const_cast<const wl_interface**>(kCopyTypes)},
    {"destroy", "", nullptr},
};
const wl_message kFrameEvents[] = {
    {"buffer", "uuuu", const_cast<const wl_interface**>(kNoTypes)},
    {"flags", "u", const_cast<const wl_interface**>(kNoTypes)},
    {"ready", "uuu", const_cast<const wl_interface**>(kNoTypes)},
    {"failed", "", nullptr},
};
// And the one that says where each output is in the layout (wl_output's own position is 0, 0
// on wlroots): xdg-output, version 1.
extern const wl_interface kXdgOutput;
const wl_interface* const kGetXdgOutputTypes[2] = {&kXdgOutput, &wl_output_interface};
const wl_message kXdgOutputManagerRequests[] = {
    {"destroy", "", nullptr},
    {"get_xdg_output", "no", const_cast<const wl_interface**>(kGetXdgOutputTypes)},
};
const wl_message kXdgOutputRequests[] = {{"destroy", "", nullptr}};
const wl_message kXdgOutputEvents[] = {
    {"logical_position", "ii", const_cast<const wl_interface**>(kNoTypes)},
    {"logical_size", "ii", const_cast<const wl_interface**>(kNoTypes)},
    {"done", "", nullptr},
};
const wl_interface kXdgOutputManager = {"zxdg_output_manager_v1", 1, 2, kXdgOutputManagerRequests, 0, nullptr};
const wl_interface kXdgOutput = {"zxdg_output_v1", 1, 1, kXdgOutputRequests, 3, kXdgOutputEvents};
constexpr std::uint32_t kGetXdgOutput = 1, kDestroyXdgOutput = 0;

const wl_interface kScreencopyManager = {"zwlr_screencopy_manager_v1", 1, 3, kManagerRequests, 0, nullptr};
const wl_interface kScreencopyFrame = {"zwlr_screencopy_frame_v1", 1, 2, kFrameRequests, 4, kFrameEvents};
constexpr std::uint32_t kCaptureOutput = 0, kCopy = 0, kDestroyFrame = 1, kYInvert = 1;

struct Output {
  wl_output* proxy = nullptr;
  int x = 0, y = 0, width = 0, height = 0;
};

struct Globals {
  wl_shm* shm = nullptr;
  wl_proxy* screencopy = nullptr;
  wl_proxy* xdgOutputs = nullptr;
  std::deque<Output> outputs;  // the listeners keep pointers to them
};

void OnGeometry(void* data, wl_output*, int x, int y, int, int, int, const char*, const char*, int) {
  static_cast<Output*>(data)->x = x;
  static_cast<Output*>(data)->y = y;
}
void OnMode(void* data, wl_output*, std::uint32_t flags, int width, int height, int) {
  if (!(flags & WL_OUTPUT_MODE_CURRENT)) return;
  static_cast<Output*>(data)->width = width;
  static_cast<Output*>(data)->height = height;
}
void OnLogicalPosition(void* data, wl_proxy*, int x, int y) {
  static_cast<Output*>(data)->x = x;
  static_cast<Output*>(data)->y = y;
}
void OnLogicalSize(void*, wl_proxy*, int, int) {}
void OnXdgDone(void*, wl_proxy*) {}
struct XdgOutputListener {
  void (*position)(void*, wl_proxy*, int, int);
  void (*size)(void*, wl_proxy*, int, int);
  void (*done)(void*, wl_proxy*);
};
const XdgOutputListener kXdgOutputListener = {OnLogicalPosition, OnLogicalSize, OnXdgDone};

void OnOutputDone(void*, wl_output*) {}
void OnScale(void*, wl_output*, int) {}
void OnText(void*, wl_output*, const char*) {}
// Every event has a handler: libwayland ends the process on one without.
const wl_output_listener kOutputListener = {OnGeometry, OnMode, OnOutputDone, OnScale, OnText, OnText};

void OnGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t) {
  auto& globals = *static_cast<Globals*>(data);
  const std::string_view which(interface);
  if (which == wl_shm_interface.name)
    globals.shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
  else if (which == kXdgOutputManager.name)
    globals.xdgOutputs = static_cast<wl_proxy*>(wl_registry_bind(registry, name, &kXdgOutputManager, 1));
  else if (which == kScreencopyManager.name)
    globals.screencopy = static_cast<wl_proxy*>(wl_registry_bind(registry, name, &kScreencopyManager, 1));
  else if (which == wl_output_interface.name)
  {
    // The output describes itself as soon as it is bound: its listener must be there first.
    Output& output = globals.outputs.emplace_back();
    output.proxy = static_cast<wl_output*>(wl_registry_bind(registry, name, &wl_output_interface, 1));
    wl_output_add_listener(output.proxy, &kOutputListener, &output);
  }
}
void OnGlobalRemoved(void*, wl_registry*, std::uint32_t) {}
const wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemoved};

// One output's frame as the compositor describes and then delivers it.
struct Frame {
  std::uint32_t format = UINT32_MAX, width = 0, height = 0, stride = 0, flags = 0;
  bool described = false, ready = false, failed = false;
};
void OnBuffer(void* data, wl_proxy*, std::uint32_t format, std::uint32_t width, std::uint32_t height,
              std::uint32_t stride) {
  *static_cast<Frame*>(data) = {format, width, height, stride, 0, true};
}
void OnFlags(void* data, wl_proxy*, std::uint32_t flags) { static_cast<Frame*>(data)->flags = flags; }
void OnReady(void* data, wl_proxy*, std::uint32_t, std::uint32_t, std::uint32_t) { static_cast<Frame*>(data)->ready = true; }
void OnFailed(void* data, wl_proxy*) { static_cast<Frame*>(data)->failed = true; }
struct FrameListener {
  void (*buffer)(void*, wl_proxy*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t);
  void (*flags)(void*, wl_proxy*, std::uint32_t);
  void (*ready)(void*, wl_proxy*, std::uint32_t, std::uint32_t, std::uint32_t);
  void (*failed)(void*, wl_proxy*);
};
const FrameListener kFrameListener = {OnBuffer, OnFlags, OnReady, OnFailed};

// Shared memory the compositor copies an output's picture into.
class SharedBuffer {
 public:
  SharedBuffer(wl_shm* shm, const Frame& frame) : size_(std::size_t(frame.stride) * frame.height) {
    fd_ = memfd_create("kelna-desktop", MFD_CLOEXEC);
    if (fd_ < 0 || ftruncate(fd_, off_t(size_)) != 0) return;
    void* memory = mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
    if (memory == MAP_FAILED) return;
    memory_ = static_cast<const std::uint8_t*>(memory);
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd_, int(size_));
    buffer_ = wl_shm_pool_create_buffer(pool, 0, int(frame.width), int(frame.height), int(frame.stride), frame.format);
    wl_shm_pool_destroy(pool);
  }
  ~SharedBuffer() {
    if (buffer_) wl_buffer_destroy(buffer_);
    if (memory_) munmap(const_cast<std::uint8_t*>(memory_), size_);
    if (fd_ >= 0) close(fd_);
  }
  SharedBuffer(const SharedBuffer&) = delete;
  SharedBuffer& operator=(const SharedBuffer&) = delete;
  wl_buffer* Buffer() const { return buffer_; }
  const std::uint8_t* Memory() const { return memory_; }

 private:
  std::size_t size_;
  int fd_ = -1;
  const std::uint8_t* memory_ = nullptr;
  wl_buffer* buffer_ = nullptr;
};

// Waits for the compositor to answer the frame; false when the connection fails first.
bool Await(wl_display* display, const Frame& frame, bool Frame::*answered) {
  while (!(frame.*answered) && !frame.failed)
    if (wl_display_dispatch(display) < 0) return false;
  return !frame.failed;
}

// Copies one output's picture into the desktop at `left`, `top`. The frame's pixels are
// XRGB or ARGB (the formats every wlroots renderer offers): in memory B, G, R, X, which on a
// little-endian machine is our 0x00RRGGBB.
Status CaptureOutput(wl_display* display, const Globals& globals, const Output& output, Bitmap& desktop,
                     int left, int top) {
  Frame frame;
  auto* proxy = wl_proxy_marshal_constructor(globals.screencopy, kCaptureOutput, &kScreencopyFrame, nullptr, 0,
                                             output.proxy);
  wl_proxy_add_listener(proxy, reinterpret_cast<void (**)()>(const_cast<FrameListener*>(&kFrameListener)), &frame);
  Status result = Status::Failure("the compositor did not copy an output");
  if (Await(display, frame, &Frame::described)) {
    if ((frame.format != WL_SHM_FORMAT_XRGB8888 && frame.format != WL_SHM_FORMAT_ARGB8888) ||
        frame.stride < frame.width * 4 || frame.width > unsigned(kMaxDibDimension) ||
        frame.height > unsigned(kMaxDibDimension)) {
      result = Status::Failure("the compositor offers its pictures in a format we do not read");
    } else if (SharedBuffer shared(globals.shm, frame); shared.Buffer()) {
      wl_proxy_marshal(proxy, kCopy, shared.Buffer());
      if (Await(display, frame, &Frame::ready)) {
        const int width = std::min(int(frame.width), desktop.Width() - left);
        for (int y = 0; y < int(frame.height) && top + y < desktop.Height(); ++y) {
          const int from = (frame.flags & kYInvert) ? int(frame.height) - 1 - y : y;
          const auto* pixels = shared.Memory() + std::size_t(from) * frame.stride;
          std::span<Pixel> row = desktop.Row(top + y).subspan(std::size_t(left));
          for (int x = 0; x < width; ++x) {
            std::uint32_t pixel;
            std::memcpy(&pixel, pixels + std::size_t(x) * 4, 4);
            row[std::size_t(x)] = pixel & 0xFFFFFF;
          }
        }
        result = Status::Ok();
      }
    }
  }
  wl_proxy_marshal(proxy, kDestroyFrame);
  wl_proxy_destroy(proxy);
  return result;
}

}  // namespace

Result<std::unique_ptr<MemoryDC>> CaptureWaylandDesktop() {
  wl_display* display = wl_display_connect(nullptr);
  if (!display) return Status::Failure("cannot connect to the Wayland compositor");
  Globals globals;
  wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &kRegistryListener, &globals);
  wl_display_roundtrip(display);
  std::vector<wl_proxy*> placements;
  if (globals.xdgOutputs)
    for (Output& output : globals.outputs) {
      placements.push_back(wl_proxy_marshal_constructor(globals.xdgOutputs, kGetXdgOutput, &kXdgOutput, nullptr,
                                                        output.proxy));
      wl_proxy_add_listener(placements.back(),
                            reinterpret_cast<void (**)()>(const_cast<XdgOutputListener*>(&kXdgOutputListener)), &output);
    }
  wl_display_roundtrip(display);  // the outputs' descriptions and places

  Result<std::unique_ptr<MemoryDC>> result = Status::Failure("the compositor offers no screen copy");
  std::vector<const Output*> shown;  // outputs with a mode: those that show something
  for (const Output& output : globals.outputs)
    if (output.width > 0 && output.height > 0) shown.push_back(&output);
  if (globals.screencopy && globals.shm && !shown.empty()) {
    int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;
    for (const Output* output : shown) {
      left = std::min(left, output->x), top = std::min(top, output->y);
      right = std::max(right, output->x + output->width), bottom = std::max(bottom, output->y + output->height);
    }
    auto bitmap = CreateCompatibleBitmap(MemoryDC(), right - left, bottom - top);
    Status captured = bitmap ? Status::Ok() : Status::Failure("the outputs together are too large a picture");
    for (const Output* output : shown)
      if (captured) captured = CaptureOutput(display, globals, *output, *bitmap, output->x - left, output->y - top);
    auto desktop = CreateCompatibleDC(nullptr);
    if (captured && desktop->SelectOwned(std::move(bitmap)))
      result = std::move(desktop);
    else if (!captured)
      result = captured;
  }
  for (wl_proxy* placement : placements) {
    wl_proxy_marshal(placement, kDestroyXdgOutput);
    wl_proxy_destroy(placement);
  }
  if (globals.xdgOutputs) wl_proxy_destroy(globals.xdgOutputs);
  for (const Output& output : globals.outputs) wl_output_destroy(output.proxy);
  if (globals.screencopy) wl_proxy_destroy(globals.screencopy);
  if (globals.shm) wl_shm_destroy(globals.shm);
  wl_registry_destroy(registry);
  wl_display_disconnect(display);
  return result;
}

}  // namespace kelna
