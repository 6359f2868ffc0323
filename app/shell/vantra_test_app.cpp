#include "shell/vantra_test_app.h"

#include <QIcon>
#include <QMessageBox>
#include <QSettings>
#include <QStyle>

#include "engine/d3d.h"
#include "shell/desktop_host.h"
#include "shell/main_frame.h"
#include "shell/standard_scene.h"
#include "shell/terrain_loading.h"

namespace vantra::shell {

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
  connect(_mainFrame.get(), &CMainFrame::terrainChosen, this, [this](const QString& path) {
    terrain::TerrainRequest request;
    request.file = path.toStdString();
    openTerrain(request);
  });
  // A model refused at start leaves the built-in terrain.
  if (_options.run.terrain.file.empty() || !openTerrain(_options.run.terrain)) _startEngine();
  return true;
}

bool CVantraTestApp::openTerrain(const terrain::TerrainRequest& request) {
  std::string message;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  std::shared_ptr<const terrain::TerrainModel> model = LoadTerrain(request, &message);
  QApplication::restoreOverrideCursor();
  if (!model) {
    QMessageBox::warning(_mainFrame.get(), applicationName(), QString::fromStdString(message));
    return false;
  }
  _model = std::move(model);
  _startEngine();
  return true;
}

void CVantraTestApp::_startEngine() {
  // The render thread of the old engine ends before the new one builds its terrain.
  _engine.reset();
  _engine = std::make_unique<engine::D3D>(*_host, [this, model = _model] {
    return MakeStandardScene(nullptr, _options.run.lodError, model);
  });
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

}  // namespace vantra::shell
