#pragma once

#include <QDeadlineTimer>
#include <QString>
#include <memory>
#include <vector>
#include <qgsfeatureiterator.h>
#include <qgsfeaturerequest.h>

class QgsVectorLayer;

namespace LarkhillQgis {

/**
 * The features of one request of a layer, read through QGIS.
 *
 * A PostgreSQL layer's features are read in a reading thread of the tool's
 * own, from a snapshot of the layer's data source (as QGIS's map drawing
 * reads them), and handed to the caller in batches as they come: a server
 * that stops answering holds the caller until the deadline it gives, and no
 * longer. The read is then given up and cancelled through the request's
 * feedback; it ends by itself once the server answers or the connection
 * breaks, and needs neither the layer nor the feed. QGIS's own connections,
 * the read's among them, are never touched. The request waits for a connection of QGIS's pool for a
 * while longer than the caller does, and may take one while another read of
 * the same caller holds one.
 *
 * Other layers' features are read in the caller's thread.
 */
class FeatureFeed {
public:
  FeatureFeed(QgsVectorLayer* layer, QgsFeatureRequest request);
  /** Gives up the read where it is. */
  ~FeatureFeed();
  FeatureFeed(const FeatureFeed&) = delete;
  FeatureFeed& operator=(const FeatureFeed&) = delete;

  /**
   * The time the caller waits for the next feature from now: the limit
   * (DatabaseLimit::seconds) for a database layer, for ever for others.
   */
  QDeadlineTimer deadline() const;
  /**
   * The next feature: true, or false after the last and when the read broke
   * off (see failure()). Raises DataSourceUnavailable
   * (DatabaseLimit::timeoutText) when the deadline passed before the server
   * sent the feature.
   */
  bool next(QgsFeature& feature, const QDeadlineTimer& deadline);
  /**
   * The provider's report of the read's failure, once the read has ended
   * (empty text when it read to the end). A failure that the provider
   * recovered from, reading on, does not count.
   */
  QString failure() const;
  /**
   * Raises DataSourceUnavailable when the read failed: with
   * DatabaseLimit::closedText when the server takes no connection any more
   * (asked by a connection of the tool's own, before the deadline), else with
   * the provider's words.
   */
  void check(const QDeadlineTimer& deadline) const;

  /**
   * Waits until the read of every feed, given up or not, has ended, for
   * `limitMs` at the most; true when none is left. A host that
   * shuts QGIS down asks first, so that no read outlives QGIS.
   */
  static bool waitForReads(int limitMs);

private:
  struct Shared;
  /** The read's state, shared with its thread; none for a layer read in the caller's thread. */
  std::shared_ptr<Shared> mShared;
  /** The features taken from the reading thread, and the next of them to hand out. */
  std::vector<QgsFeature> mTaken;
  size_t mNext = 0;
  QgsFeatureIterator mIterator;
  /** The data source of a PostgreSQL layer, and the limit on each wait for its features. */
  QString mSource;
  int mLimitMs = 0;
};

} // namespace LarkhillQgis
