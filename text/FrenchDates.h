#pragma once

#include <QDate>
#include <QString>

// A date as the program writes it for a French reader, and reads it back from a person or a file.
namespace vimora::text {

/// "05/03/2015".
QString shortDate(QDate date);

/// Why a typed text was refused as a date, naming it.
QString notADate(const QString& typed);

/// A date written JJ/MM/AAAA, its day and month in one or two digits ("5/3/2015" too), spaces
/// around it ignored; an invalid date when it is not one, an impossible date included.
QDate parseShortDate(const QString& text);

} // namespace vimora::text
