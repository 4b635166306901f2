#include "sim/SimJournal.h"

#include "platform/ComError.h"

#include <QHash>
#include <vector>

namespace Larkhill {

namespace {

struct ArmedFailure {
  QString operation;
  int callNumber; // the absolute call count that fails; 0 for every call
  int32_t number;
  QString description;
};

struct Journal {
  QHash<QString, int> counts;
  QStringList calls;
  std::vector<ArmedFailure> failures;
  bool recording = true;
};

thread_local Journal tJournal;

} // namespace

namespace SimJournal {

void failOn(const QString& operation, int nth, int32_t number, const QString& description) {
  tJournal.failures.push_back(
      {operation, tJournal.counts.value(operation) + nth, number, description});
}

void failAlways(const QString& operation, int32_t number, const QString& description) {
  tJournal.failures.push_back({operation, 0, number, description});
}

void enter(const char* operation) {
  const QString name = QString::fromLatin1(operation);
  const int count = ++tJournal.counts[name];
  if (tJournal.recording)
    tJournal.calls.append(name);
  for (const ArmedFailure& failure : tJournal.failures) {
    if (failure.operation == name && (failure.callNumber == 0 || failure.callNumber == count))
      throw ComError(failure.number, failure.description);
  }
}

int callCount(const QString& operation) {
  return tJournal.counts.value(operation);
}

QStringList calls() {
  return tJournal.calls;
}

void setRecording(bool on) {
  tJournal.recording = on;
}

void clear() {
  tJournal = Journal();
}

} // namespace SimJournal

} // namespace Larkhill
