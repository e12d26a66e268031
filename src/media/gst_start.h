#pragma once

// GStreamer's start for the media control: once per process, with the disc source we read CDs through
// ranked first.

namespace mmcontrol {

void initGStreamer();

}  // namespace mmcontrol
