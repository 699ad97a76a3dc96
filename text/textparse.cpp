#include "text/textparse.h"

#include "text/econverterror.h"

#include <limits>

namespace TextParse {
namespace {

bool isBlankOrControl(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

QString twoDigits(int n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

} // namespace

QByteArray stripped(const QByteArray &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlankOrControl(text[begin]))
        ++begin;
    while (end > begin && isBlankOrControl(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

int strToInt(const QByteArray &text)
{
    qsizetype i = 0;
    const bool negative = !text.isEmpty() && text[0] == '-';
    if (!text.isEmpty() && (text[0] == '-' || text[0] == '+'))
        ++i;
    if (i == text.size())
        throw EConvertError(text.toStdString());
    long long value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            throw EConvertError(text.toStdString());
        value = value * 10 + (text[i] - '0');
        if (value > std::numeric_limits<int>::max() + (negative ? 1LL : 0LL))
            throw EConvertError(text.toStdString());
    }
    return int(negative ? -value : value);
}

QByteArray pairAt(const QByteArray &text, qsizetype at)
{
    return at < text.size() ? text.mid(at, 2) : QByteArray();
}

int clockTextSeconds(const QByteArray &clock)
{
    return strToInt(pairAt(clock, 0)) * 3600 + strToInt(pairAt(clock, 3)) * 60 + strToInt(pairAt(clock, 6));
}

QString formatClock(int seconds)
{
    const int s = seconds < 0 ? 0 : seconds;
    return QLatin1Char('0') + QString::number(s / 3600) + QLatin1Char(':') + twoDigits(s / 60 % 60)
         + QLatin1Char(':') + twoDigits(s % 60);
}

QByteArray clockText(const QByteArray &duration, const QByteArray &fallback)
{
    return duration.isEmpty() ? fallback : duration.left(8);
}

} // namespace TextParse
