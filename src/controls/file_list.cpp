#include "controls/file_list.h"

#include "platform/folder_watch.h"

#include "controls/file_list_look.h"

#include <QDir>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyledItemDelegate>

namespace {

// Rows as wide as the view: a long name is shortened in the middle (its type stays visible) instead of
// growing a horizontal scroll bar, and the full name is in the tool tip.
class RowDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setWidth(1);
    return size;
  }
};

int buttonCode(Qt::MouseButton button) {
  switch (button) {
    case Qt::LeftButton:
      return 1;
    case Qt::RightButton:
      return 2;
    case Qt::MiddleButton:
      return 4;
    default:
      return 0;
  }
}

int shiftCode(Qt::KeyboardModifiers modifiers) {
  return (modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0) |
         (modifiers & Qt::AltModifier ? 4 : 0);
}

}  // namespace

FileList::FileList(QWidget* parent) : QListView(parent), m_model(new FileListModel(this)) {
  setModel(m_model);
  setItemDelegate(new RowDelegate(this));
  setUniformItemSizes(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setTextElideMode(Qt::ElideMiddle);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setDragEnabled(false);
  applyNavigationLook(this);
  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &FileList::followSelection);
  // Files that appear or vanish show at once; the selected one stays selected, and no Click comes of it.
  m_watch = new FolderWatch(this);
  connect(m_watch, &FolderWatch::changed, this, &FileList::Refresh);

  if (const auto start = cleanFolderPath(QDir::currentPath()); start && relist(*start, QString()))
    m_path = *start;
  m_watch->watch(m_path);
}

QString FileList::Path() const { return QDir::toNativeSeparators(m_path); }

bool FileList::setPath(const QString& path) {
  const auto clean = cleanFolderPath(path);
  if (!clean) return false;
  const bool same = *clean == m_path;
  if (!relist(*clean, same ? FileName() : QString())) return false;
  if (!same) {
    m_path = *clean;
    m_watch->watch(m_path);
    emit PathChange();
  }
  return true;
}

void FileList::setPattern(const QString& pattern) {
  const bool changed = pattern != m_pattern;
  m_pattern = pattern;
  m_matcher = FilePattern(pattern);
  // A folder that has gone since it was listed shows as empty rather than with its stale names.
  if (!relist(m_path, QString())) showNames(QStringList(), QString());
  if (changed) emit PatternChange();
}

void FileList::Refresh() {
  const QString keep = FileName();
  if (!relist(m_path, keep)) showNames(QStringList(), QString());
}

int FileList::ListCount() const { return m_model->rowCount(); }

QString FileList::FileName() const { return m_model->name(m_index); }

QString FileList::List(int index) const { return m_model->name(index); }

void FileList::setListIndex(int index) {
  if (index < -1 || index >= ListCount() || index == m_index) return;
  if (index == -1) {
    selectionModel()->clear();  // followSelection() sets m_index; no Click for "nothing selected"
    m_index = -1;
    return;
  }
  const QModelIndex row = m_model->index(index);
  scrollTo(row);
  // The view selects the new current row (see selectionCommand), which raises Click() in followSelection().
  setCurrentIndex(row);
}

bool FileList::relist(const QString& folder, const QString& keepName) {
  auto names = readFolder(folder, EntryKind::Files, m_matcher);
  if (!names) return false;
  showNames(std::move(*names), keepName);
  return true;
}

void FileList::showNames(QStringList names, const QString& keepName) {
  const int keep = keepName.isEmpty() ? -1 : int(names.indexOf(keepName));
  m_relisting = true;
  m_model->setNames(std::move(names));
  m_index = -1;
  if (keep >= 0) {
    const QModelIndex row = m_model->index(keep);
    selectionModel()->setCurrentIndex(row, QItemSelectionModel::ClearAndSelect);
    m_index = keep;
    scrollTo(row);
  }
  m_relisting = false;
}

void FileList::followSelection() {
  if (m_relisting) return;
  const QModelIndexList rows = selectionModel()->selectedRows();
  const int row = rows.isEmpty() ? -1 : rows.first().row();
  if (row == m_index) return;
  m_index = row;
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
  if (m_index < 0 && currentIndex().isValid())
    selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
  QListView::keyPressEvent(event);
}

QModelIndex FileList::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
  // From no selection, End goes to the last entry and every other move to the first.
  if (m_index < 0 && ListCount() > 0) {
    switch (action) {
      case MoveEnd:
        return m_model->index(ListCount() - 1);
      case MoveLeft:
      case MoveRight:
        break;
      default:
        return m_model->index(0);
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
  if (m_index == row.row()) emit DblClick();
}
