#include "RecordsTexts.h"

#include "MessageBoxes.h"
#include "Wording.h"

#include <QStringList>

namespace RecordsTexts {

QString patientName(const vimora::records::Patient& patient) {
    const QString first = patient.prenom.trimmed();
    const QString last = patient.nom.trimmed();
    return first.isEmpty() ? last : first + QLatin1Char(' ') + last;
}

QDate parseShortDate(const QString& text) {
    const QStringList parts = text.trimmed().split(QLatin1Char('/'));
    if (parts.size() != 3 || parts[2].size() != 4)
        return {};
    bool dayOk = false;
    bool monthOk = false;
    bool yearOk = false;
    const int day = parts[0].toInt(&dayOk);
    const int month = parts[1].toInt(&monthOk);
    const int year = parts[2].toInt(&yearOk);
    if (!dayOk || !monthOk || !yearOk || parts[0].size() > 2 || parts[1].size() > 2)
        return {};
    return {year, month, day};
}

QString bornOn(const vimora::records::Patient& patient) {
    return (patient.sexe == vimora::Sex::Male ? QStringLiteral("né le %1") : QStringLiteral("née le %1"))
        .arg(vimora::chart::shortDate(patient.naissance));
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
