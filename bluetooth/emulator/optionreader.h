// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <QTime>

#include <optional>

namespace emu {

// The key of an option inside a table: "prefix.key", or the key alone at the top.
QString join(const QString &prefix, const QString &key);

// Reads one option table, remembering the first error as "key: expected ...".
class OptionReader
{
public:
    QString error;

    bool fail(const QString &key, const QString &expected);
    bool knownKeys(const QJsonObject &object, const QStringList &known, const QString &prefix);
    std::optional<qint64> integer(const QJsonValue &value, const QString &key, qint64 min,
                                  qint64 max, const QString &expected);
    std::optional<double> number(const QJsonValue &value, const QString &key, double min,
                                 double max, bool minExclusive, const QString &expected);
    std::optional<QDate> date(const QJsonValue &value, const QString &key);
    std::optional<QTime> time(const QJsonValue &value, const QString &key);
};

} // namespace emu
