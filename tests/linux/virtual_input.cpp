// A virtual pointer and keyboard (zwlr_virtual_pointer_v1, zwp_virtual_keyboard_v1) for the
// tests on a headless compositor, one keyboard for the whole run: a new one sends a new keymap,
// and SDL 2.26 may crash on keys that follow one.
//   virtual-input WIDTHxHEIGHT   (the outputs' layout)
// says "ready" once the seat has both, then reads commands, one a line, saying "done" when the
// compositor has each: "move X Y" (in the layout), "click" (the left button), "key" (A).

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>

namespace {

// The interfaces' requests, all listed in order: a request is known by its place.
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

extern const wl_interface keyboard_interface;
const wl_interface* const create_keyboard_types[] = {&wl_seat_interface, &keyboard_interface};
const wl_message keyboard_manager_requests[] = {
    {"create_virtual_keyboard", "on", const_cast<const wl_interface**>(create_keyboard_types)},
};
const wl_interface keyboard_manager_interface = {"zwp_virtual_keyboard_manager_v1", 1, 1,
                                                 keyboard_manager_requests, 0, nullptr};
const wl_message keyboard_requests[] = {
    {"keymap", "uhu", none}, {"key", "uuu", none}, {"modifiers", "uuuu", none}, {"destroy", "", none}};
enum KeyboardRequest : std::uint32_t { kKeymapRequest = 0, kKey = 1, kKeyboardDestroy = 3 };
const wl_interface keyboard_interface = {"zwp_virtual_keyboard_v1", 1, 4, keyboard_requests, 0, nullptr};

constexpr std::uint32_t kLeftButton = 0x110;  // BTN_LEFT of linux/input-event-codes.h
constexpr std::uint32_t kKeyA = 30;           // KEY_A; XKB numbers it 8 higher
// A keymap of the one key, the rest of its sections the compositor's usual ones.
constexpr char kKeymap[] =
    "xkb_keymap {\n xkb_keycodes \"kelna\" { minimum = 8; maximum = 255; <AC01> = 38; };\n"
    " xkb_types \"kelna\" { include \"complete\" };\n xkb_compatibility \"kelna\" { include \"complete\" };\n"
    " xkb_symbols \"kelna\" { key <AC01> { [ a ] }; };\n};\n";

wl_proxy* manager = nullptr;
wl_proxy* keyboard_manager = nullptr;
wl_seat* seat = nullptr;

void Announced(void*, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t) {
  if (std::strcmp(interface, manager_interface.name) == 0)
    manager = static_cast<wl_proxy*>(wl_registry_bind(registry, name, &manager_interface, 1));
  if (std::strcmp(interface, keyboard_manager_interface.name) == 0)
    keyboard_manager = static_cast<wl_proxy*>(wl_registry_bind(registry, name, &keyboard_manager_interface, 1));
  if (std::strcmp(interface, wl_seat_interface.name) == 0 && !seat)
    seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
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
    std::cerr << "usage: virtual-input WIDTHxHEIGHT\n";
    return 2;
  }
  wl_display* display = wl_display_connect(nullptr);
  if (!display) {
    std::cerr << "virtual-input: no Wayland display\n";
    return 1;
  }
  wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &registry_listener, nullptr);
  wl_display_roundtrip(display);
  if (!manager || !keyboard_manager || !seat) {
    std::cerr << "virtual-input: the compositor lacks " << manager_interface.name << " or "
              << keyboard_manager_interface.name << "\n";
    return 1;
  }
  wl_proxy* pointer = wl_proxy_marshal_flags(manager, 0, &pointer_interface, 1, 0, seat, nullptr);
  wl_proxy* keyboard = wl_proxy_marshal_flags(keyboard_manager, 0, &keyboard_interface, 1, 0, seat, nullptr);
  const int keymap = memfd_create("kelna-keymap", MFD_CLOEXEC);
  if (keymap < 0 || write(keymap, kKeymap, sizeof kKeymap) != ssize_t(sizeof kKeymap)) return 1;
  wl_proxy_marshal_flags(keyboard, kKeymapRequest, nullptr, 1, 0,
                         WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, keymap, std::uint32_t(sizeof kKeymap));
  close(keymap);
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
    } else if (command == "key") {
      wl_proxy_marshal_flags(keyboard, kKey, nullptr, 1, 0, Now(), kKeyA, WL_KEYBOARD_KEY_STATE_PRESSED);
      wl_proxy_marshal_flags(keyboard, kKey, nullptr, 1, 0, Now(), kKeyA, WL_KEYBOARD_KEY_STATE_RELEASED);
    } else {
      std::cerr << "virtual-input: not a command: " << line << "\n";
      return 2;
    }
    wl_proxy_marshal_flags(pointer, kFrame, nullptr, 1, 0);
    if (wl_display_roundtrip(display) < 0) return 1;
    std::cout << "done" << std::endl;
  }
  wl_proxy_marshal_flags(pointer, kDestroy, nullptr, 1, WL_MARSHAL_FLAG_DESTROY);
  wl_proxy_marshal_flags(keyboard, kKeyboardDestroy, nullptr, 1, WL_MARSHAL_FLAG_DESTROY);
  wl_display_roundtrip(display);
  wl_display_disconnect(display);
  return 0;
}
