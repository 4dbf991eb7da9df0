#pragma once

#include "records/PatientStore.h"

#include <QDialog>

#include <memory>

class QLabel;

namespace Ui {
class PatientForm;
}

// "Nouveau patient..." and "Modifier...": nom (required), prénom, sexe, date of birth (typed
// JJ/MM/AAAA), dossier. Each refusal is written in French next to its field; nothing is written
// to the records until the whole form is valid. Correcting the birth date or sex of a patient who
// has visits says first how many of them the store will judge again differently.
class PatientForm : public QDialog {
    Q_OBJECT

public:
    /// A new patient when `patient.id` is 0, else the stored patient to change.
    PatientForm(vimora::records::PatientStore& store, vimora::records::Patient patient,
                QWidget* parent = nullptr);
    ~PatientForm() override;

    /// The patient as stored, once the form was accepted.
    const vimora::records::Patient& patient() const { return m_patient; }

    /// Checks the fields and writes the patient; stays open with the reasons when refused.
    void accept() override;

private:
    /// A field and the label that says what is wrong with it.
    struct FieldRow {
        QLabel* problem;
        QWidget* field;
    };
    FieldRow row(vimora::records::FieldProblem::Field field) const;
    static void showProblem(const FieldRow& row, const QString& problem);
    void showPatient();
    /// Shows the patient as stored now, after another workstation changed or deleted them.
    void reload();
    /// Asks before creating a patient of the same nom, prénom and date of birth as a stored one
    /// (case and accents ignored); answers true when there is none or the user confirms.
    bool confirmedDespiteHomonyms(const vimora::records::Patient& patient);
    /// The patient as the fields give it.
    vimora::records::Patient typedPatient() const;
    /// Says how many visits the birth date and sex typed would judge differently.
    void showReevaluation();

    std::unique_ptr<Ui::PatientForm> m_ui;
    vimora::records::PatientStore& m_store;
    vimora::records::Patient m_patient;
    std::vector<vimora::records::Visit> m_visits; ///< of the patient changed, as stored when opened
};
