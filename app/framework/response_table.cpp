#include "app/framework/response_table.h"

namespace kelna {

const TResponseEntry* TResponseTable::Find(TResponseEntry::Kind kind, UINT key, UINT code) const {
  for (const TResponseTable* table = this; table; table = table->base_) {
    for (const TResponseEntry& entry : table->entries_) {
      if (entry.kind == kind && entry.key == key &&
          (kind != TResponseEntry::Kind::Notify || entry.code == code)) {
        return &entry;
      }
    }
  }
  return nullptr;
}

const TResponseTable& TEventHandler::Table() {
  static const TResponseTable table{{}, nullptr};
  return table;
}

bool TEventHandler::DispatchMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  const TResponseEntry* entry = ResponseTable().Find(TResponseEntry::Kind::Message, message);
  if (!entry) return false;
  result = entry->call(*this, wParam, lParam);
  return true;
}

bool TEventHandler::DispatchCommand(UINT id) {
  const TResponseEntry* entry = ResponseTable().Find(TResponseEntry::Kind::Command, id);
  if (!entry) return false;
  entry->call(*this, id, 0);
  return true;
}

bool TEventHandler::DispatchNotify(UINT id, UINT code, HWND control) {
  const TResponseEntry* entry = ResponseTable().Find(TResponseEntry::Kind::Notify, id, code);
  if (!entry) return false;
  entry->call(*this, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
  return true;
}

}  // namespace kelna
