#pragma once

#include <QAbstractListModel>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// A ";"-separated list of file name wildcards ("*.bmp;*.jpg"), matched case-insensitively against a whole
// name. "*" and "*.*" match every name, also one without a dot. The common "*.ext" form is matched without
// a regular expression: a folder of 100,000 names is filtered in a few milliseconds.
class FilePattern {
 public:
  FilePattern() = default;
  explicit FilePattern(const QString& pattern);

  bool matches(const QString& name) const;
  bool matchesEverything() const { return everything_; }

 private:
  bool everything_ = false;
  QStringList suffixes_;                    // ".bmp" for "*.bmp"
  std::vector<QRegularExpression> others_;  // any other wildcard
};

enum class EntryKind { Files, Folders };

// `path` as an absolute, clean folder path with "/" separators and no trailing one except for a root; empty
// optional for an empty or relative path, or one with a NUL character (which would cut it short on its way
// to the file system).
std::optional<QString> cleanFolderPath(const QString& path);

// Names of the visible (not hidden) entries of one kind in `folder`, sorted case-insensitively; links count
// as what they point to, dangling links and devices are left out. Empty optional when the folder cannot be
// read.
std::optional<QStringList> readFolder(const QString& folder, EntryKind kind,
                                      const FilePattern& pattern = FilePattern(QStringLiteral("*")));

// Sorts names the way both navigation lists show them: case-insensitive and numbers by their value, ties
// broken case-sensitively so the order does not depend on the order the file system returned them in.
void sortNames(QStringList& names);
// Orders names as people read them: numbers by their value ("img_9999" before "img_10000"), the rest by
// character. The caller folds case first where case is not to count.
int naturalCompare(QStringView a, QStringView b);

// The rows of FileList: one file name each. Owned by the FileList.
class FileListModel : public QAbstractListModel {
  Q_OBJECT
 public:
  using QAbstractListModel::QAbstractListModel;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  const QStringList& names() const { return names_; }
  QString name(int row) const;
  void setNames(QStringList names);  // one model reset, whatever the count

 private:
  QStringList names_;
};
