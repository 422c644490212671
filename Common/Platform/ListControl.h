// What a list-filling routine needs of a combo box: its type name, adding an
// item, the index of the item just added, and per-item data. The plain combo
// box of the desktop program and the auto-matching combo both offer it.
#pragma once

#include <cstdint>
#include <string>

namespace orv {

class ListControl {
 public:
  virtual ~ListControl() = default;
  // The control's type name as the platform reports it ("ComboBox",
  // "QCombo", "QNSCombo", "TextBox" ...).
  virtual std::string TypeName() const = 0;
  virtual void AddItem(const std::string& text) = 0;
  // 0-based index of the item most recently added.
  virtual int32_t NewIndex() const = 0;
  virtual void SetItemData(int32_t index, int32_t data) = 0;
  virtual int32_t ItemData(int32_t index) const = 0;
};

}  // namespace orv
