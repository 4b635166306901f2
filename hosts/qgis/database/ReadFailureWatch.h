#pragma once

#include <QMetaObject>
#include <QString>
#include <mutex>
#include <thread>

namespace LarkhillQgis {

/**
 * Notices a database that fails while QGIS reads from it. QGIS's PostgreSQL
 * provider reports a read that broke off (the server went away, the
 * connection dropped), and a layer it cannot open, only to QGIS's message
 * log, and then ends the feature iteration as though every row had been
 * read. A watch hears the provider's reports made by the thread that made the
 * watch, for as long as it lives: another thread's reads (QGIS drawing the
 * map, say) are not its business.
 */
class ReadFailureWatch {
public:
  ReadFailureWatch();
  ~ReadFailureWatch();
  ReadFailureWatch(const ReadFailureWatch&) = delete;
  ReadFailureWatch& operator=(const ReadFailureWatch&) = delete;

  /** The first failure reported, in the provider's words, or empty text. */
  QString failure() const;
  /**
   * Forgets what was reported so far: a read that went on to succeed shows
   * that the provider recovered (it reconnects once after a lost connection).
   */
  void forget();

private:
  QMetaObject::Connection mConnection;
  const std::thread::id mThread;
  mutable std::mutex mMutex;
  QString mFailure;
};

} // namespace LarkhillQgis
