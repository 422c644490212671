// The file dialogs shown with Qt's QFileDialog.
#pragma once

#include "FileDialog.h"

namespace orv {

class QtFileDialogService : public FileDialogService {
 public:
  // The owner of the request, when set, is a QWidget*.
  FileDialogAnswer Show(const FileDialogRequest& request) override;
};

}  // namespace orv
