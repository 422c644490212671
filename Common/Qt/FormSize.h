// Remembers a window's position, size and state between runs: restores them
// when the window is attached, keeps a restored window on the usable screen
// area, enforces a minimum size while the user resizes, and keeps a few
// extra per-window values (baggage) beside the position.
//
// A window creates one FormSize, attaches itself with SetForm when it loads,
// calls AdjustToMinimum from its resize handler and SavePosition when it
// unloads. Positions are in twips (1/1440 inch) and measure the window's
// inner (client) rectangle; pixels convert with the screen's logical
// resolution. The usable area is the parent widget's inner rectangle for a
// child window, else the screen's available geometry.
//
// Storage: one section per window (the name given to SetForm, else the
// widget's objectName) with the keys "Left", "Top", "Width", "Height" and
// "WindowState", in decimal; in the file given to UseIniFile, else in the
// per-user store of the application (see PositionStore.h).
#pragma once

#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <string>

#include "PositionRecord.h"

namespace orv {

class FormSize {
 public:
  // `application_name`: the deliverable's title, naming its per-user store.
  explicit FormSize(std::string application_name);

  // Minimum width and height for AdjustToMinimum.
  void SetMinimumSize(int32_t width, int32_t height);
  void SetMinimumSizeInPixels(int32_t width, int32_t height);

  // The record used when nothing is stored. With `centre`, left and top are
  // recomputed to centre the window on the usable area and given back.
  void SetDefaultSize(int32_t& left, int32_t& top, int32_t& width, int32_t& height, bool centre);
  void SetDefaultSizeInPixels(int32_t& left, int32_t& top, int32_t& width, int32_t& height,
                              bool centre);
  void ClearDefaultSize();

  // Attaches the window under `name` (empty: its objectName) and restores
  // its stored position; without a default the window's present position is
  // the default. Fails with error 13 when a stored value is not a number.
  void SetForm(QWidget* window, const std::string& name = {});

  // Keeps positions in this settings file; empty means the per-user store.
  void UseIniFile(const std::string& path);

  // Stores the window's state and its normal (not maximised) position.
  void SavePosition();
  // Moves the window to the default record, kept inside the usable area.
  void SizeToDefault();
  // Grows a normal window to the minimum size and keeps it on the area.
  // Does nothing while FormSize itself is moving the window.
  void AdjustToMinimum();

  // A stored value of the window's section; empty when none.
  std::string GetBaggage(const std::string& key);
  void SaveBaggage(const std::string& key, const std::string& value);

  // The usable area and the window's present record, in twips.
  PositionRecord UsableArea() const;
  PositionRecord CurrentRecord() const;
  const std::string& SectionName() const { return section_; }

 private:
  double TwipsPerPixelX() const;
  double TwipsPerPixelY() const;
  void ApplyRecord(const PositionRecord& r);
  std::string Read(const std::string& key, const std::string& default_text);
  void Write(const std::string& key, const std::string& value);

  std::string application_name_;
  QPointer<QWidget> window_;
  std::string section_;
  PositionRecord current_;
  PositionRecord default_;
  bool has_default_ = false;
  PositionRecord minimum_;
  std::string ini_file_;
  bool moving_ = false;
  bool saving_ = false;
  bool sizing_to_default_ = false;
  bool adjusting_ = false;
};

}  // namespace orv
