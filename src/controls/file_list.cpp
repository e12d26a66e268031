#include "controls/file_list.h"

#include "platform/folder_watch.h"

#include "controls/file_list_look.h"
#include "controls/fit_label.h"
#include "controls/input_codes.h"

#include <QApplication>
#include <QDir>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyledItemDelegate>
#include <QTimer>

#include <utility>

namespace {

// Rows as wide as the view: a long name is shortened (elideFileName: its end and its type stay visible)
// instead of growing a horizontal scroll bar, and the full name is in the tool tip.
class RowDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setWidth(1);
    return size;
  }
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyleOptionViewItem row = option;
    initStyleOption(&row, index);
    row.text = shownText(row);
    style(row)->drawControl(QStyle::CE_ItemViewItem, &row, painter, row.widget);
  }
  void initStyle(QStyleOptionViewItem* row, const QModelIndex& index) const { initStyleOption(row, index); }
  // The text of an initialised row as it is drawn in the row's rectangle.
  static QString shownText(const QStyleOptionViewItem& row) {
    return elideFileName(row.text, row.fontMetrics, itemTextRoom(row));
  }

 private:
  static QStyle* style(const QStyleOptionViewItem& row) {
    return row.widget ? row.widget->style() : QApplication::style();
  }
};

}  // namespace

FileList::FileList(QWidget* parent) : QListView(parent), model_(new FileListModel(this)) {
  setModel(model_);
  setItemDelegate(new RowDelegate(this));
  setUniformItemSizes(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setDragEnabled(false);
  applyNavigationLook(this);
  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &FileList::followSelection);
  // Files that appear or vanish show at once; the selected one stays selected, and no Click comes of it.
  watch_ = new FolderWatch(this);
  connect(watch_, &FolderWatch::changed, this, &FileList::refresh);

  if (const auto start = cleanFolderPath(QDir::currentPath()); start && relist(*start, QString()))
    path_ = *start;
  // The working folder is watched only if it is still the list's folder when the event loop comes round:
  // the first watch of a folder costs the kernel a walk over what it caches of it.
  watchPending_ = true;
  QTimer::singleShot(0, this, [this] {
    if (std::exchange(watchPending_, false)) watch_->watch(path_);
  });
}

QString FileList::Path() const { return QDir::toNativeSeparators(path_); }

bool FileList::setPath(const QString& path) {
  const auto clean = cleanFolderPath(path);
  if (!clean) return false;
  const bool same = *clean == path_;
  if (!relist(*clean, same ? FileName() : QString())) return false;
  if (std::exchange(watchPending_, false) || !same) watch_->watch(*clean);
  if (!same) path_ = *clean;
  return true;
}

void FileList::setPattern(const QString& pattern) {
  pattern_ = pattern;
  matcher_ = FilePattern(pattern);
  // A folder that has gone since it was listed shows as empty rather than with its stale names.
  if (!relist(path_, QString())) showNames(QStringList(), QString());
}

void FileList::refresh() {
  const QString keep = FileName();
  if (!relist(path_, keep)) showNames(QStringList(), QString());
}

int FileList::ListCount() const { return model_->rowCount(); }

QString FileList::FileName() const { return model_->name(index_); }

QString FileList::List(int index) const { return model_->name(index); }

QString FileList::shownName(int index) const {
  if (index < 0 || index >= ListCount()) return QString();
  QStyleOptionViewItem row;
  initViewItemOption(&row);
  const QModelIndex at = model_->index(index);
  row.rect = visualRect(at);
  if (row.rect.isEmpty()) row.rect = QRect(0, 0, viewport()->width(), sizeHintForRow(index));
  static_cast<RowDelegate*>(itemDelegate())->initStyle(&row, at);
  return RowDelegate::shownText(row);
}

void FileList::setListIndex(int index) {
  if (index < -1 || index >= ListCount() || index == index_) return;
  if (index == -1) {
    selectionModel()->clear();  // followSelection() sets index_; no Click for "nothing selected"
    index_ = -1;
    return;
  }
  const QModelIndex row = model_->index(index);
  scrollTo(row);
  // The view selects the new current row (see selectionCommand), which raises Click() in followSelection().
  setCurrentIndex(row);
}

bool FileList::relist(const QString& folder, const QString& keepName) {
  auto names = readFolder(folder, EntryKind::Files, matcher_);
  if (!names) return false;
  showNames(std::move(*names), keepName);
  return true;
}

void FileList::showNames(QStringList names, const QString& keepName) {
  const int keep = keepName.isEmpty() ? -1 : int(names.indexOf(keepName));
  relisting_ = true;
  model_->setNames(std::move(names));
  index_ = -1;
  if (keep >= 0) {
    const QModelIndex row = model_->index(keep);
    selectionModel()->setCurrentIndex(row, QItemSelectionModel::ClearAndSelect);
    index_ = keep;
    scrollTo(row);
  }
  relisting_ = false;
}

void FileList::followSelection() {
  if (relisting_) return;
  const QModelIndexList rows = selectionModel()->selectedRows();
  const int row = rows.isEmpty() ? -1 : rows.first().row();
  if (row == index_) return;
  index_ = row;
  if (row >= 0) emit Click();
}

QItemSelectionModel::SelectionFlags FileList::selectionCommand(const QModelIndex& index,
                                                               const QEvent*) const {
  // One entry is always selected once chosen: Ctrl+click or Ctrl+arrow must not leave the list without one,
  // and a click on the empty space below the entries keeps the selection.
  if (!index.isValid()) return QItemSelectionModel::NoUpdate;
  return QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
}

void FileList::keyPressEvent(QKeyEvent* event) {
  // With nothing selected the view may still keep a current row (it makes one when it gets the focus); a key
  // that lands on that row would select nothing new.
  if (index_ < 0 && currentIndex().isValid())
    selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
  QListView::keyPressEvent(event);
}

QModelIndex FileList::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
  // From no selection, End goes to the last entry and every other move to the first.
  if (index_ < 0 && ListCount() > 0) {
    switch (action) {
      case MoveEnd:
        return model_->index(ListCount() - 1);
      case MoveLeft:
      case MoveRight:
        break;
      default:
        return model_->index(0);
    }
  }
  return QListView::moveCursor(action, modifiers);
}

void FileList::emitMouseDown(const QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  emit MouseDown(buttonCode(event->button()), shiftCode(event->modifiers()), at.x(), at.y());
}

void FileList::mousePressEvent(QMouseEvent* event) {
  // Only the left button selects: a right press opens a menu for the entry already selected.
  if (event->button() == Qt::LeftButton)
    QListView::mousePressEvent(event);
  else
    event->accept();
  emitMouseDown(event);
}

void FileList::mouseMoveEvent(QMouseEvent* event) {
  if (event->buttons() & Qt::LeftButton) QListView::mouseMoveEvent(event);
}

void FileList::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton)
    QListView::mouseReleaseEvent(event);
  else
    event->accept();
}

void FileList::mouseDoubleClickEvent(QMouseEvent* event) {
  const QModelIndex row = indexAt(event->position().toPoint());
  if (event->button() != Qt::LeftButton || !row.isValid()) {
    // The second press of a double click is still a press.
    mousePressEvent(event);
    return;
  }
  event->accept();
  setListIndex(row.row());
  emitMouseDown(event);
  // The Click handler may have listed another folder; only a double click on the entry still there counts.
  if (index_ == row.row()) emit DblClick();
}
