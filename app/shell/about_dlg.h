// The modal about box of the main frame's Help menu.
#pragma once

#include <QDialog>

namespace vantra::shell {

class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent);
};

}  // namespace vantra::shell
