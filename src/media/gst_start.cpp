// GStreamer's start: gst_init once per process, the libcdio disc source ranked above the others, and the
// thread MMControl::prepareGStreamer begins it on.

#include "media/gst_start.h"

#include "media/gst_ptr.h"
#include "media/mmcontrol.h"

#include <gst/gst.h>

#include <algorithm>
#include <mutex>
#include <thread>

namespace {

bool supportsCdda(GstElementFactory* factory) {
  const gchar* const* protocols = gst_element_factory_get_uri_protocols(factory);
  for (; protocols && *protocols; ++protocols)
    if (g_ascii_strcasecmp(*protocols, "cdda") == 0) return true;
  return false;
}

}  // namespace

namespace mmcontrol {

void initGStreamer() {
  static std::once_flag once;
  std::call_once(once, [] {
    gst_init(nullptr, nullptr);
    // Read discs through libcdio: it is what finds and ejects the drive here too, and it opens disc
    // images (.cue/.bin) as drives, which the other CD sources do not.
    GstRegistry* registry = gst_registry_get();
    GstRef<GstPluginFeature> cdio =
        GstRef<GstPluginFeature>::adopt(gst_registry_lookup_feature(registry, "cdiocddasrc"));
    if (!cdio) return;
    guint best = 0;
    const OwnedBy<GList, gst_plugin_feature_list_free> sources(
        gst_element_factory_list_get_elements(GST_ELEMENT_FACTORY_TYPE_SRC, GST_RANK_NONE));
    for (GList* l = sources.get(); l; l = l->next) {
      auto* factory = GST_ELEMENT_FACTORY(l->data);
      if (GST_PLUGIN_FEATURE(factory) != cdio.get() && supportsCdda(factory))
        best = std::max(best, gst_plugin_feature_get_rank(GST_PLUGIN_FEATURE(factory)));
    }
    if (gst_plugin_feature_get_rank(cdio.get()) <= best) gst_plugin_feature_set_rank(cdio.get(), best + 1);
  });
}

}  // namespace mmcontrol

namespace {

// The thread prepareGStreamer() starts, joined at exit should the program end before GStreamer is up.
struct Preparation {
  std::thread thread;
  ~Preparation() {
    if (thread.joinable()) thread.join();
  }
};

Preparation& preparation() {
  static Preparation instance;
  return instance;
}

}  // namespace

void MMControl::prepareGStreamer() {
  Preparation& p = preparation();
  if (!p.thread.joinable()) p.thread = std::thread([] { mmcontrol::initGStreamer(); });
}
