#include "PatientForm.h"

#include "ui_PatientForm.h"

#include "RecordsTexts.h"
#include "chart/ChartColours.h"
#include "platform/qt/MessageBoxes.h"
#include "records/VisitRecords.h"
#include "text/FrenchDates.h"

#include <QPushButton>

#include <algorithm>

using vimora::records::FieldProblem;
using vimora::records::Patient;
using vimora::records::StoreError;
using vimora::records::Visit;

PatientForm::PatientForm(vimora::records::PatientStore& store, Patient patient, QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::PatientForm>())
    , m_store(store)
    , m_patient(std::move(patient)) {
    m_ui->setupUi(this);
    setWindowTitle(m_patient.id == 0 ? QStringLiteral("Nouveau patient")
                                     : QStringLiteral("Modifier le patient"));
    m_ui->buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&Enregistrer"));
    m_ui->buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("&Annuler"));
    for (QLabel* label : {m_ui->lblNomProblem, m_ui->lblPrenomProblem, m_ui->lblNaissanceProblem,
                          m_ui->lblDossierProblem, m_ui->lblStoreProblem}) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, vimora::chart::kWarningColour);
        label->setPalette(palette);
        label->hide();
    }

    showPatient();
    m_ui->edNom->setFocus();
    m_ui->lblReevaluation->hide();

    if (m_patient.id != 0) {
        m_visits = m_store.visits(m_patient.id);
        connect(m_ui->edNaissance, &QLineEdit::textChanged, this, &PatientForm::showReevaluation);
        connect(m_ui->rbFeminin, &QRadioButton::toggled, this, &PatientForm::showReevaluation);
    }
    connect(m_ui->buttons, &QDialogButtonBox::accepted, this, &PatientForm::accept);
    connect(m_ui->buttons, &QDialogButtonBox::rejected, this, &PatientForm::reject);
}

PatientForm::~PatientForm() = default;

void PatientForm::showPatient() {
    m_ui->edNom->setText(m_patient.nom);
    m_ui->edPrenom->setText(m_patient.prenom);
    (m_patient.sexe == vimora::Sex::Female ? m_ui->rbFeminin : m_ui->rbMasculin)->setChecked(true);
    m_ui->edNaissance->setText(m_patient.naissance.isValid() ? vimora::text::shortDate(m_patient.naissance)
                                                             : QString());
    m_ui->edDossier->setText(m_patient.dossier);
}

void PatientForm::reload() {
    try {
        const std::optional<Patient> stored = m_store.patient(m_patient.id);
        if (!stored) {
            m_ui->buttons->button(QDialogButtonBox::Ok)->setEnabled(false);
            return;
        }
        m_patient = *stored;
        // The visits too: the count of those a correction would judge again rests on them.
        m_visits = m_store.visits(m_patient.id);
        showPatient();
        showReevaluation();
    } catch (const StoreError& error) {
        showProblem({m_ui->lblStoreProblem, nullptr}, error.message());
    }
}

bool PatientForm::confirmedDespiteHomonyms(const Patient& patient) {
    QStringList existing;
    for (const Patient& other : m_store.namesakes(patient)) {
        const QString dossier =
            other.dossier.isEmpty() ? QString() : QStringLiteral(" (dossier %1)").arg(other.dossier);
        existing << QStringLiteral("Un patient %1 %2, %3, existe déjà%4.")
                        .arg(other.nom, other.prenom, RecordsTexts::bornOn(other), dossier);
    }
    if (existing.isEmpty())
        return true;
    return MessageBoxes::ask(this, existing.join(QLatin1Char('\n')) +
                                       QStringLiteral("\n\nCréer quand même ce nouveau patient ?"));
}

PatientForm::FieldRow PatientForm::row(FieldProblem::Field field) const {
    switch (field) {
    case FieldProblem::Field::Nom:
        return {m_ui->lblNomProblem, m_ui->edNom};
    case FieldProblem::Field::Prenom:
        return {m_ui->lblPrenomProblem, m_ui->edPrenom};
    case FieldProblem::Field::Naissance:
        return {m_ui->lblNaissanceProblem, m_ui->edNaissance};
    case FieldProblem::Field::Dossier:
        break;
    }
    return {m_ui->lblDossierProblem, m_ui->edDossier};
}

void PatientForm::showProblem(const FieldRow& row, const QString& problem) {
    row.problem->setText(problem);
    row.problem->setVisible(!problem.isEmpty());
    // A screen reader reads the reason with the field.
    if (row.field != nullptr)
        row.field->setAccessibleDescription(problem);
}

Patient PatientForm::typedPatient() const {
    Patient typed = m_patient;
    typed.nom = m_ui->edNom->text().trimmed();
    typed.prenom = m_ui->edPrenom->text().trimmed();
    typed.sexe = m_ui->rbFeminin->isChecked() ? vimora::Sex::Female : vimora::Sex::Male;
    typed.dossier = m_ui->edDossier->text().trimmed();
    typed.naissance = vimora::text::parseShortDate(m_ui->edNaissance->text().trimmed());
    return typed;
}

void PatientForm::showReevaluation() {
    const Patient corrected = typedPatient();
    QString note;
    const bool identityChanged =
        corrected.sexe != m_patient.sexe || corrected.naissance != m_patient.naissance;
    const std::vector<FieldProblem> problems =
        vimora::records::patientProblems(corrected, QDate::currentDate());
    const bool birthRefused = std::any_of(problems.begin(), problems.end(), [](const FieldProblem& problem) {
        return problem.field == FieldProblem::Field::Naissance;
    });
    if (identityChanged && !birthRefused) {
        try {
            const auto changed = std::count_if(m_visits.begin(), m_visits.end(), [&](const Visit& visit) {
                return !vimora::records::sameJudgement(vimora::records::rejudged(corrected, visit), visit);
            });
            if (changed == 1)
                note = QStringLiteral("1 consultation sera réévaluée");
            else if (changed > 1)
                note = QStringLiteral("%1 consultations seront réévaluées").arg(changed);
        } catch (const StoreError& error) {
            note = error.message();
        }
    }
    m_ui->lblReevaluation->setText(note);
    m_ui->lblReevaluation->setVisible(!note.isEmpty());
}

void PatientForm::accept() {
    using Field = FieldProblem::Field;
    const Patient changed = typedPatient();
    const QString typedBirth = m_ui->edNaissance->text().trimmed();

    for (const Field field : {Field::Nom, Field::Prenom, Field::Naissance, Field::Dossier})
        showProblem(row(field), QString());
    showProblem({m_ui->lblStoreProblem, nullptr}, QString());

    std::vector<FieldProblem> problems = vimora::records::patientProblems(changed, QDate::currentDate());
    if (!typedBirth.isEmpty() && !changed.naissance.isValid()) {
        for (FieldProblem& problem : problems) {
            if (problem.field == Field::Naissance)
                problem.message = vimora::text::notADate(typedBirth);
        }
    }
    for (const FieldProblem& problem : problems)
        showProblem(row(problem.field), problem.message);
    if (!problems.empty()) {
        row(problems.front().field).field->setFocus(Qt::OtherFocusReason);
        return;
    }

    try {
        if (changed.id == 0 && !confirmedDespiteHomonyms(changed))
            return;
        m_patient = changed.id == 0 ? m_store.addPatient(changed) : m_store.updatePatient(changed);
    } catch (const StoreError& error) {
        showProblem(error.field() ? row(*error.field()) : FieldRow{m_ui->lblStoreProblem, nullptr},
                    error.message());
        if (error.kind() == StoreError::Kind::Conflict || error.kind() == StoreError::Kind::NotFound)
            reload();
        return;
    }
    QDialog::accept();
}
