// The audio output of the media control's pipelines: the machine's outputs probed once per process, and a
// fake output that keeps time when none opens.

#include "media/audio_output.h"

#include <gst/gst.h>

#include <mutex>
#include <optional>
#include <string>

namespace {

// The first audio output of the machine, best first, that opens; empty when none does. Probed once per
// process, on the worker: autoaudiosink would probe every output again for each medium, and each failing
// one writes its complaints to stderr each time.
const std::string& workingAudioOutput() {
  static std::once_flag once;
  static std::string found;
  std::call_once(once, [] {
    const OwnedBy<GList, gst_plugin_feature_list_free> factories(g_list_sort(
        gst_element_factory_list_get_elements(
            GST_ELEMENT_FACTORY_TYPE_SINK | GST_ELEMENT_FACTORY_TYPE_MEDIA_AUDIO, GST_RANK_MARGINAL),
        gst_plugin_feature_rank_compare_func));
    const GstMiniPtr<GstCaps> raw(gst_caps_new_empty_simple("audio/x-raw"));
    for (GList* l = factories.get(); l && found.empty(); l = l->next) {
      auto* factory = GST_ELEMENT_FACTORY(l->data);
      if (!gst_element_factory_can_sink_any_caps(factory, raw.get())) continue;
      const GstRef<GstElement> sink = GstRef<GstElement>::sink(gst_element_factory_create(factory, nullptr));
      if (!sink) continue;
      if (gst_element_set_state(sink.get(), GST_STATE_READY) == GST_STATE_CHANGE_SUCCESS)
        found = GST_OBJECT_NAME(factory);
      gst_element_set_state(sink.get(), GST_STATE_NULL);
    }
  });
  return found;
}

}  // namespace

namespace mmcontrol {

// The audio sink of a new pipeline: the given output, else the machine's. Without an output that opens, a
// fake one that still keeps time, so that sounds last as long as they should and end as on a machine with
// sound; *audible tells which it is.
GstRef<GstElement> makeAudioSink(const std::optional<std::string>& chosen, bool* audible) {
  const std::string& output = chosen ? *chosen : workingAudioOutput();
  *audible = true;
  if (!output.empty())
    if (auto sink = GstRef<GstElement>::sink(gst_element_factory_make(output.c_str(), nullptr))) return sink;
  *audible = false;
  auto sink = GstRef<GstElement>::sink(gst_element_factory_make("fakesink", nullptr));
  if (sink) g_object_set(sink.get(), "sync", TRUE, nullptr);
  return sink;
}

}  // namespace mmcontrol
