// A pointer for the tests on a headless Wayland compositor, which has no input devices of its
// own: a virtual pointer (wlroots' zwlr_virtual_pointer_manager_v1) that it holds while it runs.
//   virtual-pointer WIDTHxHEIGHT   (the size of the outputs' layout)
// reads commands on its input, one a line, and says "done" when the compositor has each:
//   move X Y   the pointer to (X, Y) of the layout
//   click      the left button pressed and let go
// It says "ready" once the seat has the pointer. Ends at the end of its input.

#include <wayland-client.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>

namespace {

// The two interfaces as the compositor announces them; only the requests we make matter, but
// the tables list them all in order, since a request is known by its place.
extern const wl_interface pointer_interface;
const wl_interface* const create_types[] = {&wl_seat_interface, &pointer_interface};
const wl_interface* const no_types[] = {nullptr, nullptr, nullptr, nullptr, nullptr};

const wl_message manager_requests[] = {
    {"create_virtual_pointer", "?on", const_cast<const wl_interface**>(create_types)},
    {"destroy", "", nullptr},
};
const wl_interface manager_interface = {"zwlr_virtual_pointer_manager_v1", 1, 2, manager_requests, 0, nullptr};

const wl_interface** const none = const_cast<const wl_interface**>(no_types);
const wl_message pointer_requests[] = {
    {"motion", "uff", none},  {"motion_absolute", "uuuuu", none}, {"button", "uuu", none},
    {"axis", "uuf", none},    {"frame", "", none},                {"axis_source", "u", none},
    {"axis_stop", "uu", none}, {"axis_discrete", "uufi", none},   {"destroy", "", none},
};
enum Request : std::uint32_t { kMotionAbsolute = 1, kButton = 2, kFrame = 4, kDestroy = 8 };
const wl_interface pointer_interface = {"zwlr_virtual_pointer_v1", 1, 9, pointer_requests, 0, nullptr};

constexpr std::uint32_t kLeftButton = 0x110;  // BTN_LEFT of linux/input-event-codes.h

wl_proxy* manager = nullptr;

void Announced(void*, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t) {
  if (std::strcmp(interface, manager_interface.name) == 0)
    manager = static_cast<wl_proxy*>(wl_registry_bind(registry, name, &manager_interface, 1));
}
void Withdrawn(void*, wl_registry*, std::uint32_t) {}
const wl_registry_listener registry_listener = {Announced, Withdrawn};

std::uint32_t Now() {  // milliseconds, as input events count time
  using namespace std::chrono;
  return std::uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace

int main(int argc, char** argv) {
  unsigned width = 0, height = 0;
  if (argc != 2 || std::sscanf(argv[1], "%ux%u", &width, &height) != 2 || width == 0 || height == 0) {
    std::cerr << "usage: virtual-pointer WIDTHxHEIGHT\n";
    return 2;
  }
  wl_display* display = wl_display_connect(nullptr);
  if (!display) {
    std::cerr << "virtual-pointer: no Wayland display\n";
    return 1;
  }
  wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &registry_listener, nullptr);
  wl_display_roundtrip(display);
  if (!manager) {
    std::cerr << "virtual-pointer: the compositor has no " << manager_interface.name << "\n";
    return 1;
  }
  // No seat given: the compositor's default one.
  wl_proxy* pointer = wl_proxy_marshal_flags(manager, 0, &pointer_interface, 1, 0, nullptr, nullptr);
  if (wl_display_roundtrip(display) < 0) return 1;
  std::cout << "ready" << std::endl;

  for (std::string line; std::getline(std::cin, line);) {
    std::istringstream words(line);
    std::string command;
    unsigned x = 0, y = 0;
    words >> command;
    if (command == "move" && words >> x >> y) {
      wl_proxy_marshal_flags(pointer, kMotionAbsolute, nullptr, 1, 0, Now(), x, y, width, height);
    } else if (command == "click") {
      wl_proxy_marshal_flags(pointer, kButton, nullptr, 1, 0, Now(), kLeftButton, WL_POINTER_BUTTON_STATE_PRESSED);
      wl_proxy_marshal_flags(pointer, kFrame, nullptr, 1, 0);
      wl_proxy_marshal_flags(pointer, kButton, nullptr, 1, 0, Now(), kLeftButton, WL_POINTER_BUTTON_STATE_RELEASED);
    } else {
      std::cerr << "virtual-pointer: not a command: " << line << "\n";
      return 2;
    }
    wl_proxy_marshal_flags(pointer, kFrame, nullptr, 1, 0);
    if (wl_display_roundtrip(display) < 0) return 1;
    std::cout << "done" << std::endl;
  }
  wl_proxy_marshal_flags(pointer, kDestroy, nullptr, 1, WL_MARSHAL_FLAG_DESTROY);
  wl_display_roundtrip(display);
  wl_display_disconnect(display);
  return 0;
}
