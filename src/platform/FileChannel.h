#pragma once

#include "platform/Export.h"
#include <QByteArray>
#include <QString>

namespace LARKHILL_API Larkhill {

/**
 * Sequential text files on numbered channels, with the semantics of the
 * classic Open/Write #/Input #/EOF/Close statements. The component uses channel
 * 1 only. Paths are Windows-style (see DriveTable). Channels exist once per
 * thread. Failures throw ComError with the classic runtime error numbers.
 *
 * Text is written as UTF-8, the code page of this platform's locale; a file
 * that is not valid UTF-8 (written by an older Windows install) is read as
 * Windows-1252 so that its names still come back readable. A byte-order mark
 * at the start of a file read (UTF-8, or UTF-16 little- or big-endian, as
 * editors save them) tells its encoding and is not part of the text.
 */
namespace FileChannel {

/** Opens for appending, creating the file when missing. */
void openForAppend(int channel, const QString& path);
/** Opens for writing from an empty file, creating or truncating it. */
void openForOutput(int channel, const QString& path);
/** Opens an existing file for reading: 53 File not found when there is none. */
void openForInput(int channel, const QString& path);
/** True when an input channel has no more characters. */
bool eof(int channel);
/**
 * Writes one quoted record and a line end: the text between double quotes, a
 * double quote inside written doubled, then CR LF.
 */
void writeRecord(int channel, const QString& text);
/** The bytes writeRecord writes for the text. */
QByteArray record(const QString& text);
/**
 * Reads one item: skips blanks and tabs; a quoted item runs to its closing
 * quote (two quotes stand for one), an unquoted one to the next comma or line
 * end, without trailing blanks. The separator after the item is consumed. 62
 * Input past end of file when nothing is left.
 */
QString inputItem(int channel);
/** Closes the channel; closing a channel that is not open is no error. */
void close(int channel);
/** True when the channel is open. */
bool isOpen(int channel);

/** Turns file bytes into text as the channel reads them. */
QString decode(const QByteArray& bytes);
/** Turns text into file bytes as the channel writes them. */
QByteArray encode(const QString& text);

} // namespace FileChannel

} // namespace Larkhill
