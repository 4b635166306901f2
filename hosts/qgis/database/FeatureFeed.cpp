#include "qgis/database/FeatureFeed.h"

#include "qgis/common/HostErrors.h"
#include "qgis/database/DatabaseLimit.h"
#include "qgis/database/PgConnection.h"
#include "qgis/database/ReadFailureWatch.h"

#include <QThreadPool>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>
#include <qgsdatasourceuri.h>
#include <qgsfeedback.h>
#include <qgsvectordataprovider.h>
#include <qgsvectorlayer.h>
#include <qgsvectorlayerfeatureiterator.h>

namespace LarkhillQgis {

namespace {
// The features the reading thread may hold ready before the caller takes them.
constexpr size_t kQueued = 1024;

/** The reads that have not ended yet. */
struct Readers {
  std::mutex mutex;
  std::condition_variable ended;
  int running = 0;
};

Readers& readers() {
  // Never destroyed: a thread given up may end after the program's statics.
  static Readers* sReaders = new Readers();
  return *sReaders;
}

/**
 * The threads that read. They are kept for a while between reads: a thread
 * sets up what QGIS keeps for each thread (a coordinate transform context
 * among it) at its first read, which would cost every click anew. A read
 * given up keeps its thread until it ends; the others take further threads.
 * Never destroyed, like the count above: the program does not wait at its
 * end for a read that waits on a server.
 */
QThreadPool& readingThreads() {
  static QThreadPool* sThreads = [] {
    auto* threads = new QThreadPool();
    threads->setMaxThreadCount(64);
    threads->setExpiryTimeout(60000);
    return threads;
  }();
  return *sThreads;
}
} // namespace

struct FeatureFeed::Shared {
  std::mutex mutex;
  std::condition_variable changed;
  /** The features read and not yet taken by the caller, who takes them all at once. */
  std::vector<QgsFeature> features;
  bool ended = false;
  bool givenUp = false;
  bool callerWaits = false;
  bool readerWaits = false;
  QString failure;
  QgsFeedback feedback;

  /** The reading thread: reads the request from the source until the end or until given up. */
  void read(std::shared_ptr<QgsAbstractFeatureSource>& source, const QgsFeatureRequest& request);
};

void FeatureFeed::Shared::read(std::shared_ptr<QgsAbstractFeatureSource>& source,
                               const QgsFeatureRequest& request) {
  QString failed;
  {
    ReadFailureWatch watch;
    QgsFeatureIterator iterator = source->getFeatures(request);
    QgsFeature feature;
    while (iterator.nextFeature(feature)) {
      // A provider that reconnected and read on has recovered from what it reported.
      watch.forget();
      std::unique_lock<std::mutex> lock(mutex);
      if (features.size() >= kQueued) {
        readerWaits = true;
        changed.wait(lock, [this] { return givenUp || features.size() < kQueued; });
        readerWaits = false;
      }
      if (givenUp)
        break;
      features.push_back(std::move(feature));
      if (callerWaits)
        changed.notify_all();
    }
    failed = watch.failure();
  }
  source.reset();
  {
    const std::lock_guard<std::mutex> lock(mutex);
    ended = true;
    failure = failed;
    changed.notify_all();
  }
  const std::lock_guard<std::mutex> lock(readers().mutex);
  --readers().running;
  readers().ended.notify_all();
}

FeatureFeed::FeatureFeed(QgsVectorLayer* layer, QgsFeatureRequest request) {
  if (layer->providerType() != QLatin1String("postgres") || !layer->dataProvider()) {
    mIterator = layer->getFeatures(request);
    return;
  }
  mSource = layer->dataProvider()->dataSourceUri();
  mLimitMs = DatabaseLimit::seconds() * 1000;
  mShared = std::make_shared<Shared>();
  // A pool with no connection free ends the read without a word: it waits
  // longer than the caller, who has given up and said why by then.
  request.setTimeout(2 * mLimitMs);
  request.setRequestMayBeNested(true);
  request.setFeedback(&mShared->feedback);
  // The snapshot is made here, in the layer's thread; the reading thread
  // needs nothing else, and lets it go when the read ends.
  std::shared_ptr<QgsAbstractFeatureSource> source =
      std::make_shared<QgsVectorLayerFeatureSource>(layer);
  {
    const std::lock_guard<std::mutex> lock(readers().mutex);
    ++readers().running;
  }
  readingThreads().start([shared = mShared, source, request]() mutable {
    shared->read(source, request);
  });
}

FeatureFeed::~FeatureFeed() {
  if (!mShared)
    return;
  {
    const std::lock_guard<std::mutex> lock(mShared->mutex);
    mShared->givenUp = true;
    mShared->changed.notify_all();
  }
  mShared->feedback.cancel();
}

QDeadlineTimer FeatureFeed::deadline() const {
  return mShared ? QDeadlineTimer(mLimitMs) : QDeadlineTimer(QDeadlineTimer::Forever);
}

bool FeatureFeed::next(QgsFeature& feature, const QDeadlineTimer& deadline) {
  if (!mShared)
    return mIterator.nextFeature(feature);
  if (mNext == mTaken.size()) {
    // The features read meanwhile are taken at once: one handover for many.
    std::unique_lock<std::mutex> lock(mShared->mutex);
    mShared->callerWaits = true;
    const bool ready = mShared->changed.wait_for(
        lock, std::chrono::milliseconds(std::max<qint64>(0, deadline.remainingTime())),
        [this] { return !mShared->features.empty() || mShared->ended; });
    mShared->callerWaits = false;
    if (!ready)
      HostErrors::raise(HostErrors::DataSourceUnavailable, DatabaseLimit::timeoutText());
    mTaken.clear();
    mNext = 0;
    std::swap(mTaken, mShared->features);
    if (mShared->readerWaits)
      mShared->changed.notify_all();
    if (mTaken.empty())
      return false;
  }
  feature = std::move(mTaken[mNext++]);
  return true;
}

QString FeatureFeed::failure() const {
  if (!mShared)
    return QString();
  const std::lock_guard<std::mutex> lock(mShared->mutex);
  return mShared->failure;
}

bool FeatureFeed::waitForReads(int limitMs) {
  std::unique_lock<std::mutex> lock(readers().mutex);
  return readers().ended.wait_for(lock, std::chrono::milliseconds(limitMs),
                                  [] { return readers().running == 0; });
}

void FeatureFeed::check(const QDeadlineTimer& deadline) const {
  const QString failed = failure();
  if (failed.isEmpty())
    return;
  // The provider's words tell what broke, not whether the server is still
  // there: one that takes no connection any more closed the read's.
  const int left = int(std::max<qint64>(1, deadline.remainingTime()));
  if (!PgConnection::open(QgsDataSourceUri(mSource), left))
    HostErrors::raise(HostErrors::DataSourceUnavailable, DatabaseLimit::closedText());
  HostErrors::raise(HostErrors::DataSourceUnavailable, failed);
}

} // namespace LarkhillQgis
