#include "platform/file_dialog.h"

#include "platform/file_names.h"

#include <QAbstractItemView>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QFileIconProvider>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QLocale>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QTreeView>

#include <algorithm>
#include <vector>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <sys/stat.h>
#endif

namespace {

// A folder of this many entries is not read further for left-out names, and this many are shown at most.
constexpr int kMostEntriesRead = 200000;
constexpr int kMostLeftOut = 1000;

struct LeftOut {
  QString name;  // decoded: stray bytes as U+DC80..U+DCFF
  QString path;
  qint64 size = 0;
  QDateTime modified;
};

bool matchesAny(QString name, const std::vector<QRegularExpression>& patterns) {
  if (patterns.empty()) return true;
  // Regular expressions take valid text only: a stray byte is matched as the replacement mark it shows as.
  for (QChar& c : name)
    if (c.isSurrogate()) c = QChar::ReplacementCharacter;
  for (const QRegularExpression& pattern : patterns)
    if (pattern.match(name).hasMatch()) return true;
  return false;
}

// The regular files of `folder` whose names are not valid UTF-8 and match one of the patterns; hidden ones
// are left out, as the dialog leaves them out.
std::vector<LeftOut> readLeftOut(const QString& folder, const std::vector<QRegularExpression>& patterns) {
  std::vector<LeftOut> found;
#ifdef Q_OS_UNIX
  DIR* dir = opendir(filenames::encode(folder).constData());
  if (!dir) return found;
  const int fd = dirfd(dir);
  int read = 0;
  while (const dirent* entry = readdir(dir)) {
    if (++read > kMostEntriesRead || int(found.size()) >= kMostLeftOut) break;
    const QByteArrayView bytes(entry->d_name);
    if (bytes.startsWith('.')) continue;
    LeftOut file;
    file.name = filenames::decode(bytes);
    // Only the names with a byte that is no UTF-8 (decoded to a lone surrogate): Qt lists the others.
    const bool stray = std::any_of(file.name.cbegin(), file.name.cend(),
                                   [](QChar c) { return c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF; });
    if (!stray || !matchesAny(file.name, patterns)) continue;
    struct stat status {};
    if (fstatat(fd, entry->d_name, &status, 0) != 0 || !S_ISREG(status.st_mode)) continue;
    file.path = folder + (folder.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/")) + file.name;
    file.size = status.st_size;
    file.modified = QDateTime::fromSecsSinceEpoch(status.st_mtime);
    found.push_back(std::move(file));
  }
  closedir(dir);
  std::sort(found.begin(), found.end(), [](const LeftOut& a, const LeftOut& b) {
    return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
  });
#else
  Q_UNUSED(folder);
  Q_UNUSED(patterns);
#endif
  return found;
}

// The patterns of a name filter such as "Glintview List (*.lst)".
std::vector<QRegularExpression> patternsOf(const QString& filter) {
  std::vector<QRegularExpression> patterns;
  const qsizetype open = filter.lastIndexOf(QLatin1Char('('));
  const qsizetype close = filter.lastIndexOf(QLatin1Char(')'));
  if (open < 0 || close < open) return patterns;
  for (const QString& wildcard :
       filter.mid(open + 1, close - open - 1).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
    if (wildcard == QLatin1String("*") || wildcard == QLatin1String("*.*")) return {};
    patterns.emplace_back(QRegularExpression::wildcardToRegularExpression(wildcard),
                          QRegularExpression::CaseInsensitiveOption);
  }
  return patterns;
}

}  // namespace

// The dialog's file system model with the left-out files of one folder added after that folder's own rows.
// Added rows have no source index; they carry the address of the list as their internal pointer.
class LeftOutNames final : public QIdentityProxyModel {
 public:
  using QIdentityProxyModel::QIdentityProxyModel;

  void showFolder(const QString& folder, const std::vector<QRegularExpression>& patterns) {
    if (!files_.empty()) {
      const int first = baseRows();
      beginRemoveRows(mapFromSource(folder_), first, first + int(files_.size()) - 1);
      files_.clear();
      endRemoveRows();
    }
    auto* model = static_cast<QFileSystemModel*>(sourceModel());
    folder_ = model->index(folder);
    if (!folder_.isValid()) return;
    std::vector<LeftOut> found = readLeftOut(folder, patterns);
    if (found.empty()) return;
    const int first = baseRows();
    beginInsertRows(mapFromSource(folder_), first, first + int(found.size()) - 1);
    files_ = std::move(found);
    endInsertRows();
  }

  bool isAdded(const QModelIndex& index) const {
    return index.isValid() && index.model() == this && index.internalPointer() == &files_;
  }
  const LeftOut* added(const QModelIndex& index) const {
    if (!isAdded(index)) return nullptr;
    const int at = index.row() - baseRows();
    return at >= 0 && at < int(files_.size()) ? &files_[at] : nullptr;
  }
  const LeftOut* named(const QString& name) const {
    for (const LeftOut& file : files_)
      if (file.name == name) return &file;
    return nullptr;
  }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override {
    if (isAdded(parent)) return 0;
    return QIdentityProxyModel::rowCount(parent) + (isFolder(parent) ? int(files_.size()) : 0);
  }
  int columnCount(const QModelIndex& parent = QModelIndex()) const override {
    return isAdded(parent) ? 0 : QIdentityProxyModel::columnCount(parent);
  }
  QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override {
    if (isFolder(parent)) {
      const int first = baseRows();
      if (row >= first && row < first + int(files_.size()) && column >= 0 && column < columnCount(parent))
        return createIndex(row, column, &files_);
    }
    return QIdentityProxyModel::index(row, column, parent);
  }
  QModelIndex parent(const QModelIndex& child) const override {
    if (isAdded(child)) return mapFromSource(folder_);
    return QIdentityProxyModel::parent(child);
  }
  QModelIndex sibling(int row, int column, const QModelIndex& at) const override {
    return index(row, column, parent(at));
  }
  bool hasChildren(const QModelIndex& parent = QModelIndex()) const override {
    return !isAdded(parent) && QIdentityProxyModel::hasChildren(parent);
  }
  bool canFetchMore(const QModelIndex& parent) const override {
    return !isAdded(parent) && QIdentityProxyModel::canFetchMore(parent);
  }
  void fetchMore(const QModelIndex& parent) override {
    if (!isAdded(parent)) QIdentityProxyModel::fetchMore(parent);
  }
  // Through this model's own rows (typing a name's start in a view finds the added ones too), not the
  // source's, which the identity proxy would ask.
  QModelIndexList match(const QModelIndex& start, int role, const QVariant& value, int hits,
                        Qt::MatchFlags flags) const override {
    return QAbstractItemModel::match(start, role, value, hits, flags);
  }
  QModelIndex mapToSource(const QModelIndex& proxy) const override {
    if (isAdded(proxy)) return QModelIndex();
    return QIdentityProxyModel::mapToSource(proxy);
  }
  Qt::ItemFlags flags(const QModelIndex& index) const override {
    if (isAdded(index)) return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    return QIdentityProxyModel::flags(index);
  }
  QVariant data(const QModelIndex& index, int role) const override {
    const LeftOut* file = added(index);
    if (!file) return QIdentityProxyModel::data(index, role);
    switch (role) {
      case QFileSystemModel::FilePathRole:
        return file->path;
      case QFileSystemModel::FileNameRole:
        return file->name;
      case Qt::DecorationRole:
        if (index.column() == 0) return icons_.icon(QAbstractFileIconProvider::File);
        return {};
      case Qt::TextAlignmentRole:
        if (index.column() == 1) return QVariant(Qt::AlignTrailing | Qt::AlignVCenter);
        return {};
      case Qt::DisplayRole:
      case Qt::EditRole:
        switch (index.column()) {
          case 0:
            return file->name;
          case 1:
            return QLocale().formattedDataSize(file->size);
          case 3:
            return QLocale().toString(file->modified, QLocale::ShortFormat);
          default:
            return {};
        }
      default:
        return {};
    }
  }

 private:
  bool isFolder(const QModelIndex& proxy) const {
    return folder_.isValid() && proxy.isValid() && !isAdded(proxy) && mapToSource(proxy) == folder_;
  }
  int baseRows() const { return sourceModel() ? sourceModel()->rowCount(folder_) : 0; }

  QPersistentModelIndex folder_;  // in the file system model
  std::vector<LeftOut> files_;
  QFileIconProvider icons_;
};

FileDialog::FileDialog(const QString& title, const QString& folder, const QString& filter, AcceptMode mode)
    : QFileDialog(nullptr, title, folder, filter) {
  setAcceptMode(mode);
  if (mode != AcceptOpen) return;
  // Qt's own dialog only: its views are what the added names go into.
  setOption(QFileDialog::DontUseNativeDialog, true);
  names_ = new LeftOutNames(this);
  setProxyModel(names_);
  auto* files = qobject_cast<QFileSystemModel*>(names_->sourceModel());
  auto refresh = [this] { names_->showFolder(directory().absolutePath(), patternsOf(selectedNameFilter())); };
  if (files) connect(files, &QFileSystemModel::rootPathChanged, this, refresh);
  connect(this, &QFileDialog::filterSelected, this, refresh);
  refresh();
  const QList<QAbstractItemView*> views{findChild<QListView*>(QStringLiteral("listView")),
                                        findChild<QTreeView*>(QStringLiteral("treeView"))};
  for (QAbstractItemView* view : views) {
    if (!view) continue;
    // After the dialog's own handling, which passes over rows without a file of the model.
    connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &FileDialog::followSelection);
    view->installEventFilter(this);
    view->viewport()->installEventFilter(this);
  }
  if (auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
    connect(name, &QLineEdit::textChanged, this, &FileDialog::followTyping);
}

QString FileDialog::typedLeftOut() const {
  const auto* name = names_ ? findChild<QLineEdit*>(QStringLiteral("fileNameEdit")) : nullptr;
  const LeftOut* file = name ? names_->named(name->text()) : nullptr;
  return file ? file->path : QString();
}

void FileDialog::followSelection() {
  auto* view = qobject_cast<QAbstractItemView*>(sender() ? sender()->parent() : nullptr);
  if (!view) return;
  const QModelIndexList rows = view->selectionModel()->selectedRows();
  if (rows.size() != 1 || !names_->isAdded(rows.first())) return;
  auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  if (name && !name->hasFocus()) name->setText(names_->added(rows.first())->name);
}

void FileDialog::followTyping() {
  // The dialog greys Open for a name its model does not know; an added file is one to open.
  if (typedLeftOut().isEmpty()) return;
  if (auto* buttons = findChild<QDialogButtonBox*>(QStringLiteral("buttonBox")))
    if (QPushButton* open = buttons->button(QDialogButtonBox::Open)) open->setEnabled(true);
}

bool FileDialog::eventFilter(QObject* watched, QEvent* event) {
  // A double click or Enter on an added file opens it: the dialog would take the row, which has no file of
  // its model, for the top of the file system and go there.
  const auto type = event->type();
  if (type != QEvent::MouseButtonDblClick && type != QEvent::KeyPress)
    return QFileDialog::eventFilter(watched, event);
  QAbstractItemView* view = qobject_cast<QAbstractItemView*>(watched);
  if (!view && watched->parent()) view = qobject_cast<QAbstractItemView*>(watched->parent());
  if (!view) return QFileDialog::eventFilter(watched, event);
  QModelIndex at;
  if (type == QEvent::MouseButtonDblClick) {
    if (watched != view->viewport()) return QFileDialog::eventFilter(watched, event);
    at = view->indexAt(static_cast<QMouseEvent*>(event)->position().toPoint());
  } else {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (watched != view || (key != Qt::Key_Return && key != Qt::Key_Enter))
      return QFileDialog::eventFilter(watched, event);
    at = view->currentIndex();
  }
  if (!names_->isAdded(at)) return QFileDialog::eventFilter(watched, event);
  if (const LeftOut* file = names_->added(at.sibling(at.row(), 0))) {
    chosen_ = file->path;
    QDialog::accept();
  }
  return true;
}

void FileDialog::accept() {
  chosen_ = typedLeftOut();
  if (!chosen_.isEmpty()) {
    QDialog::accept();
    return;
  }
  QFileDialog::accept();
}

QString FileDialog::chosenFile() const {
  if (!chosen_.isEmpty()) return chosen_;
  const QStringList files = selectedFiles();
  return files.isEmpty() ? QString() : files.constFirst();
}
