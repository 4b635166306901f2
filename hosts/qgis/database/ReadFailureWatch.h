#pragma once

#include <QMetaObject>
#include <QString>

namespace LarkhillQgis {

/**
 * Notices a data source that fails while the host reads from it. QGIS's
 * database providers report a read that broke off (the server went away, the
 * connection dropped) only to QGIS's message log and then end the feature
 * iteration as though every row had been read: a list would silently come up
 * short and a lookup would silently find nothing. A watch lives for one read;
 * check() raises DataSourceUnavailable, with the provider's own words, when
 * such a report arrived meanwhile.
 */
class ReadFailureWatch {
public:
  ReadFailureWatch();
  ~ReadFailureWatch();
  ReadFailureWatch(const ReadFailureWatch&) = delete;
  ReadFailureWatch& operator=(const ReadFailureWatch&) = delete;

  /** Raises DataSourceUnavailable when a provider reported a failed read since the watch began. */
  void check() const;
  /** The first failure reported, or empty text. */
  QString failure() const { return mFailure; }
  /**
   * Forgets what was reported so far: a read that went on to succeed shows
   * that the provider recovered (it reconnects once after a lost connection).
   */
  void forget() { mFailure.clear(); }

private:
  QMetaObject::Connection mConnection;
  QString mFailure;
};

} // namespace LarkhillQgis
