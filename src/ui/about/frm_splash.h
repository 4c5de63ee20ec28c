// frmSplash, the about box: the product, its version, the copyright and
// the support address. Modeless; a click inside it, its button, Escape or
// Enter closes it.
#pragma once

#include <QWidget>

class QFrame;
class QLabel;
class QPushButton;

namespace kelvane::ui {

class frmSplash : public QWidget {
  Q_OBJECT
 public:
  explicit frmSplash(QWidget* owner = nullptr);

  // Fills the title and version labels anew, as each opening does.
  void fillLabels();
  void CloseBtn_Click();
  void Frame1_Click();

  // The version text: "Version 1.1.7".
  static QString versionText(int major, int minor, int revision);
  // The program's picture, drawn here.
  static QPixmap logo(int size);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QFrame* Frame1_;
  QLabel* imgLogo_;
  QLabel* lblProductName_;
  QLabel* lblCompanyProduct_;
  QLabel* lblVersion_;
  QLabel* lblCopyright_;
  QLabel* Label2_;
  QLabel* Label1_;
  QPushButton* CloseBtn_;
};

}  // namespace kelvane::ui
