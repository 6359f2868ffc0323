#include "shell/main_frame.h"

#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QSettings>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

#include "platform/regular_file.h"
#include "shell/about_dlg.h"
#include "shell/lock_keys.h"
#include "shell/recent_file_list.h"
#include "shell/vantra_test_app.h"

namespace vantra::shell {

namespace {

const char kAppTitle[] = "VantraTest";
const char kIdleMessage[] = "Ready";

// The view draws nothing, so every printed page is blank.
void PrintView(QPrinter* printer) {
  QPainter painter;
  painter.begin(printer);
  painter.end();
}

QLabel* NewIndicator(const QString& text, const char* name, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->setAlignment(Qt::AlignCenter);
  label->setMinimumWidth(label->fontMetrics().horizontalAdvance(text) + 12);
  label->setProperty("indicatorText", text);
  return label;
}

void ShowIndicator(QLabel* label, bool on) {
  label->setText(on ? label->property("indicatorText").toString() : QString());
}

}  // namespace

CMainFrame::CMainFrame(RecentFileList& recentFiles) : _recentFiles(recentFiles) {
  setObjectName("mainFrame");
  resize(760, 620);

  // The view: an empty client area.
  auto* view = new QWidget(this);
  view->setObjectName("view");
  view->setAutoFillBackground(true);
  view->setBackgroundRole(QPalette::Base);
  setCentralWidget(view);

  _createMenus();
  _createToolBar();
  _createStatusBar();
  _rebuildRecentFiles();
  _updateTitle();
  qApp->installEventFilter(this);
}

CMainFrame::~CMainFrame() { qApp->removeEventFilter(this); }

void CMainFrame::newDocument() {
  _documentPath.clear();
  _documentData.clear();
  _updateTitle();
}

bool CMainFrame::openDocument(const QString& path) {
  // Only a regular file is a document: a FIFO would block the program and a device may
  // never end. The refusal names the file and the reason.
  auto refuse = [&](const QString& reason) {
    QMessageBox::warning(this, kAppTitle,
                         tr("Failed to open document.") + "\n\n" + path + ": " + reason);
    return false;
  };
  std::string why;
  const int fd = platform::OpenRegularFile(QFile::encodeName(path).constData(), &why);
  if (fd < 0) return refuse(QString::fromStdString(why));
  QFile file;
  if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    return refuse(file.errorString());
  }
  // One byte past the limit tells a file too large (it may have grown since it was opened)
  // from one that fits.
  QByteArray data = file.read(kMaxDocumentBytes + 1);
  if (data.size() > kMaxDocumentBytes)
    return refuse(tr("it is larger than %1 MiB").arg(kMaxDocumentBytes >> 20));
  if (file.error() != QFileDevice::NoError) return refuse(file.errorString());
  _documentData = std::move(data);
  _documentPath = QFileInfo(path).absoluteFilePath();
  _recentFiles.add(_documentPath);
  _rebuildRecentFiles();
  _updateTitle();
  return true;
}

bool CMainFrame::saveDocument(const QString& path) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(_documentData) != _documentData.size() ||
      !file.commit()) {
    QMessageBox::warning(this, kAppTitle, tr("Failed to save document."));
    return false;
  }
  _documentPath = QFileInfo(path).absoluteFilePath();
  _recentFiles.add(_documentPath);
  _rebuildRecentFiles();
  _updateTitle();
  return true;
}

QString CMainFrame::documentTitle() const {
  return _documentPath.isEmpty() ? tr("Untitled") : QFileInfo(_documentPath).fileName();
}

void CMainFrame::showProgress(int done, int total) {
  if (done < total)
    _message->setText(tr("Building the terrain: %1 of %2 leaves built").arg(done).arg(total));
  else
    _message->setText(kIdleMessage);
}

void CMainFrame::showMessage(const QString& text) { _message->setText(text); }

QString CMainFrame::messageText() const { return _message->text(); }

// Closing the frame ends the program; the exit path destroys the frame after the engine.
void CMainFrame::closeEvent(QCloseEvent* event) {
  event->ignore();
  CVantraTestApp::PostQuit(0);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyRelease:
    case QEvent::ApplicationActivate:
    case QEvent::FocusIn:
      _updateIndicators();
      break;
    default:
      break;
  }
  return QMainWindow::eventFilter(watched, event);
}

QAction* CMainFrame::_addAction(QMenu* menu, const char* name, const QString& text,
                                const char* shortcut, const QString& prompt) {
  // A prompt is "status bar text\ntool tip".
  const QStringList parts = prompt.split('\n');
  auto* action = new QAction(text, this);
  action->setObjectName(name);
  if (shortcut) action->setShortcut(QKeySequence(shortcut));
  action->setStatusTip(parts.value(0));
  if (parts.size() > 1) action->setToolTip(parts.value(1));
  menu->addAction(action);
  return action;
}

void CMainFrame::_createMenus() {
  QStyle* style = this->style();

  _fileMenu = menuBar()->addMenu(tr("&File"));
  QMenu* file = _fileMenu;
  QAction* action =
      _addAction(file, "fileNew", tr("&New"), "Ctrl+N", tr("Create a new document\nNew"));
  action->setIcon(QIcon::fromTheme("document-new", style->standardIcon(QStyle::SP_FileIcon)));
  connect(action, &QAction::triggered, this, &CMainFrame::newDocument);
  action =
      _addAction(file, "fileOpen", tr("&Open..."), "Ctrl+O", tr("Open an existing document\nOpen"));
  action->setIcon(
      QIcon::fromTheme("document-open", style->standardIcon(QStyle::SP_DialogOpenButton)));
  connect(action, &QAction::triggered, this, &CMainFrame::_onFileOpen);
  action = _addAction(file, "fileOpenTerrain", tr("Open &Terrain..."), nullptr,
                      tr("Fly over an elevation model\nOpen Terrain"));
  connect(action, &QAction::triggered, this, &CMainFrame::_onOpenTerrain);
  action =
      _addAction(file, "fileSave", tr("&Save"), "Ctrl+S", tr("Save the active document\nSave"));
  action->setIcon(
      QIcon::fromTheme("document-save", style->standardIcon(QStyle::SP_DialogSaveButton)));
  connect(action, &QAction::triggered, this, &CMainFrame::_onFileSave);
  action = _addAction(file, "fileSaveAs", tr("Save &As..."), nullptr,
                      tr("Save the active document with a new name\nSave As"));
  connect(action, &QAction::triggered, this, &CMainFrame::_onFileSaveAs);
  file->addSeparator();
  action = _addAction(file, "filePrint", tr("&Print..."), "Ctrl+P",
                      tr("Print the active document\nPrint"));
  action->setIcon(QIcon::fromTheme("document-print"));
  connect(action, &QAction::triggered, this, &CMainFrame::_onFilePrint);
  action = _addAction(file, "filePrintPreview", tr("Print Pre&view"), nullptr,
                      tr("Display full pages\nPrint Preview"));
  connect(action, &QAction::triggered, this, &CMainFrame::_onFilePrintPreview);
  action = _addAction(file, "filePrintSetup", tr("P&rint Setup..."), nullptr,
                      tr("Change the printer and printing options\nPrint Setup"));
  connect(action, &QAction::triggered, this, &CMainFrame::_onFilePrintSetup);
  _recentFilesStart = file->addSeparator();
  _recentFilesEnd = file->addSeparator();
  action = _addAction(file, "appExit", tr("E&xit"), nullptr,
                      tr("Quit the application; prompts to save documents\nExit"));
  connect(action, &QAction::triggered, this, &QWidget::close);

  // The view has no selection and keeps no history, so the Edit commands stay disabled.
  QMenu* edit = menuBar()->addMenu(tr("&Edit"));
  _addAction(edit, "editUndo", tr("&Undo"), "Ctrl+Z", tr("Undo the last action\nUndo"))
      ->setEnabled(false);
  edit->addSeparator();
  action = _addAction(edit, "editCut", tr("Cu&t"), "Ctrl+X",
                      tr("Cut the selection and put it on the Clipboard\nCut"));
  action->setIcon(QIcon::fromTheme("edit-cut"));
  action->setEnabled(false);
  action = _addAction(edit, "editCopy", tr("&Copy"), "Ctrl+C",
                      tr("Copy the selection and put it on the Clipboard\nCopy"));
  action->setIcon(QIcon::fromTheme("edit-copy"));
  action->setEnabled(false);
  action =
      _addAction(edit, "editPaste", tr("&Paste"), "Ctrl+V", tr("Insert Clipboard contents\nPaste"));
  action->setIcon(QIcon::fromTheme("edit-paste"));
  action->setEnabled(false);

  QMenu* view = menuBar()->addMenu(tr("&View"));
  action = _addAction(view, "viewToolbar", tr("&Toolbar"), nullptr,
                      tr("Show or hide the toolbar\nToggle ToolBar"));
  action->setCheckable(true);
  action->setChecked(true);
  connect(action, &QAction::toggled, this, [this](bool on) { _toolBar->setVisible(on); });
  action = _addAction(view, "viewStatusBar", tr("&Status Bar"), nullptr,
                      tr("Show or hide the status bar\nToggle StatusBar"));
  action->setCheckable(true);
  action->setChecked(true);
  connect(action, &QAction::toggled, this, [this](bool on) { statusBar()->setVisible(on); });

  QMenu* help = menuBar()->addMenu(tr("&Help"));
  action = _addAction(help, "appAbout", tr("&About VantraTest..."), nullptr,
                      tr("Display program information, version number and copyright\nAbout"));
  action->setIcon(
      QIcon::fromTheme("help-about", style->standardIcon(QStyle::SP_MessageBoxInformation)));
  connect(action, &QAction::triggered, this, &CMainFrame::_onAppAbout);
}

void CMainFrame::_createToolBar() {
  _toolBar = new QToolBar(tr("Standard"), this);
  _toolBar->setObjectName("toolBar");
  _toolBar->setMovable(true);
  _toolBar->setFloatable(true);
  _toolBar->setAllowedAreas(Qt::AllToolBarAreas);
  _toolBar->setIconSize(QSize(16, 16));
  const char* const buttons[] = {"fileNew",   "fileOpen", "fileSave",  nullptr,
                                 "editCut",   "editCopy", "editPaste", nullptr,
                                 "filePrint", nullptr,    "appAbout"};
  for (const char* name : buttons) {
    if (name)
      _toolBar->addAction(findChild<QAction*>(name));
    else
      _toolBar->addSeparator();
  }
  addToolBar(Qt::TopToolBarArea, _toolBar);
  // The View menu's check mark follows the bar when it is hidden some other way.
  QAction* toggle = findChild<QAction*>("viewToolbar");
  connect(_toolBar, &QToolBar::visibilityChanged, toggle, [this, toggle] {
    if (!_toolBar->isHidden() != toggle->isChecked()) toggle->setChecked(!_toolBar->isHidden());
  });
}

void CMainFrame::_createStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName("statusBar");
  _message = new QLabel(kIdleMessage, bar);
  _message->setObjectName("messagePane");
  bar->addWidget(_message, 1);
  _capsIndicator = NewIndicator("CAP", "capsIndicator", bar);
  _numIndicator = NewIndicator("NUM", "numIndicator", bar);
  _scrollIndicator = NewIndicator("SCRL", "scrollIndicator", bar);
  bar->addPermanentWidget(_capsIndicator);
  bar->addPermanentWidget(_numIndicator);
  bar->addPermanentWidget(_scrollIndicator);
  _updateIndicators();
}

void CMainFrame::_rebuildRecentFiles() {
  const QList<QAction*> actions = _fileMenu->actions();
  const int start = actions.indexOf(_recentFilesStart);
  const int end = actions.indexOf(_recentFilesEnd);
  for (int i = start + 1; i < end; ++i) {
    // Deleted later: the action may be the one whose command is running now.
    _fileMenu->removeAction(actions[i]);
    actions[i]->setObjectName(QString());
    actions[i]->deleteLater();
  }

  const QStringList& files = _recentFiles.files();
  if (files.isEmpty()) {
    auto* placeholder = new QAction(tr("Recent File"), this);
    placeholder->setObjectName("fileMruFile1");
    placeholder->setStatusTip(tr("Open this document"));
    placeholder->setEnabled(false);
    _fileMenu->insertAction(_recentFilesEnd, placeholder);
  }
  for (int i = 0; i < files.size(); ++i) {
    // A menu text takes '&' as the mark of its shortcut letter; "&&" shows one '&'.
    QString shown = files[i];
    shown.replace('&', QStringLiteral("&&"));
    auto* action = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(shown), this);
    action->setObjectName(QStringLiteral("fileMruFile%1").arg(i + 1));
    action->setStatusTip(tr("Open this document"));
    connect(action, &QAction::triggered, this, [this, i] { _onOpenRecentFile(i); });
    _fileMenu->insertAction(_recentFilesEnd, action);
  }

  QSettings settings;
  _recentFiles.writeList(settings);
}

void CMainFrame::_updateTitle() {
  setWindowTitle(QStringLiteral("%1 - %2").arg(documentTitle(), kAppTitle));
}

void CMainFrame::_updateIndicators() {
  const LockKeys keys = ReadLockKeys();
  ShowIndicator(_capsIndicator, keys.caps);
  ShowIndicator(_numIndicator, keys.num);
  ShowIndicator(_scrollIndicator, keys.scroll);
}

QPrinter& CMainFrame::_printer() {
  if (!_printerSettings) _printerSettings = std::make_unique<QPrinter>();
  _printerSettings->setDocName(documentTitle());
  return *_printerSettings;
}

void CMainFrame::_onFileOpen() {
  const QString path =
      QFileDialog::getOpenFileName(this, tr("Open"), QString(), tr("All Files (*)"));
  if (!path.isEmpty()) openDocument(path);
}

void CMainFrame::_onOpenTerrain() {
  const QString path = QFileDialog::getOpenFileName(
      this, tr("Open Terrain"), QString(),
      tr("Elevation models (*.tif *.tiff *.hgt *.asc *.png *.bmp);;All Files (*)"));
  if (!path.isEmpty()) emit terrainChosen(path);
}

void CMainFrame::_onFileSave() {
  if (_documentPath.isEmpty())
    _onFileSaveAs();
  else
    saveDocument(_documentPath);
}

void CMainFrame::_onFileSaveAs() {
  const QString path =
      QFileDialog::getSaveFileName(this, tr("Save As"), documentTitle(), tr("All Files (*)"));
  if (!path.isEmpty()) saveDocument(path);
}

void CMainFrame::_onFilePrint() {
  QPrinter& printer = _printer();
  QPrintDialog dialog(&printer, this);
  if (dialog.exec() == QDialog::Accepted) PrintView(&printer);
}

void CMainFrame::_onFilePrintPreview() {
  QPrintPreviewDialog preview(&_printer(), this);
  connect(&preview, &QPrintPreviewDialog::paintRequested, this, &PrintView);
  preview.exec();
}

void CMainFrame::_onFilePrintSetup() {
  QPageSetupDialog dialog(&_printer(), this);
  dialog.exec();
}

void CMainFrame::_onOpenRecentFile(int index) {
  const QString path = _recentFiles.files().value(index);
  if (path.isEmpty()) return;
  // A document that can no longer be opened leaves the list.
  if (!openDocument(path)) {
    _recentFiles.remove(index);
    _rebuildRecentFiles();
  }
}

void CMainFrame::_onAppAbout() {
  CAboutDlg about(this);
  about.exec();
}

}  // namespace vantra::shell
