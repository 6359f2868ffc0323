#include "shell/vantra_test_app.h"

#include <QIcon>
#include <QSettings>
#include <QStyle>

#include "engine/d3d.h"
#include "shell/desktop_host.h"
#include "shell/main_frame.h"
#include "shell/standard_scene.h"

namespace {

// The number of documents the File menu lists.
constexpr int kRecentFileCount = 4;

}  // namespace

CVantraTestApp::CVantraTestApp(int& argc, char** argv)
    : QApplication(argc, argv), _recentFiles(kRecentFileCount) {
  // Ending is explicit: closing either window queues the quit, and the exit path tears
  // down the engine before the windows.
  setQuitOnLastWindowClosed(false);
}

CVantraTestApp::~CVantraTestApp() { exitInstance(0); }

CVantraTestApp* CVantraTestApp::instance() { return static_cast<CVantraTestApp*>(qApp); }

bool CVantraTestApp::initInstance() {
  setOrganizationName("Local AppWizard-Generated Applications");
  setApplicationName("VantraTest");
  // The toolbar's pictures come from the desktop's icon theme; where the desktop names
  // none, a complete theme that is commonly installed stands in.
  if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
    QIcon::setThemeName("Adwaita");
  setWindowIcon(
      QIcon::fromTheme("applications-graphics", style()->standardIcon(QStyle::SP_ComputerIcon)));

  QSettings settings;
  _recentFiles.readList(settings);

  _mainFrame = std::make_unique<CMainFrame>(_recentFiles);
  if (_options.documents.isEmpty())
    _mainFrame->newDocument();
  else if (!_mainFrame->openDocument(_options.documents.first()))
    return false;

  _mainFrame->show();
  _mainFrame->repaint();

  _host = std::make_unique<DesktopHost>(*_mainFrame);
  _engine = std::make_unique<D3D>(
      *_host, [this] { return MakeStandardScene(nullptr, _options.run.lodError); });
  return true;
}

int CVantraTestApp::exitInstance(int exitCode) {
  if (_host) _host->cancelMessageBoxes();
  _engine.reset();
  _host.reset();
  _mainFrame.reset();
  return exitCode;
}

void CVantraTestApp::PostQuit(int exitCode) {
  QMetaObject::invokeMethod(
      qApp, [exitCode] { QCoreApplication::exit(exitCode); }, Qt::QueuedConnection);
}
