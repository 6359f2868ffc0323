#include "modal_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

namespace vantra::shell {

void WithModalDialog(const std::function<void()>& action,
                     const std::function<void(QWidget*)>& check, int result) {
  bool checked = false;
  std::function<void()> poll;
  poll = [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) {
      QTimer::singleShot(10, poll);
      return;
    }
    check(modal);
    checked = true;
    if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->done(result);
  };
  QTimer::singleShot(0, poll);
  action();
  EXPECT_TRUE(checked) << "no modal dialog appeared";
}

}  // namespace vantra::shell
