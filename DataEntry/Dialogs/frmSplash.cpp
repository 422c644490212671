#include "frmSplash.h"

#include <QCoreApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include "Dialogs.h"

namespace orv::tarnby {

frmSplash::frmSplash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  ui_.setupUi(this);
  setFocusPolicy(Qt::StrongFocus);
}

void frmSplash::mousePressEvent(QMouseEvent* event) {
  event->accept();
  emit UnloadRequested();
}

void frmSplash::keyPressEvent(QKeyEvent* event) {
  event->accept();
  emit UnloadRequested();
}

Splash::Splash() = default;

Splash::~Splash() {
  // Not from the window's own handlers: it can go at once.
  delete form_.data();
}

void Splash::SetFromApplication() {
  ProductName = QCoreApplication::applicationName().isEmpty()
                    ? std::string("Tarnby")
                    : QCoreApplication::applicationName().toStdString();
  Version = QCoreApplication::applicationVersion().toStdString();
  Copyright = kLegalNotice;
}

void Splash::LoadSplash() {
  if (form_) return;
  form_ = new frmSplash;
  QObject::connect(form_, &frmSplash::UnloadRequested, form_, [this] { UnloadSplash(); });
}

void Splash::DisplaySplash() {
  LoadSplash();
  auto& ui = form_->Form();
  ui.lblProductName->setText(QString::fromStdString(ProductName));
  ui.lblVersion->setText(QStringLiteral("Version ") + QString::fromStdString(Version));
  ui.lblCopyright->setText(QString::fromStdString(Copyright));
  ui.lblLicenseTo->setText(QString::fromStdString(LicenseTo));
  QPixmap logo;
  if (!Logo.empty()) logo.load(QString::fromStdString(Logo));
  if (logo.isNull()) logo = ProgramIcon().pixmap(128, 128);
  ui.imgLogo->setPixmap(logo);
  form_->adjustSize();
  // In the middle of the screen the program is starting on.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame = form_->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    form_->move(frame.topLeft());
  }
  form_->show();
  form_->raise();
  QCoreApplication::processEvents();
}

void Splash::LoadAndDisplaySplash() {
  LoadSplash();
  DisplaySplash();
}

void Splash::HideSplash() {
  if (form_) form_->hide();
}

void Splash::UnloadSplash() {
  if (!form_) return;
  QPointer<frmSplash> form = form_;
  form_ = nullptr;
  form->hide();
  // Later: the request to unload may come from the window's own key or mouse handler.
  form->deleteLater();
}

QWidget* Splash::Window() const { return form_; }

}  // namespace orv::tarnby
