#include "qgis/database/DatabaseWatchdog.h"

#include "qgis/database/DatabaseLimit.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <dirent.h>
#include <netdb.h>
#include <netinet/in.h>
#include <qgsdatasourceuri.h>
#include <qgsproject.h>
#include <qgsvectordataprovider.h>
#include <qgsvectorlayer.h>
#include <sys/socket.h>
#include <sys/un.h>

namespace LarkhillQgis {

namespace {

// How often the watching thread looks at the clock.
constexpr auto kTick = std::chrono::milliseconds(100);

int64_t nowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

/** True when both are the same TCP endpoint (family, address and port). */
bool sameEndpoint(const QByteArray& known, const sockaddr_storage& peer) {
  sockaddr_storage stored{};
  std::memcpy(&stored, known.constData(), std::min(sizeof stored, size_t(known.size())));
  const auto* a = reinterpret_cast<const sockaddr*>(&stored);
  if (a->sa_family != peer.ss_family)
    return false;
  if (a->sa_family == AF_INET) {
    const auto& x = *reinterpret_cast<const sockaddr_in*>(a);
    const auto& y = reinterpret_cast<const sockaddr_in&>(peer);
    return x.sin_port == y.sin_port && x.sin_addr.s_addr == y.sin_addr.s_addr;
  }
  if (a->sa_family == AF_INET6) {
    const auto& x = *reinterpret_cast<const sockaddr_in6*>(a);
    const auto& y = reinterpret_cast<const sockaddr_in6&>(peer);
    return x.sin6_port == y.sin6_port &&
           std::memcmp(&x.sin6_addr, &y.sin6_addr, sizeof x.sin6_addr) == 0;
  }
  return false;
}

} // namespace

DatabaseWatchdog::DatabaseWatchdog(const QgsProject& project) {
  const auto layers = project.mapLayers();
  for (QgsMapLayer* layer : layers)
    addServerOf(qobject_cast<QgsVectorLayer*>(layer));
}

DatabaseWatchdog::~DatabaseWatchdog() {
  if (mThread.joinable()) {
    {
      std::lock_guard<std::mutex> lock(mMutex);
      mStop = true;
    }
    mWake.notify_all();
    mThread.join();
  }
}

void DatabaseWatchdog::addServerOf(QgsVectorLayer* layer) {
  if (!layer || layer->providerType() != QLatin1String("postgres") || !layer->dataProvider())
    return;
  const QgsDataSourceUri uri(layer->dataProvider()->dataSourceUri());
  QString port = uri.port();
  if (port.isEmpty())
    port = qEnvironmentVariable("PGPORT", QStringLiteral("5432"));
  QString host = uri.host();
  if (host.isEmpty() && uri.service().isEmpty())
    host = qEnvironmentVariable("PGHOST");
  Server server;
  const QByteArray socketName = ".s.PGSQL." + port.toLatin1();
  if (host.isEmpty() && uri.service().isEmpty()) {
    // libpq's default local socket, in whichever folder it was built for.
    server.socketPath = socketName;
  } else if (host.startsWith(QLatin1Char('/'))) {
    server.socketPath = QFile::encodeName(QDir(host).filePath(QString::fromLatin1(socketName)));
  } else if (!host.isEmpty()) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.toUtf8().constData(), port.toLatin1().constData(), &hints, &found) != 0)
      return;
    for (addrinfo* a = found; a; a = a->ai_next)
      server.addresses.append(
          QByteArray(reinterpret_cast<const char*>(a->ai_addr), int(a->ai_addrlen)));
    freeaddrinfo(found);
  } else {
    return; // a service name: its address is the client library's to find
  }
  mServers.append(server);
}

void DatabaseWatchdog::arm() {
  if (mServers.isEmpty() || mThread.joinable())
    return;
  mDeadline.store(nowMs() + int64_t(DatabaseLimit::seconds()) * 1000);
  mThread = std::thread([this] { watch(); });
}

void DatabaseWatchdog::watch() {
  std::unique_lock<std::mutex> lock(mMutex);
  while (!mStop) {
    mWake.wait_for(lock, kTick);
    const int64_t deadline = mDeadline.load();
    if (mStop || deadline == 0 || nowMs() < deadline)
      continue;
    // Past the limit: cut, and go on cutting the connections the client
    // opens anew (it reconnects and retries) until the exit is done.
    cutConnections();
  }
}

void DatabaseWatchdog::cutConnections() const {
  DIR* fds = opendir("/proc/self/fd");
  if (!fds)
    return;
  while (const dirent* entry = readdir(fds)) {
    char* end = nullptr;
    const long fd = std::strtol(entry->d_name, &end, 10);
    if (*end != '\0' || end == entry->d_name || fd == dirfd(fds))
      continue;
    int type = 0;
    socklen_t typeSize = sizeof type;
    if (getsockopt(int(fd), SOL_SOCKET, SO_TYPE, &type, &typeSize) != 0 || type != SOCK_STREAM)
      continue;
    sockaddr_storage peer{};
    socklen_t peerSize = sizeof peer;
    if (getpeername(int(fd), reinterpret_cast<sockaddr*>(&peer), &peerSize) != 0)
      continue;
    bool ours = false;
    for (const Server& server : mServers) {
      if (peer.ss_family == AF_UNIX) {
        if (server.socketPath.isEmpty())
          continue;
        const char* path = reinterpret_cast<const sockaddr_un&>(peer).sun_path;
        const QByteArray peerPath(path, int(strnlen(path, sizeof(sockaddr_un::sun_path))));
        ours = server.socketPath.startsWith('/') ? peerPath == server.socketPath
                                                 : peerPath.endsWith("/" + server.socketPath);
      } else {
        for (const QByteArray& address : server.addresses)
          ours = ours || sameEndpoint(address, peer);
      }
      if (ours)
        break;
    }
    if (ours)
      shutdown(int(fd), SHUT_RDWR);
  }
  closedir(fds);
}

} // namespace LarkhillQgis
