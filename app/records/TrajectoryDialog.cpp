#include "TrajectoryDialog.h"

#include "ui_TrajectoryDialog.h"

#include "RecordsTexts.h"
#include "app/charts/ChartView.h"
#include "app/charts/CorpulenceDialog.h"
#include "chart/Chart.h"
#include "chart/ChartColours.h"
#include "chart/Trajectory.h"
#include "records/VisitRecords.h"
#include "text/FrenchDates.h"

#include <QTabBar>

TrajectoryDialog::TrajectoryDialog(const vimora::records::Patient& patient,
                                   const std::vector<vimora::records::Visit>& visits, QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::TrajectoryDialog>())
    , m_patient(patient)
    , m_visits(visits)
    , m_sheet(patient, visits, QDateTime::currentDateTime(), rememberedCurves()) {
    m_ui->setupUi(this);
    setWindowTitle(QStringLiteral("Courbe de corpulence : %1").arg(RecordsTexts::patientName(patient)));
    QString identity =
        QStringLiteral("%1, %2").arg(RecordsTexts::patientName(patient), RecordsTexts::bornOn(patient));
    if (!patient.dossier.isEmpty())
        identity += QStringLiteral(", dossier %1").arg(patient.dossier);
    const std::size_t count = visits.size();
    identity += count == 0   ? QStringLiteral(" : aucune consultation.")
                : count == 1 ? QStringLiteral(" : une consultation.")
                             : QStringLiteral(" : %1 consultations.").arg(count);
    // The visits come newest first.
    if (count > 0) {
        const vimora::records::Visit& latest = visits.front();
        identity += QStringLiteral(" Dernière, le %1 : IMC %2, %3")
                        .arg(vimora::text::shortDate(latest.date), latest.imc, latest.resultat);
    }
    m_ui->lblPatient->setText(identity);

    const std::vector<vimora::TrajectoryAlert> alerts = vimora::records::alertsOf(visits);
    QString shown;
    for (const vimora::TrajectoryAlert& alert : alerts) {
        shown += QStringLiteral("<p><b style=\"color:%1\">%2</b> : %3</p>")
                     .arg(vimora::chart::kWarningColour.name(),
                          QString::fromStdString(alert.title).toHtmlEscaped(),
                          QString::fromStdString(alert.detail).toHtmlEscaped());
    }
    m_ui->lblAlerts->setText(alerts.empty() ? QStringLiteral("Aucune alerte.") : shown);

    showCharts(rememberedCurves());
    // The choice of curves is a child's: an adult's visits have one chart.
    const std::vector<vimora::TrajectoryPoint> points = vimora::records::trajectoryOf(visits);
    const bool child = std::any_of(points.begin(), points.end(), [](const vimora::TrajectoryPoint& point) {
        return !vimora::isAdult(point.age);
    });
    m_ui->lblCurves->setVisible(child);
    m_ui->cbCurves->setVisible(child);
    if (child)
        offerCurves(*m_ui->cbCurves, [this](vimora::chart::Curves chosen) {
            m_sheet = PatientRecordSheet(m_patient, m_visits, QDateTime::currentDateTime(), chosen);
            showCharts(chosen);
        });

    connect(m_ui->btnPrint, &QPushButton::clicked, this, [this] { printWithDialog(this, m_sheet); });
    connect(m_ui->btnSavePdf, &QPushButton::clicked, this, [this] { savePdfWithDialog(this, m_sheet); });
    connect(m_ui->btnClose, &QPushButton::clicked, this, &QDialog::accept);
    m_ui->btnClose->setFocus();
}

TrajectoryDialog::~TrajectoryDialog() = default;

void TrajectoryDialog::showCharts(vimora::chart::Curves curves) {
    const int shown = m_ui->tabCharts->currentIndex();
    while (m_ui->tabCharts->count() > 0) {
        QWidget* page = m_ui->tabCharts->widget(0);
        m_ui->tabCharts->removeTab(0);
        delete page;
    }
    for (std::unique_ptr<vimora::chart::Chart>& chart :
         vimora::chart::trajectoryCharts(m_patient.sexe, trajectoryVisits(m_visits), curves)) {
        auto* view = new ChartView(m_ui->tabCharts);
        const bool adult = dynamic_cast<const vimora::chart::AdultTrajectory*>(chart.get()) != nullptr;
        view->setAccessibleName(adult ? QStringLiteral("IMC de l'adulte au fil des consultations")
                                      : QStringLiteral("Trajectoire sur la courbe de corpulence"));
        view->setChart(std::move(chart));
        m_ui->tabCharts->addTab(view, adult ? QStringLiteral("Adulte") : QStringLiteral("Enfant"));
    }
    m_ui->tabCharts->tabBar()->setVisible(m_ui->tabCharts->count() > 1);
    m_ui->tabCharts->setCurrentIndex(std::max(shown, 0));
}
