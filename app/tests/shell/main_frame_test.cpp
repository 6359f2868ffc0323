// The main frame on its own, on the test's X display: documents that must not be read whole,
// and recent-file names shown as they are.
#include "shell/main_frame.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <thread>

#include "modal_dialog.h"
#include "shell/recent_file_list.h"

namespace vantra::shell {

namespace {

long PeakResidentKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// A file of size bytes that takes no disk space.
QString SparseFile(const QTemporaryDir& dir, const char* name, qint64 size) {
  const QString path = dir.filePath(name);
  QFile file(path);
  file.open(QIODevice::WriteOnly);
  file.resize(size);
  return path;
}

}  // namespace

TEST(MainFrameDocuments, RefusesWhatIsLargerThanTheLimit) {
  RecentFileList recent(4);
  CMainFrame frame(recent);
  QTemporaryDir dir;
  struct Case {
    QString path;
    const char* why;
  };
  const Case cases[] = {
      {SparseFile(dir, "big.txt", CMainFrame::kMaxDocumentBytes + 1), "one byte over the limit"},
  };
  const long peakBefore = PeakResidentKiB();
  for (const Case& c : cases) {
    bool opened = true;
    WithModalDialog([&] { opened = frame.openDocument(c.path); },
                    [&](QWidget* modal) {
                      auto* box = qobject_cast<QMessageBox*>(modal);
                      ASSERT_NE(box, nullptr) << c.why;
                      EXPECT_TRUE(box->text().contains("larger than 64 MiB")) << c.why;
                    });
    EXPECT_FALSE(opened) << c.why;
    EXPECT_EQ(frame.documentTitle(), "Untitled") << c.why;
  }
  EXPECT_TRUE(recent.files().isEmpty());
  // Reading stops one byte past the limit: at most one such buffer and its copy.
  EXPECT_LT(PeakResidentKiB() - peakBefore, 2 * (CMainFrame::kMaxDocumentBytes >> 10) + 16384);

  EXPECT_TRUE(frame.openDocument(SparseFile(dir, "fits.txt", CMainFrame::kMaxDocumentBytes)))
      << "a document of exactly the limit opens";
}

TEST(MainFrameDocuments, RefusesWhatIsNoRegularFileAtOnceNamingFileAndReason) {
  RecentFileList recent(4);
  CMainFrame frame(recent);
  QTemporaryDir dir;
  const QString fifo = dir.filePath("fifo.txt");
  ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  struct Case {
    QString path;
    QString reason;
  };
  const Case cases[] = {
      {fifo, "is not a regular file"},
      {dir.path(), "is a directory"},
      {"/dev/zero", "is not a regular file"},
  };
  for (const Case& c : cases) {
    // Should the frame wait for a writer, one comes after five seconds and the empty FIFO
    // would open as a document, failing the test instead of hanging it.
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
      for (int i = 0; i < 50 && !done; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      if (!done) close(open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK));
    });
    QString text;
    bool opened = true;
    WithModalDialog([&] { opened = frame.openDocument(c.path); },
                    [&](QWidget* modal) {
                      if (auto* box = qobject_cast<QMessageBox*>(modal)) text = box->text();
                    });
    done = true;
    watchdog.join();
    EXPECT_FALSE(opened);
    EXPECT_EQ(text, "Failed to open document.\n\n" + c.path + ": " + c.reason);
  }
  EXPECT_TRUE(recent.files().isEmpty());
}

TEST(MainFrameDocuments, ShowsAmpersandsInRecentFileNames) {
  RecentFileList recent(4);
  CMainFrame frame(recent);
  QTemporaryDir dir;
  const QString path = dir.filePath("salt & pepper.txt");
  QFile(path).open(QIODevice::WriteOnly);
  ASSERT_TRUE(frame.openDocument(path));
  auto* entry = frame.findChild<QAction*>("fileMruFile1");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->text(), "&1 " + dir.path() + "/salt && pepper.txt");
}

}  // namespace vantra::shell

int main(int argc, char** argv) {
  // Recent files are written to the settings: keep them away from the user's.
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
  QApplication app(argc, argv);
  QApplication::setApplicationName("VantraTestMainFrameTests");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
