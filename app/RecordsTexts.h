#pragma once

#include "PatientStore.h"

#include <QDate>
#include <QString>

#include <functional>

class QWidget;

// How the records' windows and sheet write a patient and a date.
namespace RecordsTexts {

/// "Jeanne Dupont": the first name, then the name, as typed.
QString patientName(const vimora::records::Patient& patient);
/// The date typed as JJ/MM/AAAA (or J/M/AAAA); an invalid date when it is not one.
QDate parseShortDate(const QString& text);
/// "né le 05/03/2015", "née le 05/03/2015".
QString bornOn(const vimora::records::Patient& patient);

/// Runs `work`, a use of the records by a window; a failure of the records is shown in the error
/// box over `parent`, whatever the window and whenever it happens. Answers false when it failed.
bool runOnRecords(QWidget* parent, const std::function<void()>& work);

} // namespace RecordsTexts
