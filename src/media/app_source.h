#pragma once

typedef struct _GstElement GstElement;

// Data of our own that a playbin plays through its "appsrc://" source: the session of MMControl owns one
// and hands it the source element once the playbin has made it. The callbacks it installs there run on
// GStreamer's threads while the pipeline is not NULL.
class AppSource {
 public:
  AppSource() = default;
  AppSource(const AppSource&) = delete;
  AppSource& operator=(const AppSource&) = delete;
  virtual ~AppSource() = default;

  virtual void attach(GstElement* appsrc) = 0;
};
