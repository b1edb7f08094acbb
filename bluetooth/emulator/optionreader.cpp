// SPDX-License-Identifier: GPL-3.0-or-later
#include "bluetooth/emulator/optionreader.h"

#include <cmath>

namespace emu {

QString join(const QString &prefix, const QString &key)
{
    return prefix.isEmpty() ? key : prefix + QLatin1Char('.') + key;
}

bool OptionReader::fail(const QString &key, const QString &expected)
{
    if (error.isEmpty())
        error = (key + QLatin1String(": ") + expected).simplified();
    return false;
}

bool OptionReader::knownKeys(const QJsonObject &object, const QStringList &known,
                             const QString &prefix)
{
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!known.contains(it.key()))
            return fail(join(prefix, it.key()), QStringLiteral("unknown option"));
    }
    return true;
}

std::optional<qint64> OptionReader::integer(const QJsonValue &value, const QString &key, qint64 min,
                                            qint64 max, const QString &expected)
{
    const double number = value.toDouble(std::nan(""));
    if (!value.isDouble() || std::floor(number) != number || number < double(min) ||
        number > double(max)) {
        fail(key, expected);
        return std::nullopt;
    }
    return qint64(number);
}

std::optional<double> OptionReader::number(const QJsonValue &value, const QString &key, double min,
                                           double max, bool minExclusive, const QString &expected)
{
    const double number = value.toDouble(std::nan(""));
    if (!value.isDouble() || !std::isfinite(number) || number < min ||
        (minExclusive && number == min) || number > max) {
        fail(key, expected);
        return std::nullopt;
    }
    return number;
}

std::optional<QDate> OptionReader::date(const QJsonValue &value, const QString &key)
{
    const QDate date = QDate::fromString(value.toString(), QStringLiteral("yyyy-MM-dd"));
    if (!value.isString() || !date.isValid() || date.year() < 2000 || date.year() > 2099) {
        fail(key, QStringLiteral("expected a date YYYY-MM-DD from 2000 to 2099"));
        return std::nullopt;
    }
    return date;
}

std::optional<QTime> OptionReader::time(const QJsonValue &value, const QString &key)
{
    const QTime time = QTime::fromString(value.toString(), QStringLiteral("HH:mm:ss"));
    if (!value.isString() || !time.isValid()) {
        fail(key, QStringLiteral("expected a time HH:MM:SS"));
        return std::nullopt;
    }
    return time;
}

} // namespace emu
