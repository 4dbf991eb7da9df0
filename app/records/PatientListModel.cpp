#include "PatientListModel.h"

#include "RecordsTexts.h"
#include "chart/Wording.h"
#include "text/FrenchDates.h"

#include <QSet>

#include <algorithm>
#include <array>
#include <utility>

using vimora::records::PatientSort;
using vimora::records::PatientSummary;
using vimora::records::StoreError;

namespace {

// A few screens of rows: the first page shows the list, each further one follows the scroll bar.
constexpr int kPageRows = 200;

// What the list shows for a patient without a current alert.
const QString kNoAlert = QStringLiteral("—");

QString columnText(const PatientSummary& summary, int column) {
    switch (column) {
    case PatientListModel::Nom:
        return summary.patient.nom;
    case PatientListModel::Prenom:
        return summary.patient.prenom;
    case PatientListModel::Naissance:
        return vimora::text::shortDate(summary.patient.naissance);
    case PatientListModel::Dossier:
        return summary.patient.dossier;
    case PatientListModel::LastVisit:
        return summary.lastVisit.isValid() ? vimora::text::shortDate(summary.lastVisit) : QString();
    case PatientListModel::LastResult:
        return summary.lastResult;
    case PatientListModel::Alerts:
        return summary.alerts.isEmpty() ? kNoAlert : summary.alerts.join(QStringLiteral(", "));
    default:
        return {};
    }
}

constexpr std::array<PatientSort, PatientListModel::ColumnCount> kSortOf{
    PatientSort::Name,      PatientSort::Prenom,     PatientSort::Naissance, PatientSort::Dossier,
    PatientSort::LastVisit, PatientSort::LastResult, PatientSort::Alerts};

} // namespace

PatientListModel::PatientListModel(vimora::records::PatientStore& store, QObject* parent)
    : QAbstractTableModel(parent)
    , m_store(store) {}

std::vector<vimora::records::Patient> PatientListModel::reload() {
    const std::vector<PatientSummary> before = m_patients;
    readFirst(m_patients.size());
    QSet<qint64> kept;
    for (const PatientSummary& summary : m_patients)
        kept.insert(summary.patient.id);
    // A patient held before may only have moved beyond the rows read again.
    std::vector<vimora::records::Patient> gone;
    for (const PatientSummary& summary : before) {
        if (!kept.contains(summary.patient.id) && !m_store.patient(summary.patient.id))
            gone.push_back(summary.patient);
    }
    return gone;
}

void PatientListModel::setSearch(const QString& search) {
    if (search == m_query.search)
        return;
    m_query.search = search;
    readFirst(0);
}

void PatientListModel::setAlertsOnly(bool alertsOnly) {
    if (alertsOnly == m_query.alertsOnly)
        return;
    m_query.alertsOnly = alertsOnly;
    readFirst(0);
}

const PatientSummary& PatientListModel::summary(int row) const {
    return m_patients.at(static_cast<std::size_t>(row));
}

std::optional<int> PatientListModel::heldRowOf(qint64 patientId) const {
    const auto held = std::ranges::find_if(
        m_patients, [patientId](const PatientSummary& summary) { return summary.patient.id == patientId; });
    if (held == m_patients.end())
        return std::nullopt;
    return static_cast<int>(held - m_patients.begin());
}

std::optional<int> PatientListModel::rowOf(qint64 patientId) {
    if (const std::optional<int> held = heldRowOf(patientId); held || m_complete)
        return held;
    const std::optional<int> row = m_store.patientRow(m_query, patientId);
    if (!row)
        return std::nullopt;
    if (std::size_t(*row) >= m_patients.size())
        readPage(std::size_t(*row) + 1 - m_patients.size());
    return heldRowOf(patientId);
}

std::optional<StoreError> PatientListModel::takeFailure() {
    return std::exchange(m_failure, std::nullopt);
}

int PatientListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_patients.size());
}

int PatientListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant PatientListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || role != Qt::DisplayRole)
        return {};
    return columnText(summary(index.row()), index.column());
}

QVariant PatientListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const std::array<QString, ColumnCount> titles{
        QStringLiteral("Nom"),
        QStringLiteral("Prénom"),
        QStringLiteral("Né(e) le"),
        QStringLiteral("Dossier"),
        QStringLiteral("Dernière consultation"),
        QStringLiteral("Dernier résultat"),
        QStringLiteral("Alertes"),
    };
    return section >= 0 && section < ColumnCount ? titles.at(static_cast<std::size_t>(section)) : QVariant();
}

void PatientListModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= ColumnCount)
        return;
    m_query.sort = kSortOf.at(static_cast<std::size_t>(column));
    m_query.descending = order == Qt::DescendingOrder;
    // Called by the view when its header is clicked: told as fetchMore() tells.
    try {
        readFirst(0);
    } catch (const StoreError& error) {
        m_failure = error;
        emit fetchFailed();
    }
}

bool PatientListModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && !m_complete && !m_failure;
}

// Called by the view while it paints or scrolls: a failure is kept for the dialog to tell once
// the view is done, and no more rows are fetched until the list is read again.
void PatientListModel::fetchMore(const QModelIndex& parent) {
    if (!canFetchMore(parent))
        return;
    try {
        readPage();
    } catch (const StoreError& error) {
        m_failure = error;
        emit fetchFailed();
    }
}

void PatientListModel::readPage(std::size_t rows) {
    const int count = static_cast<int>(std::max(rows, std::size_t(kPageRows)));
    std::vector<PatientSummary> page =
        m_store.patientPage(m_query, static_cast<int>(m_patients.size()), count);
    m_complete = page.size() < std::size_t(count);
    if (page.empty())
        return;
    const int first = static_cast<int>(m_patients.size());
    beginInsertRows({}, first, first + static_cast<int>(page.size()) - 1);
    m_patients.insert(m_patients.end(), std::make_move_iterator(page.begin()),
                      std::make_move_iterator(page.end()));
    endInsertRows();
}

void PatientListModel::readFirst(std::size_t rows) {
    const int count = static_cast<int>(std::max(rows, std::size_t(kPageRows)));
    std::vector<PatientSummary> patients = m_store.patientPage(m_query, 0, count);
    beginResetModel();
    m_patients = std::move(patients);
    m_complete = m_patients.size() < std::size_t(count);
    m_failure.reset();
    endResetModel();
}
