#include "shell/recent_file_list.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>

namespace vantra::shell {

namespace {

QStringList Absolute(const QStringList& names) {
  QStringList paths;
  for (const QString& name : names) paths << QDir::current().absoluteFilePath(name);
  return paths;
}

}  // namespace

TEST(RecentFileList, KeepsTheNewestFourWithoutRepeats) {
  struct Case {
    QStringList added;
    QStringList expected;
    const char* why;
  };
  const Case cases[] = {
      {{}, {}, "starts empty"},
      {{"a"}, {"a"}, "relative names become absolute"},
      {{"a", "b", "c"}, {"c", "b", "a"}, "newest first"},
      {{"a", "b", "a"}, {"a", "b"}, "a repeated entry moves to the top"},
      {{"a", "b", "c", "d", "e"}, {"e", "d", "c", "b"}, "the oldest falls off a full list"},
      {{"a", "b", "c", "d", "a"}, {"a", "d", "c", "b"}, "a full list keeps a re-added entry"},
      {{"dir/../a", "a"}, {"a"}, "the same file named two ways is one entry"},
  };
  for (const Case& c : cases) {
    RecentFileList list(4);
    for (const QString& name : c.added) list.add(name);
    EXPECT_EQ(list.files(), Absolute(c.expected)) << c.why;
  }
}

TEST(RecentFileList, SurvivesTheSettingsFile) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString file = dir.filePath("settings.ini");
  {
    RecentFileList list(4);
    for (const char* name : {"a", "b", "c", "d", "e"}) list.add(name);
    QSettings settings(file, QSettings::IniFormat);
    list.writeList(settings);
  }
  QSettings settings(file, QSettings::IniFormat);
  EXPECT_EQ(settings.value("Recent File List/File1").toString(), Absolute({"e"}).first())
      << "File1 is the newest entry";
  EXPECT_FALSE(settings.contains("Recent File List/File5")) << "only four entries are kept";

  RecentFileList read(4);
  read.readList(settings);
  EXPECT_EQ(read.files(), Absolute({"e", "d", "c", "b"}));

  // A shorter list clears the entries it no longer has.
  RecentFileList shorter(4);
  shorter.add("x");
  shorter.writeList(settings);
  read.readList(settings);
  EXPECT_EQ(read.files(), Absolute({"x"}));
}

TEST(RecentFileList, SkipsGapsAndRepeatsWhenReading) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QSettings settings(dir.filePath("settings.ini"), QSettings::IniFormat);
  settings.setValue("Recent File List/File1", "/p/one");
  settings.setValue("Recent File List/File2", "");
  settings.setValue("Recent File List/File3", "/p/one");
  settings.setValue("Recent File List/File4", "/p/two");
  settings.setValue("Recent File List/File5", "/p/three");
  RecentFileList list(4);
  list.readList(settings);
  EXPECT_EQ(list.files(), QStringList({"/p/one", "/p/two"}));
}

}  // namespace vantra::shell
