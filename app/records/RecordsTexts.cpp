#include "RecordsTexts.h"

#include "platform/qt/MessageBoxes.h"
#include "text/FrenchDates.h"

namespace RecordsTexts {

QString patientName(const vimora::records::Patient& patient) {
    const QString first = patient.prenom.trimmed();
    const QString last = patient.nom.trimmed();
    return first.isEmpty() ? last : first + QLatin1Char(' ') + last;
}

QString bornOn(const vimora::records::Patient& patient) {
    return (patient.sexe == vimora::Sex::Male ? QStringLiteral("né le %1") : QStringLiteral("née le %1"))
        .arg(vimora::text::shortDate(patient.naissance));
}

bool runOnRecords(QWidget* parent, const std::function<void()>& work) {
    try {
        work();
        return true;
    } catch (const vimora::records::StoreError& error) {
        MessageBoxes::showError(parent, error.message());
    } catch (const std::exception& error) {
        // Nothing may escape into Qt's event loop.
        MessageBoxes::showError(parent, QString::fromUtf8(error.what()));
    }
    return false;
}

} // namespace RecordsTexts
