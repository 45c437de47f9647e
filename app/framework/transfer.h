#pragma once
// Dialog data transfer. A dialog's transfer buffer is a list of its record's fields in the
// order of its transferring controls' construction: when the dialog opens, field i goes
// into control i; after OK (and only when CanClose agreed) the controls' contents come
// back into the fields in the same order. A field's kind must fit its control; a mismatch
// is a programming error and throws std::logic_error.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kelna {

// The contents of a combo box: its strings and the selection.
class TComboBoxData {
 public:
  // Adds a string (code page 932); with `selected` it becomes the selection.
  void AddString(std::string_view text, bool selected = false);
  void Clear();
  // Selects the string at `index` (-1: none).
  void Select(int index);

  const std::vector<std::string>& GetStrings() const { return strings_; }
  int GetSelIndex() const { return selIndex_; }
  const std::string& GetSelection() const { return selection_; }
  // Used by the control when it transfers its contents back.
  void SetSelection(int index, std::string text);

 private:
  std::vector<std::string> strings_;
  int selIndex_ = -1;
  std::string selection_;
};

// One field of a transfer buffer: a text buffer (edits: code page 932, NUL-terminated),
// a check state (check boxes and radio buttons: 1 checked, 0 not) or a combo box's data.
using TTransferField = std::variant<std::span<char>, std::uint32_t*, TComboBoxData*>;
using TTransferBuffer = std::vector<TTransferField>;

enum class TTransferDirection { SetData, GetData };

// A text field as its bytes up to the first NUL (defined in platform/binary_io.cpp).
std::string_view FieldText(std::span<const char> field);
// Stores text into a field: as much as fits before the closing NUL, never half a
// double-byte character; the rest of the field is zeroed.
void SetFieldText(std::span<char> field, std::string_view text);

}  // namespace kelna
