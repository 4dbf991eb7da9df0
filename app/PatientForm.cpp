#include "PatientForm.h"

#include "ui_PatientForm.h"

#include "RecordsTexts.h"
#include "VisitRecords.h"
#include "Wording.h"

#include <QPushButton>

#include <algorithm>

using vimora::records::FieldProblem;
using vimora::records::Patient;
using vimora::records::StoreError;
using vimora::records::Visit;

namespace {

const QColor kProblemColour(176, 0, 0);

} // namespace

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
        palette.setColor(QPalette::WindowText, kProblemColour);
        label->setPalette(palette);
        label->hide();
    }

    m_ui->edNom->setText(m_patient.nom);
    m_ui->edPrenom->setText(m_patient.prenom);
    m_ui->rbFeminin->setChecked(m_patient.sexe == vimora::Sex::Female);
    if (m_patient.naissance.isValid())
        m_ui->edNaissance->setText(vimora::chart::shortDate(m_patient.naissance));
    m_ui->edDossier->setText(m_patient.dossier);
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
    typed.naissance = RecordsTexts::parseShortDate(m_ui->edNaissance->text().trimmed());
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
                problem.message =
                    QStringLiteral("« %1 » n'est pas une date : tapez-la sous la forme JJ/MM/AAAA.")
                        .arg(typedBirth);
        }
    }
    for (const FieldProblem& problem : problems)
        showProblem(row(problem.field), problem.message);
    if (!problems.empty()) {
        row(problems.front().field).field->setFocus(Qt::OtherFocusReason);
        return;
    }

    try {
        m_patient = changed.id == 0 ? m_store.addPatient(changed) : m_store.updatePatient(changed);
    } catch (const StoreError& error) {
        const bool dossierTaken =
            error.kind() == StoreError::Kind::Invalid && error.message().contains(QLatin1String("dossier"));
        showProblem(dossierTaken ? row(Field::Dossier) : FieldRow{m_ui->lblStoreProblem, nullptr},
                    error.message());
        return;
    }
    QDialog::accept();
}
