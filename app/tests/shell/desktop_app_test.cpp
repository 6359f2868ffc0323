// The desktop application in this process, with the real engine, on the test's X display.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "engine/d3d.h"
#include "modal_dialog.h"
#include "platform/dinput_keys.h"
#include "shell/about_dlg.h"
#include "shell/desktop_host.h"
#include "shell/main_frame.h"
#include "shell/renderer_window.h"
#include "shell/vantra_test_app.h"
#include "test_rasters.h"

namespace vantra::shell {

namespace {

CVantraTestApp& App() { return *CVantraTestApp::instance(); }
CMainFrame& Frame() { return *App().mainFrame(); }
RendererWindow& Renderer() { return *App().host()->rendererWindow(); }

void Xdotool(const std::string& arguments) {
  ASSERT_EQ(std::system(("xdotool " + arguments).c_str()), 0) << arguments;
}

bool KeyHeld(std::uint8_t code) {
  std::uint8_t keys[256];
  Renderer().inputSource().readKeyboard(keys);
  return keys[code] & 0x80;
}

bool Activate(QWindow* window) {
  window->requestActivate();
  return QTest::qWaitForWindowActive(window, 5000);
}

bool EngineRunning() {
  return QTest::qWaitFor([] { return App().engine()->framesRendered() > 0; }, 60000);
}

}  // namespace

TEST(DesktopApp, OpensTheEmptyDocumentThenTheRendererWindow) {
  EXPECT_EQ(Frame().windowTitle(), "Untitled - VantraTest");
  EXPECT_TRUE(Frame().isVisible());
  EXPECT_EQ(Renderer().title(), "3D App");
  EXPECT_TRUE(Renderer().isVisible());
  EXPECT_EQ(Renderer().surfaceType(), QSurface::OpenGLSurface);
  RECT client;
  Renderer().clientRect(&client);
  EXPECT_EQ(client.right, 640);
  EXPECT_EQ(client.bottom, 480);
  EXPECT_EQ(QCoreApplication::organizationName(), "Local AppWizard-Generated Applications");
  EXPECT_EQ(App().recentFileList().size(), 4);
  ASSERT_TRUE(EngineRunning());
  EXPECT_EQ(App().engine()->runResult(), 0) << "the render thread is still going";
}

TEST(MainFrame, CommandsHaveTheirTextsShortcutsAndStates) {
  struct Case {
    const char* name;
    const char* text;
    const char* shortcut;
    bool enabled;
  };
  const Case cases[] = {
      {"fileNew", "&New", "Ctrl+N", true},
      {"fileOpen", "&Open...", "Ctrl+O", true},
      {"fileOpenTerrain", "Open &Terrain...", "", true},
      {"fileSave", "&Save", "Ctrl+S", true},
      {"fileSaveAs", "Save &As...", "", true},
      {"filePrint", "&Print...", "Ctrl+P", true},
      {"filePrintPreview", "Print Pre&view", "", true},
      {"filePrintSetup", "P&rint Setup...", "", true},
      {"appExit", "E&xit", "", true},
      {"editUndo", "&Undo", "Ctrl+Z", false},
      {"editCut", "Cu&t", "Ctrl+X", false},
      {"editCopy", "&Copy", "Ctrl+C", false},
      {"editPaste", "&Paste", "Ctrl+V", false},
      {"viewToolbar", "&Toolbar", "", true},
      {"viewStatusBar", "&Status Bar", "", true},
      {"appAbout", "&About VantraTest...", "", true},
  };
  for (const Case& c : cases) {
    auto* action = Frame().findChild<QAction*>(c.name);
    ASSERT_NE(action, nullptr) << c.name;
    EXPECT_EQ(action->text(), c.text) << c.name;
    EXPECT_EQ(action->shortcut().toString(), c.shortcut) << c.name;
    EXPECT_EQ(action->isEnabled(), c.enabled) << c.name;
    EXPECT_FALSE(action->statusTip().isEmpty()) << c.name << " has a status bar text";
  }

  QStringList menus;
  for (QAction* menu : Frame().menuBar()->actions()) menus << menu->text();
  EXPECT_EQ(menus, QStringList({"&File", "&Edit", "&View", "&Help"}));
}

TEST(MainFrame, ToolbarAndStatusBarHaveTheirPanes) {
  auto* toolBar = Frame().findChild<QToolBar*>("toolBar");
  ASSERT_NE(toolBar, nullptr);
  QStringList buttons;
  for (QAction* action : toolBar->actions()) {
    buttons << (action->isSeparator() ? QString("|") : action->objectName());
    if (!action->isSeparator()) {
      EXPECT_FALSE(action->icon().isNull()) << action->objectName().toStdString();
      EXPECT_FALSE(action->toolTip().isEmpty()) << action->objectName().toStdString();
    }
  }
  EXPECT_EQ(buttons.join(' '),
            "fileNew fileOpen fileSave | editCut editCopy editPaste | filePrint | appAbout");
  EXPECT_TRUE(toolBar->isMovable()) << "the toolbar has a gripper";

  EXPECT_EQ(Frame().messageText(), "Ready") << "the terrain has been built";
  for (const char* name : {"capsIndicator", "numIndicator", "scrollIndicator"})
    EXPECT_NE(Frame().statusBar()->findChild<QLabel*>(name), nullptr) << name;
}

TEST(MainFrame, IndicatorsFollowTheLockKeys) {
  ASSERT_TRUE(Activate(Frame().windowHandle()));
  struct Case {
    const char* key;
    const char* indicator;
    const char* text;
  };
  const Case cases[] = {{"Caps_Lock", "capsIndicator", "CAP"}, {"Num_Lock", "numIndicator", "NUM"}};
  for (const Case& c : cases) {
    auto* label = Frame().statusBar()->findChild<QLabel*>(c.indicator);
    ASSERT_NE(label, nullptr);
    const QString before = label->text();
    Xdotool(std::string("key ") + c.key);
    EXPECT_TRUE(QTest::qWaitFor([&] { return label->text() != before; }, 2000)) << c.key;
    EXPECT_TRUE(label->text() == c.text || before == c.text) << c.key;
    Xdotool(std::string("key ") + c.key);
    EXPECT_TRUE(QTest::qWaitFor([&] { return label->text() == before; }, 2000)) << c.key;
  }
}

TEST(MainFrame, ViewMenuTogglesTheBars) {
  struct Case {
    const char* action;
    QWidget* bar;
  };
  const Case cases[] = {{"viewToolbar", Frame().findChild<QToolBar*>("toolBar")},
                        {"viewStatusBar", Frame().statusBar()}};
  for (const Case& c : cases) {
    auto* action = Frame().findChild<QAction*>(c.action);
    action->trigger();
    EXPECT_TRUE(c.bar->isHidden()) << c.action;
    EXPECT_FALSE(action->isChecked()) << c.action;
    action->trigger();
    EXPECT_FALSE(c.bar->isHidden()) << c.action;
    EXPECT_TRUE(action->isChecked()) << c.action;
  }
}

TEST(MainFrame, AboutBoxShowsTheVersion) {
  WithModalDialog([] { Frame().findChild<QAction*>("appAbout")->trigger(); },
                  [](QWidget* modal) {
                    ASSERT_NE(qobject_cast<CAboutDlg*>(modal), nullptr);
                    EXPECT_EQ(modal->windowTitle(), "About VantraTest");
                    QStringList texts;
                    for (QLabel* label : modal->findChildren<QLabel*>()) texts << label->text();
                    EXPECT_TRUE(texts.contains("VantraTest Version 1.0"));
                    auto* buttons = modal->findChild<QDialogButtonBox*>();
                    ASSERT_NE(buttons, nullptr);
                    EXPECT_EQ(buttons->buttons().size(), 1);
                    EXPECT_NE(buttons->button(QDialogButtonBox::Ok), nullptr);
                  });
}

TEST(MainFrame, PrintCommandsOpenTheirDialogs) {
  struct Case {
    const char* action;
    const char* dialogClass;
  };
  const Case cases[] = {{"filePrint", "QPrintDialog"},
                        {"filePrintPreview", "QPrintPreviewDialog"},
                        {"filePrintSetup", "QPageSetupDialog"}};
  for (const Case& c : cases)
    WithModalDialog([&] { Frame().findChild<QAction*>(c.action)->trigger(); },
                    [&](QWidget* modal) {
                      EXPECT_TRUE(modal->inherits(c.dialogClass))
                          << c.action << " opened " << modal->metaObject()->className();
                    },
                    QDialog::Rejected);
}

TEST(MainFrame, DocumentsKeepTheirBytesAndJoinTheRecentList) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString source = dir.filePath("terrain notes.txt");
  {
    QFile file(source);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("height 513\n");
  }
  ASSERT_TRUE(Frame().openDocument(source));
  EXPECT_EQ(Frame().windowTitle(), "terrain notes.txt - VantraTest");

  const QString copy = dir.filePath("copy.txt");
  ASSERT_TRUE(Frame().saveDocument(copy));
  QFile saved(copy);
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  EXPECT_EQ(saved.readAll(), "height 513\n") << "saving writes back what was opened";
  EXPECT_EQ(Frame().windowTitle(), "copy.txt - VantraTest");
  EXPECT_EQ(App().recentFileList().files(), QStringList({copy, source}));
  auto* first = Frame().findChild<QAction*>("fileMruFile1");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->text(), "&1 " + copy);
  EXPECT_EQ(QSettings().value("Recent File List/File1").toString(), copy);

  // A listed document that has gone cannot be opened and leaves the list.
  ASSERT_TRUE(QFile::remove(copy));
  WithModalDialog([] { Frame().findChild<QAction*>("fileMruFile1")->trigger(); },
                  [](QWidget* modal) { EXPECT_NE(qobject_cast<QMessageBox*>(modal), nullptr); });
  EXPECT_EQ(App().recentFileList().files(), QStringList({source}));

  Frame().newDocument();
  EXPECT_EQ(Frame().windowTitle(), "Untitled - VantraTest");
}

TEST(RendererWindow, FocusAcquiresAndReleasesTheEngineInput) {
  ASSERT_TRUE(EngineRunning());
  for (int round = 0; round < 2; ++round) {
    ASSERT_TRUE(Activate(&Renderer()));
    EXPECT_TRUE(QTest::qWaitFor([] { return App().engine()->isInputAcquired(); }, 2000))
        << "focus gained, round " << round;
    ASSERT_TRUE(Activate(Frame().windowHandle()));
    EXPECT_TRUE(QTest::qWaitFor([] { return !App().engine()->isInputAcquired(); }, 2000))
        << "focus lost, round " << round;
  }
}

TEST(RendererWindow, KeysAreHeldUntilReleasedOrTheFocusGoes) {
  ASSERT_TRUE(Activate(&Renderer()));
  struct Case {
    const char* key;
    std::uint8_t code;
  };
  const Case cases[] = {{"w", DIK_W},
                        {"F12", DIK_F12},
                        {"Shift_R", DIK_RSHIFT},
                        {"Control_R", DIK_RCONTROL},
                        {"KP_Add", DIK_ADD},
                        {"KP_Divide", DIK_DIVIDE},
                        {"Next", DIK_NEXT},
                        {"Up", DIK_UP}};
  for (const Case& c : cases) {
    Xdotool(std::string("keydown ") + c.key);
    EXPECT_TRUE(QTest::qWaitFor([&] { return KeyHeld(c.code); }, 2000)) << c.key;
    Xdotool(std::string("keyup ") + c.key);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !KeyHeld(c.code); }, 2000)) << c.key;
  }

  // A key still held when the focus goes reads as up, and stays up when the focus returns.
  Xdotool("keydown a");
  EXPECT_TRUE(QTest::qWaitFor([] { return KeyHeld(DIK_A); }, 2000));
  ASSERT_TRUE(Activate(Frame().windowHandle()));
  EXPECT_FALSE(KeyHeld(DIK_A));
  Xdotool("keyup a");
  ASSERT_TRUE(Activate(&Renderer()));
  EXPECT_FALSE(KeyHeld(DIK_A));
}

TEST(RendererWindow, MouseGivesRelativeMotionAndFourButtons) {
  // A window of its own, so that the engine's polls do not consume the motion.
  RendererWindow window("mouse");
  window.setPosition(700, 100);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  const std::string id = std::to_string(window.winId());
  Xdotool("mousemove --window " + id + " --sync 20 20");
  QTest::qWait(100);
  DIMOUSESTATE state;
  window.inputSource().readMouse(&state);
  Xdotool("mousemove --window " + id + " --sync 120 70");
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        DIMOUSESTATE more;
        window.inputSource().readMouse(&more);
        state.lX += more.lX;
        state.lY += more.lY;
        return state.lX == 100 && state.lY == 50;
      },
      2000))
      << "motion " << state.lX << ", " << state.lY;

  struct Case {
    int xButton;
    int index;
  };
  const Case cases[] = {{1, 0}, {3, 1}, {2, 2}, {8, 3}};
  for (const Case& c : cases) {
    auto down = [&] {
      window.inputSource().readMouse(&state);
      return (state.rgbButtons[c.index] & 0x80) != 0;
    };
    Xdotool("mousedown " + std::to_string(c.xButton));
    EXPECT_TRUE(QTest::qWaitFor(down, 2000)) << "X button " << c.xButton;
    Xdotool("mouseup " + std::to_string(c.xButton));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !down(); }, 2000)) << "X button " << c.xButton;
  }
}

TEST(DesktopHost, MessageBoxesFromOtherThreadsWaitForTheAnswer) {
  std::atomic<int> answer{0};
  std::thread caller([&] {
    answer = App().host()->messageBox("Device creation Error", "Fatal", MB_OK | MB_ICONERROR);
  });
  WithModalDialog([&] { EXPECT_TRUE(QTest::qWaitFor([&] { return answer.load() != 0; }, 5000)); },
                  [&](QWidget* modal) {
                    auto* box = qobject_cast<QMessageBox*>(modal);
                    ASSERT_NE(box, nullptr);
                    EXPECT_EQ(box->windowTitle(), "Fatal");
                    EXPECT_EQ(box->text(), "Device creation Error");
                    EXPECT_EQ(box->icon(), QMessageBox::Critical);
                    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
                    EXPECT_EQ(answer.load(), 0) << "the caller waits while the box is open";
                  });
  caller.join();
  EXPECT_EQ(answer.load(), IDOK);
}

TEST(DesktopHost, BuildProgressShowsInTheStatusBar) {
  struct Case {
    int done;
    int total;
    const char* text;
  };
  const Case cases[] = {
      {0, 1024, "Building the terrain: 0 of 1024 leaves built"},
      {1023, 1024, "Building the terrain: 1023 of 1024 leaves built"},
      {1024, 1024, "Ready"},
  };
  for (const Case& c : cases) {
    // Reported from another thread, many times over as a builder does; the last report
    // is what stays.
    std::thread builder([&] {
      for (int done = 0; done <= c.done; ++done) App().host()->reportProgress(done, c.total);
    });
    builder.join();
    EXPECT_TRUE(QTest::qWaitFor([&] { return Frame().messageText() == c.text; }, 2000))
        << c.text << " but shows " << Frame().messageText().toStdString();
  }
}

TEST(DesktopHost, NoticesFromTheRenderThreadShowInTheStatusBar) {
  const std::string notice = "screen capture not saved to screen-capture.bmp: Is a directory";
  ::testing::internal::CaptureStderr();
  std::thread([&] { App().host()->reportStatus(notice); }).join();
  EXPECT_TRUE(QTest::qWaitFor([&] { return Frame().messageText().toStdString() == notice; }, 2000))
      << Frame().messageText().toStdString();
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "VantraTest: " + notice + "\n");
}

TEST(OpenTerrain, OffersTheModelKindsAndKeepsTheTerrainOnARefusal) {
  WithModalDialog([] { Frame().findChild<QAction*>("fileOpenTerrain")->trigger(); },
                  [](QWidget* modal) {
                    auto* dialog = qobject_cast<QFileDialog*>(modal);
                    ASSERT_NE(dialog, nullptr) << modal->metaObject()->className();
                    EXPECT_TRUE(dialog->nameFilters().first().contains("*.hgt"));
                  },
                  QDialog::Rejected);

  const std::filesystem::path dir = std::filesystem::current_path();
  std::ofstream(dir / "broken.tif") << "no raster here\n";
  terrain::TerrainRequest request;
  request.file = (dir / "broken.tif").string();
  WithModalDialog([&] { EXPECT_FALSE(App().openTerrain(request)); },
                  [](QWidget* modal) {
                    auto* box = qobject_cast<QMessageBox*>(modal);
                    ASSERT_NE(box, nullptr);
                    EXPECT_TRUE(box->text().contains("broken.tif")) << box->text().toStdString();
                  });
  EXPECT_EQ(App().terrainModel(), nullptr) << "the terrain there was stays";

  elevation::TestRaster raster;
  raster.columns = 129;
  raster.rows = 129;
  raster.value = [](int c, int r) { return (c - 64) * (r - 64) * 0.1; };
  ASSERT_TRUE(elevation::WriteRaster(raster, (dir / "saddle.png").string(), "PNG"));
  request.file = (dir / "saddle.png").string();
  ASSERT_TRUE(App().openTerrain(request));
  ASSERT_NE(App().terrainModel(), nullptr);
  EXPECT_EQ(App().terrainModel()->elevation().facts().source, request.file);
  ASSERT_TRUE(EngineRunning());
  EXPECT_EQ(Renderer().title(), "3D App");
}

// Last: ends the event loop and runs the exit path.
TEST(ExitPath, AnswersWaitingThreadsAndJoinsTheRenderThread) {
  ASSERT_TRUE(EngineRunning());
  CVantraTestApp::PostQuit(0);
  EXPECT_EQ(App().exec(), 0);
  // A request made when no event loop will serve it again must not block the exit.
  std::atomic<int> answer{0};
  std::thread caller([&] { answer = App().host()->messageBox("error", "late", MB_OK); });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(App().exitInstance(0), 0);
  caller.join();
  EXPECT_EQ(answer.load(), IDOK);
  EXPECT_EQ(App().engine(), nullptr);
  EXPECT_EQ(App().mainFrame(), nullptr);
}

}  // namespace vantra::shell

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  char pattern[] = "/tmp/vantra-desktop-XXXXXX";
  const std::filesystem::path dir = mkdtemp(pattern);
  for (const char* name : {"heightMap.bmp", "textureMap.bmp", "detailMap.bmp"})
    std::filesystem::copy_file(std::filesystem::path(VANTRA_BIN_DIR) / name, dir / name);
  if (chdir(dir.c_str()) != 0) return 1;
  setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  setenv("LP_PERF", "no_rast_linear", 0);

  int result = 1;
  {
    vantra::shell::CVantraTestApp app(argc, argv);
    if (app.initInstance()) result = RUN_ALL_TESTS();
    app.exitInstance(0);
  }
  std::filesystem::remove_all(dir);
  return result;
}
