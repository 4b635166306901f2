#include "QgisTestData.h"

#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace QgisTestData {

int runGenerator(const QStringList& arguments, QString& output) {
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(QStringLiteral(LARKHILL_SAMPLE_GENERATOR), arguments);
  if (!process.waitForFinished(120000))
    return -1;
  output = QString::fromLocal8Bit(process.readAll());
  return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QString town(int count, const QStringList& options) {
  static QTemporaryDir sRoot;
  static QMap<QString, QString> sTowns;
  const QString key = QStringLiteral("%1 %2").arg(count).arg(options.join(QLatin1Char(' ')));
  if (!sTowns.contains(key)) {
    const QString folder = sRoot.filePath(QStringLiteral("town%1").arg(sTowns.size()));
    QString output;
    const int code = runGenerator(QStringList{QStringLiteral("--count"), QString::number(count)} +
                                      options + QStringList{folder},
                                  output);
    EXPECT_EQ(code, 0) << output.toStdString();
    sTowns.insert(key, folder);
  }
  return sTowns.value(key);
}

} // namespace QgisTestData
