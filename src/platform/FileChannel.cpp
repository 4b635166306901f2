#include "platform/FileChannel.h"

#include "platform/CodePage.h"
#include "platform/ComError.h"
#include "platform/DriveTable.h"
#include "platform/FileSystemObject.h"

#include <QFile>
#include <QFileInfo>
#include <map>
#include <memory>

namespace Larkhill {

namespace {

struct Channel {
  bool input = false;
  QByteArray data; // whole content of an input file
  int position = 0;
  std::unique_ptr<QFile> file; // output file
};

thread_local std::map<int, Channel> tChannels;

Channel& openChannel(int channel) {
  auto it = tChannels.find(channel);
  if (it == tChannels.end())
    RuntimeError::raise(RuntimeError::BadFileNameOrNumber);
  return it->second;
}

QString hostPathFor(const QString& path) {
  if (path.trimmed().isEmpty())
    RuntimeError::raise(RuntimeError::PathFileAccessError);
  const auto host = DriveTable::toHostPath(path);
  if (!host)
    RuntimeError::raise(RuntimeError::PathNotFound);
  return *host;
}

void openForWriting(int channel, const QString& path, QIODevice::OpenMode mode) {
  if (tChannels.count(channel))
    RuntimeError::raise(RuntimeError::FileAlreadyOpen);
  const QString host = hostPathFor(path);
  const QFileInfo info(host);
  if (!QFileInfo(info.absolutePath()).isDir())
    RuntimeError::raise(RuntimeError::PathNotFound);
  if (info.isDir() || (info.exists() && FileSystemObject::isReadOnly(host)))
    RuntimeError::raise(RuntimeError::PathFileAccessError);
  auto file = std::make_unique<QFile>(host);
  if (!file->open(mode))
    RuntimeError::raise(RuntimeError::PermissionDenied);
  Channel c;
  c.file = std::move(file);
  tChannels.emplace(channel, std::move(c));
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

// Consumes one line end (CR LF, CR or LF) at the position, if there is one.
void skipLineEnd(const QByteArray& d, int& p) {
  if (p < d.size() && d[p] == '\r')
    ++p;
  if (p < d.size() && d[p] == '\n')
    ++p;
}

// The bytes of a file as the channel parses them: a UTF-8 byte-order mark is
// dropped, and text behind a UTF-16 one is turned into UTF-8.
QByteArray withoutByteOrderMark(const QByteArray& bytes) {
  if (bytes.startsWith("\xef\xbb\xbf"))
    return bytes.mid(3);
  const bool littleEndian = bytes.startsWith("\xff\xfe");
  if (!littleEndian && !bytes.startsWith("\xfe\xff"))
    return bytes;
  const auto* b = reinterpret_cast<const unsigned char*>(bytes.constData());
  QString text;
  text.reserve(bytes.size() / 2);
  for (int i = 2; i + 1 < bytes.size(); i += 2)
    text.append(
        QChar(static_cast<ushort>(littleEndian ? b[i] | b[i + 1] << 8 : b[i] << 8 | b[i + 1])));
  return text.toUtf8();
}

} // namespace

namespace FileChannel {

QString decode(const QByteArray& bytes) {
  if (const std::optional<QString> text = CodePage::fromUtf8(bytes))
    return *text;
  return CodePage::fromWindows1252(bytes);
}

QByteArray encode(const QString& text) { return text.toUtf8(); }

void openForAppend(int channel, const QString& path) {
  openForWriting(channel, path, QIODevice::WriteOnly | QIODevice::Append);
}

void openForOutput(int channel, const QString& path) {
  openForWriting(channel, path, QIODevice::WriteOnly | QIODevice::Truncate);
}

void openForInput(int channel, const QString& path) {
  if (tChannels.count(channel))
    RuntimeError::raise(RuntimeError::FileAlreadyOpen);
  const QString host = hostPathFor(path);
  const QFileInfo info(host);
  if (!QFileInfo(info.absolutePath()).isDir())
    RuntimeError::raise(RuntimeError::PathNotFound);
  if (!info.exists())
    RuntimeError::raise(RuntimeError::FileNotFound);
  if (info.isDir())
    RuntimeError::raise(RuntimeError::PathFileAccessError);
  QFile file(host);
  if (!(QFile::permissions(host) & QFileDevice::ReadOwner) || !file.open(QIODevice::ReadOnly))
    RuntimeError::raise(RuntimeError::PermissionDenied);
  Channel c;
  c.input = true;
  c.data = file.readAll();
  if (file.error() != QFileDevice::NoError)
    RuntimeError::raise(RuntimeError::PathFileAccessError);
  c.data = withoutByteOrderMark(c.data);
  tChannels.emplace(channel, std::move(c));
}

bool eof(int channel) {
  Channel& c = openChannel(channel);
  if (!c.input)
    RuntimeError::raise(RuntimeError::BadFileMode);
  return c.position >= c.data.size();
}

void writeRecord(int channel, const QString& text) {
  Channel& c = openChannel(channel);
  if (c.input)
    RuntimeError::raise(RuntimeError::BadFileMode);
  const QByteArray bytes = record(text);
  if (c.file->write(bytes) != bytes.size() || !c.file->flush())
    RuntimeError::raise(RuntimeError::DiskFull);
}

QByteArray record(const QString& text) {
  QString quoted = text;
  quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
  return encode(QLatin1Char('"') + quoted + QLatin1Char('"')) + "\r\n";
}

QString inputItem(int channel) {
  Channel& c = openChannel(channel);
  if (!c.input)
    RuntimeError::raise(RuntimeError::BadFileMode);
  const QByteArray& d = c.data;
  int& p = c.position;
  if (p >= d.size())
    RuntimeError::raise(RuntimeError::InputPastEndOfFile);
  while (p < d.size() && isBlank(d[p]))
    ++p;
  QByteArray value;
  if (p < d.size() && d[p] == '"') {
    ++p;
    while (p < d.size()) {
      if (d[p] == '"') {
        if (p + 1 < d.size() && d[p + 1] == '"') {
          value.append('"');
          p += 2;
          continue;
        }
        ++p;
        break;
      }
      value.append(d[p++]);
    }
    // Anything between the closing quote and the separator is not part of the item.
    while (p < d.size() && d[p] != ',' && !isLineEnd(d[p]))
      ++p;
  } else {
    while (p < d.size() && d[p] != ',' && !isLineEnd(d[p]))
      value.append(d[p++]);
    while (!value.isEmpty() && isBlank(value.back()))
      value.chop(1);
  }
  if (p < d.size()) {
    if (d[p] == ',')
      ++p;
    else
      skipLineEnd(d, p);
  }
  return decode(value);
}

void close(int channel) {
  auto it = tChannels.find(channel);
  if (it == tChannels.end())
    return;
  Channel c = std::move(it->second);
  tChannels.erase(it);
  if (c.file) {
    const bool ok = c.file->flush();
    c.file->close();
    if (!ok)
      RuntimeError::raise(RuntimeError::DiskFull);
  }
}

bool isOpen(int channel) { return tChannels.count(channel) != 0; }

} // namespace FileChannel

} // namespace Larkhill
