#pragma once
// Response tables: each class maps window messages, command ids and control notifications
// to its member functions. A class's table names its base class's table, so a lookup
// searches the class first and then each base in turn; what no table takes goes to the
// window's default processing.
//
//   const TResponseTable& TMyWindow::Table() {
//     static constexpr TResponseEntry entries[] = {
//         OnMessage<&TMyWindow::EvTimer>(WM_TIMER),
//         OnCommand<&TMyWindow::CmFileOpen>(CM_FILEOPEN),
//         OnNotify<&TMyWindow::HandleList>(IDC_LIST, LBN_SELCHANGE),
//     };
//     static const TResponseTable table{entries, &TFrameWindow::Table()};
//     return table;
//   }
//
// Handlers are member functions of one of three shapes: LRESULT (WPARAM, LPARAM),
// void (WPARAM, LPARAM) or void (); the last two answer 0.

#include <windows.h>

#include <span>
#include <type_traits>

#include "platform/member_of.h"

namespace kelna {

class TEventHandler;

using THandlerThunk = LRESULT (*)(TEventHandler& receiver, WPARAM wParam, LPARAM lParam);

struct TResponseEntry {
  enum class Kind { Message, Command, Notify };
  Kind kind;
  UINT key;   // the message, or the command or control id
  UINT code;  // the notification code (Notify only)
  THandlerThunk call;
};

class TResponseTable {
 public:
  constexpr TResponseTable(std::span<const TResponseEntry> entries, const TResponseTable* base)
      : entries_(entries), base_(base) {}

  // The first matching entry of this table or, failing that, of its bases; null if none.
  const TResponseEntry* Find(TResponseEntry::Kind kind, UINT key, UINT code = 0) const;

 private:
  std::span<const TResponseEntry> entries_;
  const TResponseTable* base_;
};

// Anything that has a response table: windows and the application.
class TEventHandler {
 public:
  virtual ~TEventHandler() = default;

  static const TResponseTable& Table();
  virtual const TResponseTable& ResponseTable() const { return Table(); }

  // Each calls the matching handler and answers true, or answers false when no table
  // of this object's class or its bases has an entry.
  bool DispatchMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  bool DispatchCommand(UINT id);
  bool DispatchNotify(UINT id, UINT code, HWND control);
};

namespace detail {

template <auto Handler>
LRESULT Invoke(TEventHandler& receiver, WPARAM wParam, LPARAM lParam) {
  using Class = typename MemberOf<decltype(Handler)>::Class;
  auto& object = static_cast<Class&>(receiver);
  if constexpr (std::is_invocable_v<decltype(Handler), Class&, WPARAM, LPARAM>) {
    using Result = std::invoke_result_t<decltype(Handler), Class&, WPARAM, LPARAM>;
    if constexpr (std::is_void_v<Result>) {
      (object.*Handler)(wParam, lParam);
      return 0;
    } else {
      return static_cast<LRESULT>((object.*Handler)(wParam, lParam));
    }
  } else {
    static_assert(std::is_invocable_v<decltype(Handler), Class&>,
                  "a handler takes (WPARAM, LPARAM) or nothing");
    (object.*Handler)();
    return 0;
  }
}

}  // namespace detail

template <auto Handler>
constexpr TResponseEntry OnMessage(UINT message) {
  return {TResponseEntry::Kind::Message, message, 0, &detail::Invoke<Handler>};
}

template <auto Handler>
constexpr TResponseEntry OnCommand(UINT id) {
  return {TResponseEntry::Kind::Command, id, 0, &detail::Invoke<Handler>};
}

// A handler for a control's notification: wParam is the control id and the code,
// lParam the control's handle, as WM_COMMAND brings them.
template <auto Handler>
constexpr TResponseEntry OnNotify(UINT controlId, UINT code) {
  return {TResponseEntry::Kind::Notify, controlId, code, &detail::Invoke<Handler>};
}

}  // namespace kelna
