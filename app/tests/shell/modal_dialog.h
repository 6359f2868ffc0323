// Answers the modal dialogs that the shell's window tests open.
#pragma once

#include <QDialog>
#include <functional>

namespace vantra::shell {

// Runs check on the modal dialog that action opens, then ends the dialog with result, so
// that action's own loop ends; fails the test when no modal dialog appeared.
void WithModalDialog(const std::function<void()>& action,
                     const std::function<void(QWidget*)>& check, int result = QDialog::Accepted);

}  // namespace vantra::shell
