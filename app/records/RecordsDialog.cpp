#include "RecordsDialog.h"

#include "ui_RecordsDialog.h"

#include "MeasureForm.h"
#include "PatientForm.h"
#include "PatientListModel.h"
#include "RecordsTexts.h"
#include "TrajectoryDialog.h"
#include "app/seams/FileDialogs.h"
#include "platform/qt/MessageBoxes.h"
#include "records/RecordsTransfer.h"
#include "records/VisitRecords.h"
#include "text/FrenchDates.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QEvent>
#include <QHeaderView>
#include <QScopedValueRollback>
#include <QStandardPaths>
#include <QTimer>

#include <utility>

using vimora::records::Patient;
using vimora::records::StoreError;
using vimora::records::Visit;

namespace {

// What goes with a patient who is deleted, after their name and birth date.
QString withVisits(int count) {
    switch (count) {
    case 0:
        return QStringLiteral(" (aucune consultation)");
    case 1:
        return QStringLiteral(", et sa consultation");
    default:
        return QStringLiteral(", et ses %1 consultations").arg(count);
    }
}

// Often enough that a list follows another workstation within seconds, rarely enough that a
// server hardly notices: only while the dialog is active.
constexpr int kWatchIntervalMs = 3000;

// The status line's note on patients who vanished from the list.
QString goneNote(const std::vector<Patient>& gone) {
    if (gone.size() == 1)
        return QStringLiteral("Patient supprimé entre-temps, sur ce poste ou sur un autre : %1, %2.")
            .arg(RecordsTexts::patientName(gone.front()), RecordsTexts::bornOn(gone.front()));
    return QStringLiteral("%1 patients supprimés entre-temps, sur ce poste ou sur un autre.")
        .arg(gone.size());
}

QString documentsFile(const QString& name) {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)).filePath(name);
}

} // namespace

RecordsDialog::RecordsDialog(vimora::records::PatientStore& store, Purpose purpose, QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::RecordsDialog>())
    , m_store(store)
    , m_patients(new PatientListModel(store, this))
    , m_watch(new QTimer(this)) {
    m_ui->setupUi(this);
    const bool choosing = purpose == Purpose::ChooseForSaving;
    if (choosing)
        setWindowTitle(QStringLiteral("Dossiers patients : choisir le patient de la consultation"));
    m_ui->btnNewConsultation->setVisible(!choosing);
    m_ui->btnChoose->setVisible(choosing);
    (choosing ? m_ui->btnChoose : m_ui->btnNewConsultation)->setDefault(true);

    m_ui->lblNote->setText(m_store.readOnlyNote());
    m_ui->lblNote->setVisible(m_store.readOnly());

    m_ui->tvPatients->setModel(m_patients);
    m_ui->tvPatients->verticalHeader()->hide();
    m_ui->tvPatients->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_ui->tvPatients->horizontalHeader()->setStretchLastSection(true);
    m_ui->tvPatients->horizontalHeader()->setSortIndicatorShown(true);
    // The store's order (nom, prénom, date of birth) until a column is clicked.
    m_ui->tvPatients->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    for (const auto& [column, width] : {std::pair{PatientListModel::Nom, 150},
                                        {PatientListModel::Prenom, 110},
                                        {PatientListModel::Naissance, 80},
                                        {PatientListModel::Dossier, 70},
                                        {PatientListModel::LastVisit, 165},
                                        {PatientListModel::LastResult, 150}})
        m_ui->tvPatients->setColumnWidth(column, width);

    m_ui->twVisits->setColumnCount(8);
    m_ui->twVisits->setHorizontalHeaderLabels({QStringLiteral("Date"), QStringLiteral("Âge"),
                                               QStringLiteral("Poids"), QStringLiteral("Taille"),
                                               QStringLiteral("IMC"), QStringLiteral("Z OMS"),
                                               QStringLiteral("Percentile"), QStringLiteral("Résultat")});
    m_ui->twVisits->verticalHeader()->hide();
    m_ui->twVisits->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_ui->twVisits->horizontalHeader()->setStretchLastSection(true);

    connect(m_ui->edSearch, &QLineEdit::textChanged, this,
            [this](const QString& text) { filter([this, text] { m_patients->setSearch(text); }); });
    connect(m_ui->cbAlertsOnly, &QCheckBox::toggled, this, [this](bool alertsOnly) {
        filter([this, alertsOnly] { m_patients->setAlertsOnly(alertsOnly); });
    });
    // The selected patient stays selected when the list is read again, if among the rows read: a
    // keystroke or a sort reads no further.
    connect(m_patients, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        const std::optional<Patient> selected = selectedPatient();
        m_reselect = selected ? selected->id : 0;
    });
    connect(m_patients, &QAbstractItemModel::modelReset, this, [this] {
        if (const std::optional<int> row = m_patients->heldRowOf(std::exchange(m_reselect, 0)))
            m_ui->tvPatients->selectRow(*row);
    });
    // Told once the view is done fetching, outside its painting.
    connect(
        m_patients, &PatientListModel::fetchFailed, this,
        [this] {
            if (std::optional<StoreError> failure = m_patients->takeFailure())
                guard([&failure] { throw *failure; });
        },
        Qt::QueuedConnection);
    connect(m_ui->tvPatients->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        guard([this] {
            showVisits();
            updateButtons();
        });
    });
    connect(m_ui->tvPatients, &QAbstractItemView::doubleClicked, this,
            [this] { (m_ui->btnChoose->isVisible() ? m_ui->btnChoose : m_ui->btnNewConsultation)->click(); });
    connect(m_ui->twVisits, &QTableWidget::itemSelectionChanged, this, &RecordsDialog::updateButtons);

    auto bind = [this](QPushButton* button, void (RecordsDialog::*command)()) {
        connect(button, &QPushButton::clicked, this,
                [this, command] { run([this, command] { (this->*command)(); }); });
    };
    bind(m_ui->btnNewPatient, &RecordsDialog::newPatient);
    bind(m_ui->btnEditPatient, &RecordsDialog::editPatient);
    bind(m_ui->btnDeletePatient, &RecordsDialog::deletePatient);
    bind(m_ui->btnNewConsultation, &RecordsDialog::choosePatient);
    bind(m_ui->btnChoose, &RecordsDialog::choosePatient);
    bind(m_ui->btnAddMeasure, &RecordsDialog::addMeasure);
    bind(m_ui->btnTrajectory, &RecordsDialog::showTrajectory);
    bind(m_ui->btnDeleteVisit, &RecordsDialog::deleteVisit);
    bind(m_ui->btnExport, &RecordsDialog::exportVisits);
    bind(m_ui->btnBackup, &RecordsDialog::backup);
    connect(m_ui->btnClose, &QPushButton::clicked, this, &QDialog::reject);

    auto* reload = new QAction(this);
    reload->setShortcut(QKeySequence(Qt::Key_F5));
    addAction(reload);
    connect(reload, &QAction::triggered, this, [this] { run([this] { refresh(); }); });

    m_watch->setInterval(kWatchIntervalMs);
    connect(m_watch, &QTimer::timeout, this, &RecordsDialog::refreshIfChanged);

    {
        // Records that cannot be read are told by whoever opens the dialog: it is not shown.
        const QScopedValueRollback loading(m_running, true);
        m_stamp = m_store.changeStamp();
        m_patients->reload();
        if (m_patients->rowCount() > 0)
            m_ui->tvPatients->selectRow(0);
    }
    if (m_failure)
        throw *m_failure;
    updateButtons();
    m_ui->edSearch->setFocus();
}

RecordsDialog::~RecordsDialog() = default;

void RecordsDialog::run(const std::function<void()>& command) {
    if (!m_running)
        m_ui->lblStatus->clear();
    guard(command);
}

void RecordsDialog::guard(const std::function<void()>& work) {
    if (m_running) {
        try {
            work();
        } catch (const StoreError& error) {
            if (!m_failure)
                m_failure = error;
        }
        return;
    }
    const QScopedValueRollback running(m_running, true);
    m_failure.reset();
    const bool done = RecordsTexts::runOnRecords(this, [&] {
        work();
        if (m_failure)
            throw *m_failure;
    });
    if (!done) {
        // What the records hold now, whatever the command managed to do; a failure again is the
        // one the box just told.
        try {
            refresh();
        } catch (const StoreError&) {
            // The box already said why the records cannot be read.
        }
    }
    m_failure.reset();
}

void RecordsDialog::refresh() {
    reload(0);
}

void RecordsDialog::reload(qint64 deletedHere) {
    const std::optional<Patient> selected = selectedPatient();
    // Read first: a change made while the patients are read is seen by the next look.
    m_stamp = m_store.changeStamp();
    std::vector<Patient> gone = m_patients->reload();
    std::erase_if(gone, [deletedHere](const Patient& patient) { return patient.id == deletedHere; });
    if (!gone.empty())
        m_ui->lblStatus->setText(goneNote(gone));
    if (selected)
        selectPatient(selected->id);
    showVisits();
    updateButtons();
}

void RecordsDialog::filter(const std::function<void()>& change) {
    guard([this, &change] {
        change();
        // The first patient found is chosen, so that Enter starts their consultation.
        if (!m_ui->tvPatients->selectionModel()->hasSelection() && m_patients->rowCount() > 0)
            m_ui->tvPatients->selectRow(0);
        if (!m_ui->tvPatients->selectionModel()->hasSelection())
            showVisits();
        updateButtons();
    });
}

void RecordsDialog::refreshIfChanged() {
    // A command's own dialogs and boxes take the activation away and give it back: the command
    // reads the records again itself, once it is done with what it holds.
    if (m_running)
        return;
    const QScopedValueRollback running(m_running, true);
    try {
        if (m_store.changeStamp() != m_stamp)
            refresh();
    } catch (const StoreError&) {
        // Told by the next command the user runs, rather than by a box every few seconds.
    }
    m_failure.reset();
}

void RecordsDialog::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() != QEvent::ActivationChange)
        return;
    if (isActiveWindow()) {
        refreshIfChanged();
        m_watch->start();
    } else {
        m_watch->stop();
    }
}

std::optional<Patient> RecordsDialog::selectedPatient() const {
    const QModelIndexList rows = m_ui->tvPatients->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return std::nullopt;
    return m_patients->summary(rows.front().row()).patient;
}

void RecordsDialog::selectPatient(qint64 patientId) {
    const std::optional<int> row = m_patients->rowOf(patientId);
    if (!row) {
        m_ui->tvPatients->clearSelection();
        return;
    }
    m_ui->tvPatients->selectRow(*row);
    m_ui->tvPatients->scrollTo(m_patients->index(*row, 0));
}

void RecordsDialog::showVisits() {
    const std::optional<Patient> patient = selectedPatient();
    const int current = m_ui->twVisits->currentRow();
    const qint64 shownVisit =
        current >= 0 && current < static_cast<int>(m_visits.size()) ? m_visits[std::size_t(current)].id : 0;
    m_visits = patient ? m_store.visits(patient->id) : std::vector<Visit>();
    m_ui->twVisits->clearContents();
    m_ui->twVisits->setRowCount(static_cast<int>(m_visits.size()));
    for (int row = 0; row < static_cast<int>(m_visits.size()); ++row) {
        const Visit& visit = m_visits[static_cast<std::size_t>(row)];
        const std::optional<vimora::WhoScore> who = vimora::records::whoScoreOf(*patient, visit);
        const std::array<QString, 8> cells{
            vimora::text::shortDate(visit.date),
            visit.age,
            visit.poids,
            visit.taille,
            visit.imc,
            who ? QString::fromStdString(vimora::whoZText(who->z)) : QString(),
            who ? QString::fromStdString(vimora::whoPercentileDisplay(who->percentile)) : QString(),
            visit.resultat};
        for (int column = 0; column < 8; ++column)
            m_ui->twVisits->setItem(row, column,
                                    new QTableWidgetItem(cells.at(static_cast<std::size_t>(column))));
        if (visit.id == shownVisit)
            m_ui->twVisits->selectRow(row);
    }
}

void RecordsDialog::updateButtons() {
    const bool patient = m_ui->tvPatients->selectionModel()->hasSelection();
    for (QPushButton* button : {m_ui->btnEditPatient, m_ui->btnDeletePatient, m_ui->btnNewConsultation,
                                m_ui->btnChoose, m_ui->btnAddMeasure, m_ui->btnTrajectory})
        button->setEnabled(patient);
    m_ui->btnDeleteVisit->setEnabled(patient && !m_ui->twVisits->selectedItems().isEmpty());
}

void RecordsDialog::newPatient() {
    PatientForm form(m_store, Patient(), this);
    if (form.exec() != QDialog::Accepted)
        return;
    // The new patient is shown, whatever the search.
    m_ui->edSearch->clear();
    refresh();
    selectPatient(form.patient().id);
}

void RecordsDialog::onSelectedPatient(const std::function<void(const Patient&)>& command) {
    if (const std::optional<Patient> patient = selectedPatient())
        command(*patient);
}

void RecordsDialog::editPatient() {
    onSelectedPatient([this](const Patient& patient) {
        PatientForm form(m_store, patient, this);
        form.exec();
        // Even when cancelled: the form may have shown another workstation's changes.
        refresh();
    });
}

void RecordsDialog::deletePatient() {
    onSelectedPatient([this](const Patient& patient) {
        const QString question =
            QStringLiteral("Supprimer le patient %1, %2%3 ? Cette suppression est définitive.")
                .arg(RecordsTexts::patientName(patient), RecordsTexts::bornOn(patient),
                     withVisits(static_cast<int>(m_visits.size())));
        if (!MessageBoxes::ask(this, question))
            return;
        m_store.deletePatient(patient.id);
        reload(patient.id);
    });
}

void RecordsDialog::choosePatient() {
    onSelectedPatient([this](const Patient& patient) {
        m_chosen = patient;
        accept();
    });
}

void RecordsDialog::addMeasure() {
    onSelectedPatient([this](const Patient& patient) {
        MeasureForm form(m_store, patient, this);
        if (form.exec() == QDialog::Accepted)
            refresh();
    });
}

void RecordsDialog::showTrajectory() {
    onSelectedPatient([this](const Patient& patient) {
        TrajectoryDialog dialog(patient, m_visits, this);
        dialog.exec();
    });
}

void RecordsDialog::deleteVisit() {
    onSelectedPatient([this](const Patient& patient) {
        const int row = m_ui->twVisits->currentRow();
        if (row < 0 || row >= static_cast<int>(m_visits.size()))
            return;
        const Visit& visit = m_visits[static_cast<std::size_t>(row)];
        const QString question =
            QStringLiteral(
                "Supprimer la consultation du %1 (IMC %2) pour %3 ? Cette suppression est définitive.")
                .arg(vimora::text::shortDate(visit.date), visit.imc, RecordsTexts::patientName(patient));
        if (!MessageBoxes::ask(this, question))
            return;
        m_store.deleteVisit(visit.id);
        refresh();
    });
}

void RecordsDialog::exportVisits() {
    const QString path = FileDialogs::askSaveFileName(
        this, {QStringLiteral("Exporter les consultations"),
               documentsFile(
                   QStringLiteral("Consultations %1.csv").arg(QDate::currentDate().toString(Qt::ISODate))),
               QStringLiteral("Fichiers CSV (*.csv)")});
    if (path.isEmpty())
        return;
    vimora::records::exportVisitsToFile(m_store, path);
    MessageBoxes::inform(this, QStringLiteral("Toutes les consultations ont été exportées dans « %1 ».")
                                   .arg(QDir::toNativeSeparators(path)));
}

void RecordsDialog::backup() {
    const QString path = FileDialogs::askSaveFileName(
        this,
        {QStringLiteral("Sauvegarder les dossiers"),
         documentsFile(
             QStringLiteral("Sauvegarde dossiers %1.sqlite").arg(QDate::currentDate().toString(Qt::ISODate))),
         QStringLiteral("Bases SQLite (*.sqlite)")});
    if (path.isEmpty())
        return;
    m_store.backup(path);
    MessageBoxes::inform(
        this,
        QStringLiteral("Les dossiers ont été sauvegardés dans « %1 ».").arg(QDir::toNativeSeparators(path)));
}
