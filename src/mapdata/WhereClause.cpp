#include "mapdata/WhereClause.h"

#include "platform/Variant.h"

namespace Larkhill {

namespace {

/** A clause that does not fit the grammar; carries the reason up to parse(). */
struct Invalid {
  QString reason;
};

[[noreturn]] void invalid(const QString& reason) {
  throw Invalid{reason};
}

class Reader {
public:
  explicit Reader(const QString& text) : mText(text) {}
  void skipBlanks() {
    while (mPos < mText.size() && mText[mPos].isSpace())
      ++mPos;
  }
  bool atEnd() const { return mPos >= mText.size(); }
  QChar peek() const { return atEnd() ? QChar() : mText[mPos]; }
  QChar take() { return mText[mPos++]; }
  int position() const { return mPos; }
  QString slice(int from) const { return mText.mid(from, mPos - from); }

private:
  const QString& mText;
  int mPos = 0;
};

void readFieldName(Reader& in, WhereClause& result) {
  const QChar first = in.peek();
  if (first == QLatin1Char('"') || first == QLatin1Char('[')) {
    const bool doubleQuotes = first == QLatin1Char('"');
    const QChar close = doubleQuotes ? QLatin1Char('"') : QLatin1Char(']');
    in.take();
    QString name;
    bool closed = false;
    while (!in.atEnd()) {
      const QChar c = in.take();
      if (c == close) {
        // A doubled quote inside "..." stands for one, as SQL writes it.
        if (doubleQuotes && in.peek() == close) {
          in.take();
          name += c;
          continue;
        }
        closed = true;
        break;
      }
      name += c;
    }
    if (!closed)
      invalid(QStringLiteral("unterminated field name"));
    result.fieldName = name;
    if (result.fieldName.isEmpty())
      invalid(QStringLiteral("empty field name"));
    result.nameQuoting =
        doubleQuotes ? WhereClause::NameQuoting::DoubleQuotes : WhereClause::NameQuoting::Brackets;
    return;
  }
  const int from = in.position();
  if (!(first.isLetter() || first == QLatin1Char('_')))
    invalid(QStringLiteral("a field name was expected"));
  while (!in.atEnd() && (in.peek().isLetterOrNumber() || in.peek() == QLatin1Char('_')))
    in.take();
  result.fieldName = in.slice(from);
}

void readText(Reader& in, WhereClause& result) {
  in.take();
  QString text;
  bool closed = false;
  while (!in.atEnd()) {
    const QChar c = in.take();
    if (c == QLatin1Char('\'')) {
      if (in.peek() == QLatin1Char('\'')) {
        in.take();
        text += c;
        continue;
      }
      closed = true;
      break;
    }
    text += c;
  }
  if (!closed)
    invalid(QStringLiteral("unterminated text"));
  result.literal = WhereClause::Literal::Text;
  result.text = text;
}

void readDate(Reader& in, WhereClause& result) {
  in.take();
  const int from = in.position();
  while (!in.atEnd() && in.peek() != QLatin1Char('#'))
    in.take();
  if (in.atEnd())
    invalid(QStringLiteral("unterminated date"));
  const QString text = in.slice(from);
  in.take();
  result.date = parseDateText(text);
  if (!result.date.isValid())
    invalid(QStringLiteral("not a date: %1").arg(text));
  result.literal = WhereClause::Literal::Date;
  result.text = text;
}

void readNumber(Reader& in, WhereClause& result) {
  const int from = in.position();
  while (!in.atEnd() && !in.peek().isSpace())
    in.take();
  const QString text = in.slice(from);
  bool ok = false;
  const double value = text.toDouble(&ok);
  if (!ok)
    invalid(QStringLiteral("not a number: %1").arg(text));
  result.literal = WhereClause::Literal::Number;
  result.text = text;
  result.number = value;
  bool whole = false;
  text.toLongLong(&whole);
  result.wholeNumber = whole;
}

} // namespace

bool WhereClause::isBareName(const QString& name) {
  if (name.isEmpty() || !(name[0].isLetter() || name[0] == QLatin1Char('_')))
    return false;
  for (const QChar c : name)
    if (!(c.isLetterOrNumber() || c == QLatin1Char('_')))
      return false;
  return true;
}

QString WhereClause::fieldNameText(const QString& name) {
  if (isBareName(name))
    return name;
  return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QLatin1String("\"\"")) +
         QLatin1Char('"');
}

std::optional<WhereClause> WhereClause::parse(const QString& clause, QString* reason) {
  WhereClause result;
  Reader in(clause);
  try {
    in.skipBlanks();
    if (in.atEnd())
      return result;
    readFieldName(in, result);
    in.skipBlanks();
    if (in.atEnd() || in.take() != QLatin1Char('='))
      invalid(QStringLiteral("only \"field = value\" is understood"));
    in.skipBlanks();
    if (in.atEnd())
      invalid(QStringLiteral("a value was expected"));
    const QChar first = in.peek();
    if (first == QLatin1Char('\''))
      readText(in, result);
    else if (first == QLatin1Char('#'))
      readDate(in, result);
    else
      readNumber(in, result);
    in.skipBlanks();
    if (!in.atEnd())
      invalid(QStringLiteral("unexpected text after the value"));
  } catch (const Invalid& failure) {
    if (reason)
      *reason = failure.reason;
    return std::nullopt;
  }
  return result;
}

} // namespace Larkhill
