#include "CorpulenceDialog.h"

#include "ui_CorpulenceDialog.h"

#include "app/sheets/PatientSheet.h"
#include "app/window/FieldColours.h"
#include "chart/CalculationChart.h"
#include "chart/Chart.h"
#include "chart/ChartColours.h"
#include "platform/qt/MessageBoxes.h"

namespace {

vimora::chart::Curves g_curves = vimora::chart::Curves::Reference;

} // namespace

vimora::chart::Curves rememberedCurves() {
    return g_curves;
}

void offerCurves(QComboBox& box, const std::function<void(vimora::chart::Curves)>& show) {
    box.setCurrentIndex(g_curves == vimora::chart::Curves::Who ? 1 : 0);
    QObject::connect(&box, &QComboBox::currentIndexChanged, &box, [show](int index) {
        g_curves = index == 1 ? vimora::chart::Curves::Who : vimora::chart::Curves::Reference;
        show(g_curves);
    });
}

bool haveCalculation(QWidget* parent, const vimora::Calculation* calculation) {
    if (calculation != nullptr && calculation->complete())
        return true;
    MessageBoxes::inform(parent,
                         QStringLiteral("Un calcul est d'abord nécessaire : saisissez l'âge, le poids et "
                                        "la taille du patient, puis cliquez sur « Calculer »."));
    return false;
}

CorpulenceDialog::CorpulenceDialog(vimora::Calculation calculation, QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::CorpulenceDialog>())
    , m_calculation(std::move(calculation)) {
    m_ui->setupUi(this);
    m_ui->lblWarning->setStyleSheet(
        QStringLiteral("color: %1; font-weight: bold;").arg(vimora::chart::kWarningColour.name()));
    const bool adult = vimora::isAdult(m_calculation.measures.age);
    m_ui->chartView->setAccessibleName(adult ? QStringLiteral("Échelle de corpulence de l'adulte")
                                             : QStringLiteral("Courbe de corpulence"));
    m_ui->chartView->setChart(vimora::chart::chartFor(m_calculation, rememberedCurves()));
    // An adult has one scale: no choice of curves.
    m_ui->lblCurves->setVisible(!adult);
    m_ui->cbCurves->setVisible(!adult);
    if (!adult)
        offerCurves(*m_ui->cbCurves, [this](vimora::chart::Curves chosen) {
            m_ui->chartView->setChart(vimora::chart::chartFor(m_calculation, chosen));
        });
    const QString warning = implausibilityWarning(m_calculation);
    m_ui->lblWarning->setText(warning);
    m_ui->lblWarning->setVisible(!warning.isEmpty());
    m_ui->edPatient->setText(patientSummary(m_calculation));

    const vimora::BandResult& band = m_calculation.band;
    setFieldColours(*m_ui->edBand, band.background, band.textColour);
    m_ui->edBand->setText(QString::fromStdString(band.band));
    m_ui->edAdvice->setText(QString::fromStdString(band.advice));
    m_ui->edObjective->setText(QString::fromStdString(band.objective));

    m_ui->edPatientName->setFocus();

    connect(m_ui->btnPrint, &QPushButton::clicked, this, &CorpulenceDialog::print);
    connect(m_ui->btnSavePdf, &QPushButton::clicked, this, [this] { savePdfWithDialog(this, sheet()); });
    connect(m_ui->btnClose, &QPushButton::clicked, this, &QDialog::accept);
}

CorpulenceDialog::~CorpulenceDialog() = default;

PatientSheet CorpulenceDialog::sheet() const {
    return {m_calculation, m_ui->edPatientName->text().trimmed(), m_ui->edRemark->text().trimmed(),
            QDateTime::currentDateTime(), rememberedCurves()};
}

void CorpulenceDialog::print() {
    printWithDialog(this, sheet());
}

void showCorpulenceChart(QWidget* parent, const vimora::Calculation* calculation) {
    if (!haveCalculation(parent, calculation))
        return;
    CorpulenceDialog dialog(*calculation, parent);
    dialog.exec();
}

void printPatientSheet(QWidget* parent, const vimora::Calculation* calculation) {
    if (haveCalculation(parent, calculation))
        printWithDialog(parent, PatientSheet(*calculation, QString(), QString(), QDateTime::currentDateTime(),
                                             rememberedCurves()));
}
