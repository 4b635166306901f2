#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

namespace Larkhill {

/**
 * The simulated host's call journal: every host operation announces itself
 * here before it does anything ("ITable.Search", "ICursor.NextRow", ...).
 * The journal counts the calls, keeps them in order while recording is on, and
 * fails the calls that a test asked to fail. One journal per thread; tests
 * clear it before they start.
 */
namespace SimJournal {

/**
 * Makes the `nth` call (counting from 1, from now on) of `operation` throw a
 * ComError with `number` and `description`. Several failures may be armed.
 */
void failOn(const QString& operation, int nth, int32_t number, const QString& description);

/** Makes every call of `operation` from now on fail. */
void failAlways(const QString& operation, int32_t number, const QString& description);

/** Records a call of `operation`, and throws the armed failure when this call is to fail. */
void enter(const char* operation);

/** How many times `operation` has been called since the last clear. */
int callCount(const QString& operation);

/** Every call since the last clear, in order (empty while recording is off). */
QStringList calls();

/** Turns the ordered record on or off (counts and failures always work); on by default. */
void setRecording(bool on);

/** Forgets every call, count and armed failure, and turns recording on. */
void clear();

/** The failure code the simulated host uses for an unspecified failure (E_FAIL). */
constexpr int32_t Unspecified = -2147467259;

} // namespace SimJournal

} // namespace Larkhill
