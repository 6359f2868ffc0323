#include "shell/about_dlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>

namespace vantra::shell {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setObjectName("aboutBox");
  setWindowTitle(tr("About VantraTest"));
  setModal(true);

  auto* icon = new QLabel(this);
  const int iconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
  icon->setPixmap(windowIcon().pixmap(iconSize, iconSize));

  auto* version = new QLabel(tr("VantraTest Version 1.0"), this);
  version->setObjectName("versionText");

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* row = new QHBoxLayout;
  row->addWidget(icon, 0, Qt::AlignTop);
  row->addSpacing(12);
  row->addWidget(version, 1, Qt::AlignVCenter);
  auto* column = new QVBoxLayout(this);
  column->addLayout(row);
  column->addWidget(buttons);
  layout()->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace vantra::shell
