#pragma once

// A walk over every element of a pipeline, for the media control's looks inside it.

#include "media/gst_ptr.h"

#include <gst/gst.h>

namespace mmcontrol {

// Calls f for every element inside the pipeline, at any depth, until it returns true; whether one did.
template <typename F>
bool anyElement(GstElement* pipeline, F f) {
  bool found = false;
  const OwnedBy<GstIterator, gst_iterator_free> elements(gst_bin_iterate_recurse(GST_BIN(pipeline)));
  GValue item = G_VALUE_INIT;
  for (bool more = true; more && !found;) {
    switch (gst_iterator_next(elements.get(), &item)) {
      case GST_ITERATOR_OK:
        found = f(GST_ELEMENT(g_value_get_object(&item)));
        g_value_reset(&item);
        break;
      case GST_ITERATOR_RESYNC:
        gst_iterator_resync(elements.get());
        break;
      default:
        more = false;
    }
  }
  g_value_unset(&item);
  return found;
}

}  // namespace mmcontrol
