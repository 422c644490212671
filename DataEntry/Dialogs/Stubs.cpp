// Placeholders until the screens land.
#include "Dialogs.h"

#include <QWidget>

namespace tarnby {

bool SearchCancelled = false;

class frmSplash : public QWidget {};
class HelpWindow : public QWidget {};

Splash::Splash() = default;
Splash::~Splash() = default;
void Splash::SetFromApplication() {}
void Splash::LoadSplash() {}
void Splash::DisplaySplash() {}
void Splash::LoadAndDisplaySplash() {}
void Splash::HideSplash() {}
void Splash::UnloadSplash() {}
QWidget* Splash::Window() const { return nullptr; }

bool ShowOptionsModal(QWidget*) { return false; }
QWidget* ShowOptionsModeless(QWidget*, std::function<void()>) { return nullptr; }
bool ShowSearch(QWidget*) { return false; }
void ShowAbout(QWidget*, const AboutInfo&) {}
std::string FindSystemInfoTool() { return {}; }
void ShowFactorOverride(QWidget*, const orv::db::DatabasePtr&) {}
std::string DefaultHelpFile() { return {}; }

cHelpDlg::cHelpDlg() = default;
cHelpDlg::~cHelpDlg() = default;
void cHelpDlg::InitialiseHelp(QWidget*, const std::string&) {}
void cHelpDlg::ShowHelp(int32_t, const std::variant<int32_t, std::string>&) {}
HelpWindow* cHelpDlg::Window() const { return nullptr; }

clsMousePointer::clsMousePointer() = default;
clsMousePointer::~clsMousePointer() = default;
void clsMousePointer::SetMousePointer(Qt::CursorShape shape) { shape_ = shape; }

}  // namespace tarnby
