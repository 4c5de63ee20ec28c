#include "ui/about/frm_splash.h"

#include <QCoreApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/message_box.h"
#include "ui/about/logo.h"
#include "ui/product.h"

namespace kelvane::ui {
namespace {

QLabel* namedLabel(const QString& text, const char* name, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  return label;
}

}  // namespace

frmSplash::frmSplash(QWidget* owner) : QWidget(owner, Qt::Dialog) {
  setObjectName(QStringLiteral("frmSplash"));
  setAttribute(Qt::WA_DeleteOnClose, false);
  setWindowTitle(QCoreApplication::translate("About", "Kelvaneについて"));

  Frame1_ = new QFrame(this);
  Frame1_->setObjectName(QStringLiteral("Frame1"));
  Frame1_->setFrameShape(QFrame::StyledPanel);

  imgLogo_ = namedLabel(QString(), "imgLogo", Frame1_);
  imgLogo_->setPixmap(logo(64));
  imgLogo_->setFixedSize(64, 64);

  lblProductName_ = namedLabel(QString(), "lblProductName", Frame1_);
  QFont big = lblProductName_->font();
  big.setPointSizeF(big.pointSizeF() * 1.8);
  big.setBold(true);
  lblProductName_->setFont(big);
  lblCompanyProduct_ = namedLabel(QCoreApplication::translate("About", "Webデータ抽出表示"),
                                  "lblCompanyProduct", Frame1_);
  lblVersion_ = namedLabel(QString(), "lblVersion", Frame1_);
  lblCopyright_ = namedLabel(QString::fromUtf8(kCopyright), "lblCopyright", Frame1_);
  Label2_ = namedLabel(QString::fromUtf8(kSupportAddress), "Label2", Frame1_);
  Label1_ =
      namedLabel(QCoreApplication::translate("About", "このダイアログ内をクリックすると閉じます."),
                 "Label1", Frame1_);

  auto* titles = new QVBoxLayout;
  titles->addWidget(lblProductName_);
  titles->addWidget(lblCompanyProduct_);
  titles->addWidget(lblVersion_);
  titles->addStretch();
  auto* top = new QHBoxLayout;
  top->addWidget(imgLogo_, 0, Qt::AlignTop);
  top->addSpacing(12);
  top->addLayout(titles, 1);
  auto* inside = new QVBoxLayout(Frame1_);
  inside->addLayout(top);
  inside->addSpacing(8);
  inside->addWidget(lblCopyright_);
  inside->addWidget(Label2_);
  inside->addSpacing(8);
  inside->addWidget(Label1_);

  CloseBtn_ = new QPushButton(QCoreApplication::translate("About", "閉じる"), this);
  CloseBtn_->setObjectName(QStringLiteral("CloseBtn"));
  connect(CloseBtn_, &QPushButton::clicked, this, &frmSplash::CloseBtn_Click);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(CloseBtn_);
  auto* outer = new QVBoxLayout(this);
  outer->addWidget(Frame1_, 1);
  outer->addLayout(buttons);

  // A click on the frame, or on anything inside it, closes the box.
  Frame1_->installEventFilter(this);
  for (QLabel* label : Frame1_->findChildren<QLabel*>()) label->installEventFilter(this);
  fillLabels();
}

QString frmSplash::versionText(int major, int minor, int revision) {
  return QStringLiteral("Version %1.%2.%3").arg(major).arg(minor).arg(revision);
}

void frmSplash::fillLabels() {
  lblVersion_->setText(
      versionText(KELVANE_VERSION_MAJOR, KELVANE_VERSION_MINOR, KELVANE_VERSION_PATCH));
  lblProductName_->setText(QString::fromUtf8(platform::kApplicationTitle));
}

void frmSplash::CloseBtn_Click() {
  close();
}
void frmSplash::Frame1_Click() {
  close();
}

bool frmSplash::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    Frame1_Click();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

// The box has nothing to type into: the keys a dialog closes with close it.
void frmSplash::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
      CloseBtn_Click();
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}

QPixmap frmSplash::logo(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  paintLogo(p, size);
  return pixmap;
}

}  // namespace kelvane::ui
