#pragma once

#include <QString>
#include <QVector>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

class QgsProject;
class QgsVectorLayer;

namespace LarkhillQgis {

/**
 * Bounds the host's waits on a PostgreSQL server that stops answering. A
 * server that is paused or cut off keeps its connections open without
 * answering, and QGIS's database client then waits in the kernel without
 * limit; no setting of the client or the server ends that wait. A watchdog
 * knows the servers of some layers; while it is armed and the wait has gone on
 * for the limit without progress, it shuts down this process's connections to
 * those servers (and goes on doing so until it is disarmed), so that the
 * client gives up with a failed read.
 *
 * The watching is done by a thread of the watchdog's own that touches no Qt
 * or QGIS object: a watchdog may outlive QGIS's shutdown, which is what the
 * map application bounds with it.
 */
class DatabaseWatchdog {
public:
  /**
   * The limit in seconds: QGIS's PostgreSQL connection timeout (the setting
   * PostgreSQL/default_timeout of the providers section), or 30 when it is
   * not set or not positive.
   */
  static int limitSeconds();
  /** The description of a failure after the limit ran out. */
  static QString timeoutText();

  /** A watchdog over the server of the layer; it does nothing for a layer not read from PostgreSQL.
   */
  explicit DatabaseWatchdog(QgsVectorLayer* layer);
  /** A watchdog over the servers of every PostgreSQL layer of the project. */
  explicit DatabaseWatchdog(const QgsProject& project);
  ~DatabaseWatchdog();
  DatabaseWatchdog(const DatabaseWatchdog&) = delete;
  DatabaseWatchdog& operator=(const DatabaseWatchdog&) = delete;

  /** Starts a wait (waits may nest): the limit runs from now. */
  void arm();
  /** Ends the wait; the watchdog rests when the outermost wait ends. */
  void disarm();
  /** Counts progress in a wait: the limit runs anew from now. */
  void progress();
  /** True when the limit ran out since the watchdog was made. */
  bool fired() const { return mFired.load(); }
  /** Raises DataSourceUnavailable with timeoutText() when the limit ran out. */
  void check() const;

  /** While it lives, the watchdog is armed. */
  class Wait {
  public:
    explicit Wait(DatabaseWatchdog& watchdog) : mWatchdog(watchdog) { mWatchdog.arm(); }
    ~Wait() { mWatchdog.disarm(); }
    Wait(const Wait&) = delete;
    Wait& operator=(const Wait&) = delete;

  private:
    DatabaseWatchdog& mWatchdog;
  };

private:
  /** A server's address: a TCP endpoint, or the path of a local socket. */
  struct Server {
    QVector<QByteArray> addresses; // struct sockaddr of each resolved address
    QByteArray socketPath;         // a local socket's path, or its name ".s.PGSQL.<port>" alone
  };

  void addServerOf(QgsVectorLayer* layer);
  void watch();
  /** Shuts down every connection of this process to one of the servers. */
  void cutConnections() const;

  QVector<Server> mServers;
  int mLimitMs = 0;
  int mDepth = 0;
  std::atomic<int64_t> mDeadline{0};
  std::atomic<bool> mFired{false};
  std::mutex mMutex;
  std::condition_variable mWake;
  bool mStop = false;
  std::thread mThread;
};

} // namespace LarkhillQgis
