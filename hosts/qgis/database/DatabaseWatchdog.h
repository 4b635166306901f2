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
 * Bounds the map application's exit on a PostgreSQL server that stops
 * answering. A server that is paused or cut off keeps its connections open
 * without answering, and a map drawing of QGIS's that waits on it holds QGIS's
 * shutdown up without limit: no setting of the client or the server ends that
 * wait. Once armed, the watchdog waits for the limit (DatabaseLimit::seconds)
 * and then shuts down the process's connections to the servers of the
 * project's layers (and goes on doing so until it is destroyed), so that the
 * client gives up with a failed read.
 *
 * It cuts connections it did not open: only a process that is the tool's own
 * throughout, the map application, may use it, and only on its way out. The
 * plugin never does; in QGIS, every wait of the tool's is bounded by
 * PgConnection and FeatureFeed instead.
 *
 * The watching is done by a thread of the watchdog's own that touches no Qt
 * or QGIS object: the watchdog outlives QGIS's shutdown, which it bounds.
 */
class DatabaseWatchdog {
public:
  /** A watchdog over the servers of every PostgreSQL layer of the project. */
  explicit DatabaseWatchdog(const QgsProject& project);
  ~DatabaseWatchdog();
  DatabaseWatchdog(const DatabaseWatchdog&) = delete;
  DatabaseWatchdog& operator=(const DatabaseWatchdog&) = delete;

  /** Starts the limit: from now, the connections are cut once it has run out. */
  void arm();

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
  std::atomic<int64_t> mDeadline{0};
  std::mutex mMutex;
  std::condition_variable mWake;
  bool mStop = false;
  std::thread mThread;
};

} // namespace LarkhillQgis
