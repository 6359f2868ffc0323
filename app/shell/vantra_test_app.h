// The application object: starts the main frame and the engine, and tears them down in
// the order the render thread needs.
#pragma once

#include <QApplication>
#include <memory>

#include "shell/command_line.h"
#include "shell/recent_file_list.h"

namespace vantra::engine {
class D3D;
}

namespace vantra::shell {

class CMainFrame;
class DesktopHost;

class CVantraTestApp : public QApplication {
  Q_OBJECT

 public:
  CVantraTestApp(int& argc, char** argv);
  ~CVantraTestApp() override;

  // The running application object.
  static CVantraTestApp* instance();

  // What the command line asked for; read by initInstance.
  void setOptions(const ProgramOptions& options) { _options = options; }

  // Settings, the main frame with its document, then the engine with its renderer window
  // and render thread. False when start-up failed; exitInstance cleans up either way.
  bool initInstance();
  // Deletes the engine (stopping and joining the render thread) before any window goes,
  // then the windows; returns exitCode.
  int exitInstance(int exitCode);

  // Loads the elevation model and restarts the engine over it, the camera at its start pose.
  // A refused file keeps the terrain there was, after a message box and a line on standard
  // error. False when it was refused.
  bool openTerrain(const terrain::TerrainRequest& request);

  // Ends the event loop with this exit code once control is back in the loop. Window
  // handlers call this instead of quitting inside themselves.
  static void PostQuit(int exitCode);

  // Null until the engine is created and after it is deleted.
  engine::D3D* engine() const { return _engine.get(); }
  CMainFrame* mainFrame() const { return _mainFrame.get(); }
  DesktopHost* host() const { return _host.get(); }
  RecentFileList& recentFileList() { return _recentFiles; }
  // The elevation model the terrain shows; null for the built-in terrain.
  const terrain::TerrainModel* terrainModel() const { return _model.get(); }

 private:
  ProgramOptions _options;
  RecentFileList _recentFiles;
  std::unique_ptr<CMainFrame> _mainFrame;
  std::unique_ptr<DesktopHost> _host;
  std::unique_ptr<engine::D3D> _engine;
  // The elevation model the terrain shows; null for the built-in terrain.
  std::shared_ptr<const terrain::TerrainModel> _model;

  void _startEngine();
};

}  // namespace vantra::shell
