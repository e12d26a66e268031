// GStreamer objects the multimedia control makes must all be gone once it has closed the medium: an element
// or bus kept by a missing unref would never show in AddressSanitizer's report, which ignores GLib's
// allocations, so GStreamer's own leak tracer counts them here.
#include "media/mmcontrol.h"
#include "support/media_gen.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <gst/gst.h>

#include <memory>

namespace {

GstTracer* findLeaksTracer() {
  GList* tracers = gst_tracing_get_active_tracers();
  GstTracer* found = nullptr;
  for (GList* item = tracers; item; item = item->next) {
    auto* tracer = static_cast<GstTracer*>(item->data);
    if (!found && g_str_has_prefix(G_OBJECT_TYPE_NAME(tracer), "GstLeaksTracer"))
      found = GST_TRACER(gst_object_ref(tracer));
  }
  g_list_free_full(tracers, gst_object_unref);
  return found;
}

// Counts creations and destructions the tracer reports, by address; what is left is alive.
class LiveObjects {
 public:
  explicit LiveObjects(GstTracer* tracer) : tracer_(tracer) {
    g_signal_emit_by_name(tracer_, "activity-start-tracking");
  }
  ~LiveObjects() { g_signal_emit_by_name(tracer_, "activity-stop-tracking"); }
  LiveObjects(const LiveObjects&) = delete;
  LiveObjects& operator=(const LiveObjects&) = delete;

  // The type names of the objects alive now, sorted, for readable failures.
  QString names() {
    GstStructure* checkpoint = nullptr;
    g_signal_emit_by_name(tracer_, "activity-get-checkpoint", &checkpoint);
    if (checkpoint) {
      account(gst_structure_get_value(checkpoint, "objects-created-list"), +1);
      account(gst_structure_get_value(checkpoint, "objects-removed-list"), -1);
      gst_structure_free(checkpoint);
    }
    QStringList alive;
    for (auto it = count_.cbegin(); it != count_.cend(); ++it) {
      // Playbin's own leak, not the control's: with an audio output that has no volume of its own (ALSA
      // without a sound server, the fake output of a machine without sound), its sink bin makes a volume
      // element for each stream and never frees it.
      if (type_.value(it.key()) == QLatin1String("GstVolume")) continue;
      for (int i = 0; i < it.value(); ++i) alive << type_.value(it.key());
    }
    alive.sort();
    return alive.join(' ');
  }

 private:
  void account(const GValue* list, int delta) {
    const guint size = list ? gst_value_list_get_size(list) : 0;
    for (guint i = 0; i < size; ++i) {
      const GstStructure* entry = gst_value_get_structure(gst_value_list_get_value(list, i));
      const QString address = QString::fromUtf8(gst_structure_get_string(entry, "address"));
      if (delta > 0) type_[address] = QString::fromUtf8(gst_structure_get_string(entry, "type-name"));
      if ((count_[address] += delta) == 0) count_.remove(address);
    }
  }

  GstTracer* tracer_;
  QHash<QString, int> count_;
  QHash<QString, QString> type_;
};

}  // namespace

class TestGstOwnership : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    // Must be in place before the first gst_init of the process.
    qputenv("GST_TRACERS", "leaks(filters=\"GstElement,GstBus\",log-leaks-on-deinit=false)");
    gst_init(nullptr, nullptr);
    tracer_ = findLeaksTracer();
    QVERIFY2(tracer_, "GStreamer's leaks tracer is not available");
    QVERIFY(dir_.isValid());
    pane_.resize(160, 120);
    pane_.show();
    wav_ = writeWav(dir_.filePath("a.wav"), 200);
    avi_ = writeAvi(dir_.filePath("a.avi"), 200);
    mpeg_ = writeMpeg(dir_.filePath("a.mpg"), 400);
    midi_ = writeMidi(dir_.filePath("a.mid"), 200);
    garbage_ = writeGarbage(dir_.filePath("bad.avi"), 32 * 1024, 3);
    QVERIFY(!wav_.isEmpty() && !avi_.isEmpty() && !mpeg_.isEmpty() && !midi_.isEmpty() &&
            !garbage_.isEmpty());
    // GStreamer keeps a few objects for the life of the process once a kind of medium has been played (the
    // MPEG writer's muxer among them): play every kind once before counting.
    playEachKind();
    live_ = std::make_unique<LiveObjects>(tracer_);
  }

  void cleanupTestCase() {
    live_.reset();
    if (tracer_) gst_object_unref(tracer_);
  }

  // Each kind of medium played to its end (or its failure) by a control that is then destroyed.
  void nothingOutlivesTheControl() { playEachKind(true); }

  // Open after open, play cut short by another medium, and Close: each superseded pipeline is let go.
  void supersededMediaAreReleased() {
    MMControl mci;
    mci.setHWndDisplay(&pane_);
    for (const QString& file : {avi_, wav_, mpeg_, garbage_, avi_}) {
      open(mci, file);
      mci.setCommand("Play");
    }
    QTRY_VERIFY_WITH_TIMEOUT(mci.pipeline() && mci.Position() > 0, 5000);
    // While a movie plays the tracer must see its objects, or the comparisons here prove nothing.
    QVERIFY(live_->names().contains("GstPlayBin"));
    mci.setCommand("Close");
    QTRY_COMPARE_WITH_TIMEOUT(live_->names(), QString(), 5000);
  }

 private:
  // With countAfterEach, nothing GStreamer made for a medium may be alive once its control is gone.
  void playEachKind(bool countAfterEach = false) {
    for (const QString& file : {wav_, avi_, mpeg_, midi_, garbage_}) {
      auto mci = std::make_unique<MMControl>();
      mci->setHWndDisplay(&pane_);
      QSignalSpy done(mci.get(), &MMControl::Done);
      open(*mci, file);
      mci->setCommand("Play");
      QVERIFY2(done.wait(5000), qPrintable(file));
      mci.reset();
      if (countAfterEach) {
        const QString alive = live_->names();
        QVERIFY2(alive.isEmpty(), qPrintable(file + ": " + alive));
      }
    }
  }

  static void open(MMControl& mci, const QString& file) {
    mci.setFileName(file);
    mci.setDeviceType(QString());
    mci.setCommand("Open");
  }

  GstTracer* tracer_ = nullptr;
  std::unique_ptr<LiveObjects> live_;
  QTemporaryDir dir_;
  QWidget pane_;  // where movies are drawn
  QString wav_, avi_, mpeg_, midi_, garbage_;
};

QTEST_MAIN(TestGstOwnership)
#include "test_gst_ownership.moc"
