#include "PatientRecords.h"

#include "RecordsDialog.h"
#include "RecordsTexts.h"
#include "chart/Wording.h"
#include "engine/Measures.h"
#include "platform/qt/MessageBoxes.h"
#include "records/VisitRecords.h"
#include "text/FrenchDates.h"

#include <QStatusBar>

using vimora::records::Patient;
using vimora::records::Visit;

namespace {

std::optional<double> number(const std::string& text) {
    try {
        return vimora::parseMeasure(text, vimora::kDecimalSeparator);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace

PatientRecords::PatientRecords(QWidget& window, QStatusBar& statusBar)
    : m_window(window)
    , m_statusBar(statusBar) {}

PatientRecords::~PatientRecords() = default;

vimora::records::PatientStore& PatientRecords::store() {
    if (!m_store)
        m_store = vimora::records::openStore(vimora::records::databaseSetting());
    return *m_store;
}

void PatientRecords::showDialog() {
    RecordsTexts::runOnRecords(&m_window, [this] {
        RecordsDialog dialog(store(), RecordsDialog::Purpose::Browse, &m_window);
        if (dialog.exec() == QDialog::Accepted && dialog.chosenPatient())
            begin(*dialog.chosenPatient());
    });
}

void PatientRecords::begin(const Patient& patient) {
    const QString age = vimora::records::ageOn(patient.naissance, QDate::currentDate());
    m_current = patient;
    emit consultationBegun(patient.sexe, age);
    m_status = QStringLiteral("Consultation : %1, %2.")
                   .arg(RecordsTexts::patientName(patient), RecordsTexts::bornOn(patient));
    m_savedShown = false;
    m_statusBar.showMessage(m_status);
}

void PatientRecords::endSaved() {
    if (!m_savedShown)
        return;
    m_savedShown = false;
    m_statusBar.showMessage(m_status);
}

bool PatientRecords::isOfPatient(const vimora::Calculation& calculation, const Patient& patient) {
    const QString name = RecordsTexts::patientName(patient);
    if (calculation.sex != patient.sexe) {
        MessageBoxes::inform(
            &m_window,
            QStringLiteral("Le calcul a été fait pour le sexe %1, mais %2 est de sexe %3 : la consultation "
                           "n'a pas été enregistrée. Choisissez le bon sexe et cliquez sur « Calculer ».")
                .arg(vimora::chart::sexName(calculation.sex).toLower(), name,
                     vimora::chart::sexName(patient.sexe).toLower()));
        return false;
    }
    const QString age = vimora::records::ageOn(patient.naissance, QDate::currentDate());
    if (number(calculation.ageText) != number(age.toStdString())) {
        MessageBoxes::inform(
            &m_window,
            QStringLiteral("Le calcul a été fait pour un âge de %1 ans, mais %2, %3, a %4 ans aujourd'hui : "
                           "la consultation n'a pas été enregistrée. Tapez %4 dans l'âge et cliquez sur "
                           "« Calculer ».")
                .arg(QString::fromStdString(calculation.ageText), name, RecordsTexts::bornOn(patient), age));
        return false;
    }
    return true;
}

void PatientRecords::saveConsultation(const vimora::Calculation& calculation) {
    RecordsTexts::runOnRecords(&m_window, [&] { save(calculation); });
}

void PatientRecords::save(const vimora::Calculation& calculation) {
    vimora::records::PatientStore& records = store();
    if (!m_current) {
        RecordsDialog dialog(records, RecordsDialog::Purpose::ChooseForSaving, &m_window);
        if (dialog.exec() != QDialog::Accepted || !dialog.chosenPatient())
            return;
        m_current = dialog.chosenPatient();
    }
    // The patient as stored now: another workstation may have changed or deleted them.
    const std::optional<Patient> patient = records.patient(m_current->id);
    if (!patient) {
        m_current.reset();
        MessageBoxes::inform(
            &m_window,
            QStringLiteral("Ce patient a été supprimé des dossiers entre-temps : la consultation n'a pas "
                           "été enregistrée."));
        return;
    }
    m_current = patient;
    if (!isOfPatient(calculation, *patient))
        return;

    const QDate today = QDate::currentDate();
    const Visit visit = vimora::records::visitFromCalculation(calculation, patient->id, today);
    const QString problem = vimora::records::visitProblem(visit);
    if (!problem.isEmpty()) {
        MessageBoxes::inform(&m_window,
                             problem + QStringLiteral(" La consultation n'a pas été enregistrée."));
        return;
    }
    const QString implausible = vimora::records::implausibility(visit);
    if (!implausible.isEmpty() &&
        !MessageBoxes::ask(&m_window,
                           implausible + QStringLiteral("\n\nEnregistrer quand même cette consultation ?")))
        return;
    records.addVisit(visit);
    m_savedShown = true;
    m_statusBar.showMessage(QStringLiteral("Consultation enregistrée : %1, le %2.")
                                .arg(RecordsTexts::patientName(*patient), vimora::text::shortDate(today)));
}
