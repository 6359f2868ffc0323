// The main frame: menu, toolbar and status bar around the empty document and its view.
#pragma once

#include <QByteArray>
#include <QMainWindow>
#include <QString>
#include <memory>

class QAction;
class QLabel;
class QMenu;
class QPrinter;
class QToolBar;

namespace vantra::shell {

class RecentFileList;

class CMainFrame : public QMainWindow {
  Q_OBJECT

 public:
  explicit CMainFrame(RecentFileList& recentFiles);
  ~CMainFrame() override;

  // Opening reads at most this many bytes of a regular file; larger files, and anything that
  // is not a regular file, are refused with a message box naming the file and the reason.
  static constexpr qint64 kMaxDocumentBytes = 64 * 1024 * 1024;

  // The document has no content of its own: it keeps the bytes of the file it was opened
  // from, so that saving it never loses them. New empties it and names it "Untitled".
  void newDocument();
  bool openDocument(const QString& path);
  bool saveDocument(const QString& path);
  QString documentTitle() const;

  // The terrain's build progress in the status bar's message pane.
  void showProgress(int done, int total);

  // A notice in the status bar's message pane.
  void showMessage(const QString& text);

  // The message pane's resting text.
  QString messageText() const;

 signals:
  // File > Open Terrain... chose an elevation model.
  void terrainChosen(const QString& path);

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QAction* _addAction(QMenu* menu, const char* name, const QString& text, const char* shortcut,
                      const QString& prompt);
  void _createMenus();
  void _createToolBar();
  void _createStatusBar();
  void _rebuildRecentFiles();
  void _updateTitle();
  void _updateIndicators();
  QPrinter& _printer();

  void _onFileOpen();
  void _onOpenTerrain();
  void _onFileSave();
  void _onFileSaveAs();
  void _onFilePrint();
  void _onFilePrintPreview();
  void _onFilePrintSetup();
  void _onOpenRecentFile(int index);
  void _onAppAbout();

  RecentFileList& _recentFiles;
  QString _documentPath;
  QByteArray _documentData;

  QMenu* _fileMenu = nullptr;
  QAction* _recentFilesStart = nullptr;
  QAction* _recentFilesEnd = nullptr;
  QToolBar* _toolBar = nullptr;
  QLabel* _message = nullptr;
  QLabel* _capsIndicator = nullptr;
  QLabel* _numIndicator = nullptr;
  QLabel* _scrollIndicator = nullptr;
  // Shared by printing, preview and printer set-up, so set-up choices stick.
  std::unique_ptr<QPrinter> _printerSettings;
};

}  // namespace vantra::shell
