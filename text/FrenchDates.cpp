#include "FrenchDates.h"

#include "Quoted.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>

namespace vimora::text {

namespace {

std::optional<int> digits(const QString& text, qsizetype fewest, qsizetype most) {
    if (text.size() < fewest || text.size() > most ||
        !std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return std::nullopt;
    return text.toInt();
}

} // namespace

// Written by hand: QDate's format writer was a tenth of an export of a million visits.
QString shortDate(QDate date) {
    if (!date.isValid())
        return {};
    std::array<char, 16> written{};
    std::snprintf(written.data(), written.size(), "%02d/%02d/%04d", date.day(), date.month(), date.year());
    return QString::fromLatin1(written.data());
}

QString notADate(const QString& typed) {
    return QStringLiteral("%1 n'est pas une date : tapez-la sous la forme JJ/MM/AAAA.").arg(quoted(typed));
}

QDate parseShortDate(const QString& text) {
    const QStringList parts = text.trimmed().split(QLatin1Char('/'));
    if (parts.size() != 3)
        return {};
    const std::optional<int> day = digits(parts[0], 1, 2);
    const std::optional<int> month = digits(parts[1], 1, 2);
    const std::optional<int> year = digits(parts[2], 4, 4);
    if (!day || !month || !year)
        return {};
    return {*year, *month, *day};
}

} // namespace vimora::text
