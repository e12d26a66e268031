#pragma once

#include <gst/gst.h>

#include <memory>
#include <utility>

// Owning handles for GStreamer and GLib objects, so that no code releases them by hand.

// A strong reference on a GstObject (element, pad, bus). Copying takes another reference, which lets a
// handle travel inside a std::function to another thread.
template <typename T>
class GstRef {
 public:
  GstRef() = default;
  GstRef(const GstRef& other) : p_(other.p_) {
    if (p_) gst_object_ref(p_);
  }
  GstRef(GstRef&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  GstRef& operator=(GstRef other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~GstRef() { reset(); }

  // Takes over a reference the caller already owns (e.g. from gst_element_get_bus).
  static GstRef adopt(T* p) {
    GstRef r;
    r.p_ = p;
    return r;
  }
  // Takes a newly made object that still has its floating reference (e.g. from gst_element_factory_make).
  static GstRef sink(T* p) {
    if (p) gst_object_ref_sink(p);
    return adopt(p);
  }
  // Adds a reference to an object owned elsewhere.
  static GstRef share(T* p) {
    if (p) gst_object_ref(p);
    return adopt(p);
  }

  T* get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  void reset() {
    if (p_) gst_object_unref(std::exchange(p_, nullptr));
  }

 private:
  T* p_ = nullptr;
};

struct GstMiniObjectUnref {
  void operator()(void* p) const {
    if (p) gst_mini_object_unref(GST_MINI_OBJECT_CAST(p));
  }
};

// Sole owner of a GstMiniObject (message, caps, sample, buffer, event, toc).
template <typename T>
using GstMiniPtr = std::unique_ptr<T, GstMiniObjectUnref>;

// Shared owner of a message, for handing it to another thread inside a copyable functor.
inline std::shared_ptr<GstMessage> shareMessage(GstMessage* message) {
  return {gst_message_ref(message), [](GstMessage* m) { gst_message_unref(m); }};
}

template <auto release>
struct ReleaseWith {
  template <typename T>
  void operator()(T* p) const {
    if (p) release(p);
  }
};

// Sole owner of what a C library hands over with its own function to release it, e.g.
// OwnedBy<GList, gst_plugin_feature_list_free> or OwnedBy<char, cdio_free>.
template <typename T, auto release>
using OwnedBy = std::unique_ptr<T, ReleaseWith<release>>;
