// The watch on a medium that goes nowhere: a play whose position stands still, and a medium whose demuxer
// gave up unheard before it prerolled.

#include "media/mmcontrol.h"
#include "media/mmcontrol_session.h"
#include "media/pipeline_elements.h"

#include <gst/gst.h>

namespace {

// A medium whose position stands still that long while it plays is taken as failed: a demuxer can spin
// on a stream that holds no data without ever reaching its end. A disc may have to spin up again after a
// pause, which happens while the pipeline already plays.
constexpr int kStallLimitMs = 3000;
constexpr int kCdStallLimitMs = 30000;

// Whether a demuxer of the pipeline gave up before it exposed any stream: its pulling task has stopped and
// it has no source pad. decodebin holds back the errors an element it plugs posts while it is still setting
// that element's state (to try another one should the change fail) and drops them when the change
// succeeds; a demuxer that fails at once in pull mode (a .mov cut before its movie header) can post its
// error in that moment, and then nobody hears of it and the pipeline waits for a preroll that never comes.
bool demuxerGaveUp(GstElement* pipeline) {
  return mmcontrol::anyElement(pipeline, [](GstElement* element) {
    // Counted by GStreamer under the element's lock (its own code, not a field read here).
    bool exposed = false;
    gst_element_foreach_src_pad(
        element,
        [](GstElement*, GstPad*, gpointer any) -> gboolean {
          *static_cast<bool*>(any) = true;
          return FALSE;
        },
        &exposed);
    bool gaveUp = false;
    if (!exposed)
      gst_element_foreach_sink_pad(
          element,
          [](GstElement*, GstPad* pad, gpointer found) -> gboolean {
            if (gst_pad_get_task_state(pad) == GST_TASK_PAUSED) *static_cast<bool*>(found) = true;
            return TRUE;
          },
          &gaveUp);
    return gaveUp;
  });
}

}  // namespace

void MMControl::checkProgress() {
  // What legitimately stands still is not counted: a pipeline still prerolling or changing state, a seek
  // not carried out yet, a source filling its buffer. Paused and stopped media have no play pending.
  const auto notCounted = [this] { stillSince_.invalidate(); };
  if (!session_ || !playPending_ || !session_->prerolled || session_->buffering ||
      (pendingSeekMs_ && !pendingSeekFinished_))
    return notCounted();
  GstState current = GST_STATE_VOID_PENDING;
  GstState pending = GST_STATE_VOID_PENDING;
  if (gst_element_get_state(session_->pipeline.get(), &current, &pending, 0) != GST_STATE_CHANGE_SUCCESS ||
      current != GST_STATE_PLAYING || pending != GST_STATE_VOID_PENDING)
    return notCounted();
  gint64 position = -1;
  session_->queryPosition(position);
  if (!stillSince_.isValid() || position != stillPosition_) {
    stillPosition_ = position;
    stillSince_.start();
  } else if (stillSince_.elapsed() >= (session_->cd ? kCdStallLimitMs : kStallLimitMs)) {
    handleFailure(session_->gen);
  }
}

void MMControl::checkPreroll() {
  if (!session_ || session_->prerolled) return prerollCheck_.stop();
  if (demuxerGaveUp(session_->pipeline.get())) handleFailure(session_->gen);
}
