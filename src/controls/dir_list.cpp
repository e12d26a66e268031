#include "controls/dir_list.h"

#include "platform/folder_watch.h"

#include "controls/file_list_look.h"
#include "controls/file_list_model.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTimer>

#include <utility>

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kDepthRole = Qt::UserRole + 1;
constexpr int kIndentStep = 6;

// Indents each row by its depth in the tree. A deep path must not push the names out of a narrow list, so the
// indentation never takes more than a quarter of the row.
class IndentDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyleOptionViewItem shifted(option);
    shifted.rect.setLeft(option.rect.left() + indent(option, index));
    QStyledItemDelegate::paint(painter, shifted, index);
  }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setWidth(1);  // rows span the view; long names are elided rather than scrolled
    return size;
  }

 private:
  static int indent(const QStyleOptionViewItem& option, const QModelIndex& index) {
    return qMin(index.data(kDepthRole).toInt() * kIndentStep, option.rect.width() / 4);
  }
};

// The folders from the root down to `folder`, "/" separated.
QStringList chainTo(const QString& folder) {
  QStringList chain;
  QString at = folder;
  // Bounded: every step drops one name, and a root is its own parent.
  for (int guard = 0; guard < 4096; ++guard) {
    chain.prepend(at);
    if (QDir(at).isRoot()) break;
    const QString parent = QFileInfo(at).path();
    if (parent == at || parent.isEmpty()) break;
    at = parent;
  }
  return chain;
}

QString joinPath(const QString& folder, const QString& name) {
  return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

}  // namespace

DirList::DirList(QWidget* parent) : QListWidget(parent) {
  setItemDelegate(new IndentDelegate(this));
  setUniformItemSizes(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setTextElideMode(Qt::ElideRight);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setIconSize(QSize(16, 16));
  applyNavigationLook(this);
  watch_ = new FolderWatch(this);
  connect(watch_, &FolderWatch::changed, this, [this] { refresh(); });
  // The working folder is read only when nothing else was asked for by the time the list is shown or the
  // event loop comes round: a window that sets its folder at once reads one folder at start-up, not two.
  if (const auto start = cleanFolderPath(QDir::currentPath())) {
    path_ = *start;
    startPending_ = true;
    QTimer::singleShot(0, this, [this] { listStart(); });
  }
}

void DirList::listStart() {
  if (!std::exchange(startPending_, false)) return;
  if (!fill(path_)) path_.clear();
  watch_->watch(path_);
}

QString DirList::Path() const { return QDir::toNativeSeparators(path_); }

bool DirList::setPath(const QString& path) {
  const auto clean = cleanFolderPath(path);
  if (!clean || !fill(*clean)) return false;
  const bool started = std::exchange(startPending_, false);
  if (*clean == path_) {
    if (started) watch_->watch(path_);
    return true;
  }
  path_ = *clean;
  watch_->watch(path_);
  emit Change();
  return true;
}

bool DirList::refresh() {
  if (startPending_) {
    listStart();
    return !path_.isEmpty();
  }
  return fill(path_) || fallBack();
}

bool DirList::fallBack() {
  // Nothing above a list that never had a folder.
  if (path_.isEmpty()) return false;
  QString at = path_;
  // Bounded: every step drops one name, and a root is its own parent.
  for (int guard = 0; guard < 4096; ++guard) {
    const QString parent = QFileInfo(at).path();
    if (parent == at || parent.isEmpty()) return false;
    at = parent;
    if (!fill(at)) continue;
    path_ = at;
    watch_->watch(path_);
    emit Change();
    return true;
  }
  return false;
}

QString DirList::highlightedPath() const {
  const QListWidgetItem* item = currentItem();
  return item ? QDir::toNativeSeparators(item->data(kPathRole).toString()) : QString();
}

bool DirList::fill(const QString& folder) {
  const auto subfolders = readFolder(folder, EntryKind::Folders);
  if (!subfolders) return false;

  const QIcon rootIcon = style()->standardIcon(QStyle::SP_DriveHDIcon, nullptr, this);
  const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon, nullptr, this);
  const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon, nullptr, this);
  const QStringList chain = chainTo(folder);

  setUpdatesEnabled(false);
  clear();
  for (int depth = 0; depth < chain.size(); ++depth) {
    const QString& at = chain.at(depth);
    const bool root = depth == 0;
    auto* item = new QListWidgetItem(root ? rootIcon : openIcon,
                                     root ? QDir::toNativeSeparators(at) : QFileInfo(at).fileName());
    item->setData(kPathRole, at);
    item->setData(kDepthRole, depth);
    item->setToolTip(QDir::toNativeSeparators(at));
    addItem(item);
  }
  const int current = int(chain.size()) - 1;
  for (const QString& name : *subfolders) {
    auto* item = new QListWidgetItem(closedIcon, name);
    item->setData(kPathRole, joinPath(folder, name));
    item->setData(kDepthRole, int(chain.size()));
    addItem(item);
  }
  setCurrentRow(current);
  scrollToItem(item(current));
  setUpdatesEnabled(true);
  return true;
}

void DirList::open(const QString& folder) {
  if (folder.isEmpty()) return;
  // A subfolder that has gone (or cannot be read) since it was listed: show the folder as it is now, or the
  // nearest one above it that is still there.
  if (!setPath(folder)) refresh();
}

bool DirList::event(QEvent* event) {
  if (event->type() == QEvent::Show) listStart();
  // Enter opens the highlighted folder even where a shortcut or a default button would take it.
  if (event->type() == QEvent::ShortcutOverride) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      event->accept();
      return true;
    }
  }
  return QListWidget::event(event);
}

void DirList::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();
    open(highlightedPath());
    return;
  }
  QListWidget::keyPressEvent(event);
}

void DirList::mouseDoubleClickEvent(QMouseEvent* event) {
  const QListWidgetItem* item = itemAt(event->position().toPoint());
  if (event->button() != Qt::LeftButton || !item) {
    QListWidget::mouseDoubleClickEvent(event);
    return;
  }
  event->accept();
  open(item->data(kPathRole).toString());
}
