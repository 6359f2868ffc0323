#include "shell/recent_file_list.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace vantra::shell {

namespace {

const char kSection[] = "Recent File List";

QString EntryName(int index) { return QStringLiteral("File%1").arg(index + 1); }

}  // namespace

RecentFileList::RecentFileList(int size) : _size(size) {}

void RecentFileList::add(const QString& path) {
  const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
  _files.removeAll(absolute);
  _files.prepend(absolute);
  while (_files.size() > _size) _files.removeLast();
}

void RecentFileList::remove(int index) {
  if (index >= 0 && index < _files.size()) _files.removeAt(index);
}

void RecentFileList::readList(QSettings& settings) {
  _files.clear();
  settings.beginGroup(kSection);
  for (int i = 0; i < _size; ++i) {
    const QString path = settings.value(EntryName(i)).toString();
    if (!path.isEmpty() && !_files.contains(path)) _files.append(path);
  }
  settings.endGroup();
}

void RecentFileList::writeList(QSettings& settings) const {
  settings.beginGroup(kSection);
  for (int i = 0; i < _size; ++i) {
    if (i < _files.size())
      settings.setValue(EntryName(i), _files[i]);
    else
      settings.remove(EntryName(i));
  }
  settings.endGroup();
}

}  // namespace vantra::shell
