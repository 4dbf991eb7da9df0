#include "FrenchDates.h"

#include "Quoted.h"

#include <array>
#include <cstdio>
#include <optional>

namespace vimora::text {

namespace {

std::optional<int> digits(QStringView text, qsizetype fewest, qsizetype most) {
    if (text.size() < fewest || text.size() > most)
        return std::nullopt;
    int value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
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

// Read without a list of parts: a large import reads two dates a line.
QDate parseShortDate(const QString& text) {
    const QStringView date = QStringView(text).trimmed();
    const qsizetype first = date.indexOf(u'/');
    const qsizetype second = first < 0 ? -1 : date.indexOf(u'/', first + 1);
    if (second < 0 || date.indexOf(u'/', second + 1) >= 0)
        return {};
    const std::optional<int> day = digits(date.first(first), 1, 2);
    const std::optional<int> month = digits(date.sliced(first + 1, second - first - 1), 1, 2);
    const std::optional<int> year = digits(date.sliced(second + 1), 4, 4);
    if (!day || !month || !year)
        return {};
    return {*year, *month, *day};
}

} // namespace vimora::text
