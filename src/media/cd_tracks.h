#pragma once

// The audio CD for the media control: the drive to read and the disc's tracks.

#include <QByteArray>

#include <gst/gst.h>

#include <utility>
#include <vector>

namespace mmcontrol {

QByteArray resolveCdDevice(const QByteArray& device);
std::vector<std::pair<qint64, qint64>> cdTracks(GstToc* toc);

}  // namespace mmcontrol
