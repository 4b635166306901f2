#include "qgis/WhereClause.h"

#include "platform/Variant.h"
#include "qgis/QgisErrors.h"

namespace {

[[noreturn]] void invalid(const QString& clause, const QString& reason) {
  QgisErrors::raise(
      QgisErrors::InvalidSql,
      QStringLiteral("An invalid SQL statement was used: %1 (%2)").arg(clause, reason));
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

QString readFieldName(Reader& in, const QString& clause) {
  const QChar first = in.peek();
  if (first == QLatin1Char('"') || first == QLatin1Char('[')) {
    const QChar close = first == QLatin1Char('"') ? QLatin1Char('"') : QLatin1Char(']');
    in.take();
    const int from = in.position();
    while (!in.atEnd() && in.peek() != close)
      in.take();
    if (in.atEnd())
      invalid(clause, QStringLiteral("unterminated field name"));
    const QString name = in.slice(from);
    in.take();
    if (name.isEmpty())
      invalid(clause, QStringLiteral("empty field name"));
    return name;
  }
  const int from = in.position();
  if (!(first.isLetter() || first == QLatin1Char('_')))
    invalid(clause, QStringLiteral("a field name was expected"));
  while (!in.atEnd() && (in.peek().isLetterOrNumber() || in.peek() == QLatin1Char('_')))
    in.take();
  return in.slice(from);
}

} // namespace

WhereClause WhereClause::parse(const QString& clause) {
  WhereClause result;
  Reader in(clause);
  in.skipBlanks();
  if (in.atEnd())
    return result;
  result.fieldName = readFieldName(in, clause);
  in.skipBlanks();
  if (in.atEnd() || in.take() != QLatin1Char('='))
    invalid(clause, QStringLiteral("only \"field = value\" is understood"));
  in.skipBlanks();
  if (in.atEnd())
    invalid(clause, QStringLiteral("a value was expected"));

  const QChar first = in.peek();
  if (first == QLatin1Char('\'')) {
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
      invalid(clause, QStringLiteral("unterminated text"));
    result.literal = Literal::Text;
    result.text = text;
  } else if (first == QLatin1Char('#')) {
    in.take();
    const int from = in.position();
    while (!in.atEnd() && in.peek() != QLatin1Char('#'))
      in.take();
    if (in.atEnd())
      invalid(clause, QStringLiteral("unterminated date"));
    const QString text = in.slice(from);
    in.take();
    result.date = parseDateText(text);
    if (!result.date.isValid())
      invalid(clause, QStringLiteral("not a date: %1").arg(text));
    result.literal = Literal::Date;
    result.text = text;
  } else {
    const int from = in.position();
    while (!in.atEnd() && !in.peek().isSpace())
      in.take();
    const QString text = in.slice(from);
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok)
      invalid(clause, QStringLiteral("not a number: %1").arg(text));
    result.literal = Literal::Number;
    result.text = text;
    result.number = value;
    bool whole = false;
    text.toLongLong(&whole);
    result.wholeNumber = whole;
  }
  in.skipBlanks();
  if (!in.atEnd())
    invalid(clause, QStringLiteral("unexpected text after the value"));
  return result;
}
