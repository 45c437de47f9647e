#include "app/framework/transfer.h"

#include <algorithm>

#include "platform/text.h"

namespace kelna {

void TComboBoxData::AddString(std::string_view text, bool selected) {
  strings_.emplace_back(text);
  if (selected) Select(static_cast<int>(strings_.size()) - 1);
}

void TComboBoxData::Clear() {
  strings_.clear();
  selIndex_ = -1;
  selection_.clear();
}

void TComboBoxData::Select(int index) {
  if (index < 0 || index >= static_cast<int>(strings_.size())) {
    selIndex_ = -1;
    selection_.clear();
    return;
  }
  selIndex_ = index;
  selection_ = strings_[static_cast<std::size_t>(index)];
}

void TComboBoxData::SetSelection(int index, std::string text) {
  selIndex_ = index;
  selection_ = std::move(text);
}

void SetFieldText(std::span<char> field, std::string_view text) {
  if (field.empty()) return;
  const std::string_view fitted = FitInBuffer(text, field.size());
  std::fill(field.begin(), field.end(), '\0');
  std::copy(fitted.begin(), fitted.end(), field.begin());
}

}  // namespace kelna
