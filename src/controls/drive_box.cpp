#include "controls/drive_box.h"

#include "controls/file_list_look.h"
#include "controls/file_list_model.h"
#include "platform/file_names.h"
#include "platform/folder_watch.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QStorageInfo>
#include <QStyle>

#include <algorithm>

namespace {

constexpr int kRootRole = Qt::UserRole;
constexpr int kStrayRole = Qt::UserRole + 1;  // an entry for a drive that is not mounted (any more)

#ifdef Q_OS_WIN
constexpr Qt::CaseSensitivity kPathCase = Qt::CaseInsensitive;
#else
constexpr Qt::CaseSensitivity kPathCase = Qt::CaseSensitive;
#endif

// Kernel and container plumbing that is mounted like a volume but holds nothing to browse.
bool isPlumbing(const QString& root, const QString& type) {
#ifdef Q_OS_UNIX
  static const QSet<QString> kTypes = {QStringLiteral("proc"),        QStringLiteral("sysfs"),
                                       QStringLiteral("devtmpfs"),    QStringLiteral("devpts"),
                                       QStringLiteral("tmpfs"),       QStringLiteral("ramfs"),
                                       QStringLiteral("cgroup"),      QStringLiteral("cgroup2"),
                                       QStringLiteral("securityfs"),  QStringLiteral("pstore"),
                                       QStringLiteral("bpf"),         QStringLiteral("tracefs"),
                                       QStringLiteral("debugfs"),     QStringLiteral("mqueue"),
                                       QStringLiteral("hugetlbfs"),   QStringLiteral("fusectl"),
                                       QStringLiteral("configfs"),    QStringLiteral("autofs"),
                                       QStringLiteral("binfmt_misc"), QStringLiteral("efivarfs"),
                                       QStringLiteral("rpc_pipefs"),  QStringLiteral("nsfs"),
                                       QStringLiteral("selinuxfs"),   QStringLiteral("nfsd"),
                                       QStringLiteral("squashfs"),    QStringLiteral("devfs"),
                                       QStringLiteral("fuse.portal"), QStringLiteral("fuse.gvfsd-fuse"),
                                       QStringLiteral("fuse.lxcfs"),  QStringLiteral("nullfs")};
  if (kTypes.contains(type)) return true;
  // A container's own root is an overlay; any other overlay mount is a copy of something listed already.
  if (type == QLatin1String("overlay") && root != QLatin1String("/")) return true;
  static const QStringList kPlaces = {QStringLiteral("/proc"),          QStringLiteral("/sys"),
                                      QStringLiteral("/dev"),           QStringLiteral("/run"),
                                      QStringLiteral("/snap"),          QStringLiteral("/var/lib/docker"),
                                      QStringLiteral("/System/Volumes")};
  for (const QString& place : kPlaces) {
    if (root == place || root.startsWith(place + QLatin1Char('/'))) {
      // Removable media are mounted under /run/media/<user> on some systems.
      return !root.startsWith(QLatin1String("/run/media/"));
    }
  }
#else
  Q_UNUSED(root);
  Q_UNUSED(type);
#endif
  return false;
}

bool isPrefixRoot(const QString& root, const QString& path) {
  if (path.compare(root, kPathCase) == 0) return true;
  const QString withSlash = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
  return path.startsWith(withSlash, kPathCase);
}

QString entryText(const DriveBox::Volume& volume) {
  const QString root = QDir::toNativeSeparators(volume.root);
  return volume.name.isEmpty() ? root : root + QStringLiteral(" [") + volume.name + QLatin1Char(']');
}

}  // namespace

DriveBox::DriveBox(QWidget* parent) : QComboBox(parent) {
  applyNavigationLook(this);
  setIconSize(QSize(16, 16));
  fill(browsableVolumes());
  if (const auto here = cleanFolderPath(QDir::currentPath())) {
    const QString root = volumeHolding(*here);
    if (!root.isEmpty()) select(root);
  }
  if (drive_.isEmpty() && count() > 0) select(itemData(0, kRootRole).toString());
  connect(this, &QComboBox::currentIndexChanged, this, &DriveBox::followIndex);
  connect(new MountWatch(this), &MountWatch::changed, this, &DriveBox::refresh);
}

void DriveBox::showPopup() {
  refresh();
  QComboBox::showPopup();
}

QList<DriveBox::Volume> DriveBox::browsableVolumes() {
  const QString homeRoot = QStorageInfo(QDir::homePath()).rootPath();
  QList<Volume> volumes;
  QSet<QString> seen;
  const auto add = [&](const QStorageInfo& info) {
    const QString root = QDir::fromNativeSeparators(info.rootPath());
    if (root.isEmpty() || seen.contains(root)) return;
    seen.insert(root);
    volumes.append({root, info.name(), QString::fromLatin1(info.fileSystemType())});
  };
  for (const QStorageInfo& info : QStorageInfo::mountedVolumes()) {
    if (!info.isValid()) continue;
    const QString root = QDir::fromNativeSeparators(info.rootPath());
    if (root != homeRoot) {
      if (!info.isReady() || isPlumbing(root, QString::fromLatin1(info.fileSystemType()))) continue;
      // Containers bind single files (hosts, resolv.conf) as mounts.
      if (!QFileInfo(root).isDir()) continue;
    }
    add(info);
  }
  if (!homeRoot.isEmpty()) add(QStorageInfo(QDir::homePath()));
  if (seen.isEmpty()) add(QStorageInfo::root());
  std::sort(volumes.begin(), volumes.end(),
            [](const Volume& a, const Volume& b) { return a.root.compare(b.root, kPathCase) < 0; });
  return volumes;
}

QString DriveBox::Drive() const { return QDir::toNativeSeparators(drive_); }

void DriveBox::setDrive(const QString& drive) {
  if (drive.isEmpty()) return;
  const auto clean = cleanFolderPath(drive);
  if (!clean) {
    select(drive);  // not even a path: a stray entry that no folder change accepts
    return;
  }
  if (findRoot(*clean) >= 0 || !filenames::stat(*clean)) {
    select(*clean);
    return;
  }
  const QString root = volumeHolding(*clean);
  select(root.isEmpty() ? *clean : root);
}

void DriveBox::refresh() {
  const int current = drive_.isEmpty() ? -1 : findRoot(drive_);
  const bool mounted = current >= 0 && !itemData(current, kStrayRole).toBool();
  fill(browsableVolumes());
  if (drive_.isEmpty()) return;
  if (mounted && findRoot(drive_) < 0) {
    leaveUnmountedDrive();
    return;
  }
  select(drive_);
}

void DriveBox::leaveUnmountedDrive() {
  // The folder shown is kept where it is still there (a folder list already fallen back to the mount point,
  // or one that had gone up out of the volume); else the nearest folder above it that is.
  QString folder = folder_.isEmpty() ? drive_ : folder_;
  // Bounded: every step drops one name, and a root is its own parent.
  for (int guard = 0; guard < 4096 && !filenames::isDir(folder); ++guard) {
    const QString parent = QFileInfo(folder).path();
    if (parent == folder || parent.isEmpty()) break;
    folder = parent;
  }
  const QString root = filenames::isDir(folder) ? volumeHolding(folder) : QString();
  if (root.isEmpty()) {
    select(drive_);  // nowhere to go: the drive stays, as an entry of its own
    return;
  }
  folders_.insert(root, folder);
  select(root);
}

void DriveBox::fill(const QList<Volume>& volumes) {
  updating_ = true;
  clear();
  for (const Volume& volume : volumes) {
    QStyle::StandardPixmap icon = QStyle::SP_DriveHDIcon;
    if (volume.fileSystemType == QLatin1String("iso9660") || volume.fileSystemType == QLatin1String("udf")) {
      icon = QStyle::SP_DriveCDIcon;
    } else if (volume.fileSystemType.startsWith(QLatin1String("nfs")) ||
               volume.fileSystemType == QLatin1String("cifs") ||
               volume.fileSystemType == QLatin1String("smb3") ||
               volume.fileSystemType.startsWith(QLatin1String("fuse.sshfs"))) {
      icon = QStyle::SP_DriveNetIcon;
    }
    addItem(style()->standardIcon(icon, nullptr, this), entryText(volume), volume.root);
  }
  updating_ = false;
}

int DriveBox::findRoot(const QString& root) const {
  for (int i = 0; i < count(); ++i) {
    if (itemData(i, kRootRole).toString().compare(root, kPathCase) == 0) return i;
  }
  return -1;
}

QString DriveBox::volumeHolding(const QString& path) const {
  QString best;
  for (int i = 0; i < count(); ++i) {
    if (itemData(i, kStrayRole).toBool()) continue;
    const QString root = itemData(i, kRootRole).toString();
    if (root.size() > best.size() && isPrefixRoot(root, path)) best = root;
  }
  return best;
}

void DriveBox::select(const QString& root) {
  updating_ = true;
  int index = findRoot(root);
  if (index < 0 || !itemData(index, kStrayRole).toBool()) {
    dropStrayEntry();
    index = findRoot(root);
  }
  if (index < 0) {
    addItem(style()->standardIcon(QStyle::SP_DriveFDIcon, nullptr, this), QDir::toNativeSeparators(root),
            root);
    index = count() - 1;
    setItemData(index, true, kStrayRole);
  }
  setCurrentIndex(index);
  updating_ = false;
  const QString chosen = itemData(index, kRootRole).toString();
  if (chosen == drive_) return;
  drive_ = chosen;
  emit Change();
}

void DriveBox::dropStrayEntry() {
  for (int i = count() - 1; i >= 0; --i) {
    if (itemData(i, kStrayRole).toBool()) removeItem(i);
  }
}

void DriveBox::followIndex() {
  if (updating_ || currentIndex() < 0) return;
  const QString root = itemData(currentIndex(), kRootRole).toString();
  if (root == drive_) return;
  updating_ = true;
  if (!itemData(currentIndex(), kStrayRole).toBool()) dropStrayEntry();  // after the current entry: no shift
  updating_ = false;
  drive_ = root;
  emit Change();
}

QString DriveBox::CurrentFolder(const QString& drive) const {
  const QString root = QDir::fromNativeSeparators(drive);
  const int index = findRoot(root);
  // A drive that is not a known volume has no folder of its own: opening it must fail as it is.
  if (index < 0 || itemData(index, kStrayRole).toBool()) return drive;
  const QString folder = folders_.value(root);
  if (!folder.isEmpty() && filenames::isDir(folder)) return QDir::toNativeSeparators(folder);
  return drive;
}

void DriveBox::rememberFolder(const QString& folder) {
  const QString path = QDir::fromNativeSeparators(folder);
  folders_.insert(volumeHolding(path), path);
  folder_ = path;
}
