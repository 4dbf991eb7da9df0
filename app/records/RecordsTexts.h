#pragma once

#include "records/PatientStore.h"

#include <QString>

#include <functional>

class QWidget;

// How the records' windows and sheet write a patient and a date.
namespace RecordsTexts {

/// "Jeanne Dupont": the first name, then the name, as typed.
QString patientName(const vimora::records::Patient& patient);
/// "né le 05/03/2015", "née le 05/03/2015".
QString bornOn(const vimora::records::Patient& patient);

/// Runs `work`, a use of the records by a window; a failure of the records is shown in the error
/// box over `parent`, whatever the window and whenever it happens. Answers false when it failed.
bool runOnRecords(QWidget* parent, const std::function<void()>& work);

} // namespace RecordsTexts
