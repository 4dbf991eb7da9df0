#include "MeasureForm.h"

#include "ui_MeasureForm.h"

#include "RecordsTexts.h"
#include "chart/ChartColours.h"
#include "engine/Measures.h"
#include "platform/qt/MessageBoxes.h"
#include "records/VisitRecords.h"
#include "text/FrenchDates.h"

#include <QPushButton>

using vimora::records::StoreError;
using vimora::records::Visit;

namespace {

// The window's fields take a point for the decimal comma; so do these.
QString measureText(const QLineEdit* field) {
    return field->text().trimmed().replace(QLatin1Char('.'), QLatin1Char(vimora::kDecimalSeparator));
}

} // namespace

MeasureForm::MeasureForm(vimora::records::PatientStore& store, vimora::records::Patient patient,
                         QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::MeasureForm>())
    , m_store(store)
    , m_patient(std::move(patient)) {
    m_ui->setupUi(this);
    m_ui->buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&Enregistrer"));
    m_ui->buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("&Annuler"));
    m_ui->lblPatient->setText(
        QStringLiteral("Mesure pour %1, %2.")
            .arg(RecordsTexts::patientName(m_patient), RecordsTexts::bornOn(m_patient)));
    QPalette palette = m_ui->lblProblem->palette();
    palette.setColor(QPalette::WindowText, vimora::chart::kWarningColour);
    m_ui->lblProblem->setPalette(palette);
    m_ui->lblProblem->hide();
    m_ui->edDate->setText(vimora::text::shortDate(QDate::currentDate()));
    m_ui->edDate->setFocus();
    connect(m_ui->buttons, &QDialogButtonBox::accepted, this, &MeasureForm::accept);
    connect(m_ui->buttons, &QDialogButtonBox::rejected, this, &MeasureForm::reject);
}

MeasureForm::~MeasureForm() = default;

void MeasureForm::showProblem(const QString& problem) {
    m_ui->lblProblem->setText(problem);
    m_ui->lblProblem->setVisible(!problem.isEmpty());
    setAccessibleDescription(problem);
}

void MeasureForm::accept() {
    showProblem(QString());
    const QString typedDate = m_ui->edDate->text().trimmed();
    const QDate date = vimora::text::parseShortDate(typedDate);
    if (!date.isValid()) {
        showProblem(vimora::text::notADate(typedDate));
        m_ui->edDate->setFocus(Qt::OtherFocusReason);
        return;
    }
    try {
        Visit visit = vimora::records::assessMeasurement(m_patient, date, measureText(m_ui->edPoids),
                                                         measureText(m_ui->edTaille));
        visit.remarque = m_ui->edRemarque->text().trimmed();
        const QString problem = vimora::records::visitProblem(visit);
        if (!problem.isEmpty()) {
            showProblem(problem);
            return;
        }
        const QString implausible = vimora::records::implausibility(visit);
        if (!implausible.isEmpty() &&
            !MessageBoxes::ask(this,
                               implausible + QStringLiteral("\n\nEnregistrer quand même cette mesure ?")))
            return;
        m_store.addVisit(visit);
    } catch (const StoreError& error) {
        showProblem(error.message());
        return;
    }
    QDialog::accept();
}
