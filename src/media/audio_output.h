#pragma once

// The audio output a new pipeline plays on: the machine's first that opens, probed once, or a fake one
// that keeps time.

#include "media/gst_ptr.h"

#include <gst/gst.h>

#include <optional>
#include <string>

namespace mmcontrol {

GstRef<GstElement> makeAudioSink(const std::optional<std::string>& chosen, bool* audible);

}  // namespace mmcontrol
