#include "text/FrenchDates.h"

#include "text/Quoted.h"

#include <QStringList>

#include <algorithm>
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

QString shortDate(QDate date) {
    return date.toString(QStringLiteral("dd/MM/yyyy"));
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
