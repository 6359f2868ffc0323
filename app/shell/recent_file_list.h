// The most recently used documents, newest first, kept in the program's settings.
#pragma once

#include <QString>
#include <QStringList>

class QSettings;

namespace vantra::shell {

class RecentFileList {
 public:
  // size: how many entries the list keeps.
  explicit RecentFileList(int size);

  int size() const { return _size; }
  const QStringList& files() const { return _files; }

  // Puts path first (as an absolute path), moving it up if it is already listed and
  // dropping the oldest entry when the list is full.
  void add(const QString& path);
  void remove(int index);

  // The entries live in the group "Recent File List" as File1 (newest) to FileN; empty
  // and repeated entries are skipped when reading.
  void readList(QSettings& settings);
  void writeList(QSettings& settings) const;

 private:
  int _size;
  QStringList _files;
};

}  // namespace vantra::shell
