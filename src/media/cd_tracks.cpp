// The audio CD: the drive libcdio finds, the tracks of the disc's table of contents, and the disc-wide times
// of MMControl, which count from the start of track 1.

#include "media/cd_tracks.h"

#include "media/gst_ptr.h"
#include "media/mmcontrol.h"
#include "media/mmcontrol_session.h"

#include <QByteArray>

#include <cdio/cdio.h>
#include <gst/gst.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace mmcontrol {

// The drive to use: the one the user named, else the one libcdio finds (which may probe the hardware,
// so this runs on GStreamer's threads, never on the UI thread). Empty when there is none.
QByteArray resolveCdDevice(const QByteArray& device) {
  if (!device.isEmpty()) return device;
  QByteArray found;
  if (const OwnedBy<char, cdio_free> name(cdio_get_default_device(nullptr)); name) found = name.get();
  return found;
}

// The audio tracks of the disc's table of contents: start and stop of each, ms; empty if any is unusable.
std::vector<std::pair<qint64, qint64>> cdTracks(GstToc* toc) {
  std::vector<std::pair<qint64, qint64>> tracks;
  for (GList* l = toc ? gst_toc_get_entries(toc) : nullptr; l; l = l->next) {
    auto* entry = static_cast<GstTocEntry*>(l->data);
    if (gst_toc_entry_get_entry_type(entry) != GST_TOC_ENTRY_TYPE_TRACK) continue;
    gint64 start = -1, stop = -1;
    // Tracks must be known, in order and without overlap, or the disc-wide times would be nonsense.
    if (!gst_toc_entry_get_start_stop_times(entry, &start, &stop) || start < 0 || stop < start ||
        (!tracks.empty() && start / GST_MSECOND < tracks.back().second)) {
      tracks.clear();
      break;
    }
    tracks.emplace_back(start / GST_MSECOND, stop / GST_MSECOND);
  }
  return tracks;
}

}  // namespace mmcontrol

qint64 MMControl::trackOffsetMs(int track) const {
  const auto& tracks = session_->tracks;
  if (tracks.empty()) return 0;
  track = std::clamp(track, 1, int(tracks.size()));
  return tracks[track - 1].first - tracks.front().first;
}

int MMControl::trackAt(qint64 ms) const {
  const auto& tracks = session_->tracks;
  int track = 1;
  for (int t = 2; t <= int(tracks.size()); ++t)
    if (trackOffsetMs(t) <= ms) track = t;
  return track;
}
