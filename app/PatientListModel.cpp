#include "PatientListModel.h"

#include "RecordsTexts.h"
#include "text/FrenchDates.h"

#include <QCollator>
#include <QLocale>
#include <QSet>

#include <algorithm>
#include <array>

using vimora::records::PatientSummary;

namespace {

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
    default:
        return {};
    }
}

bool isDateColumn(int column) {
    return column == PatientListModel::Naissance || column == PatientListModel::LastVisit;
}

} // namespace

PatientListModel::PatientListModel(QObject* parent)
    : QAbstractTableModel(parent) {}

std::vector<vimora::records::Patient> PatientListModel::setPatients(std::vector<PatientSummary> patients) {
    QSet<qint64> kept;
    for (const PatientSummary& summary : patients)
        kept.insert(summary.patient.id);
    std::vector<vimora::records::Patient> gone;
    for (const PatientSummary& summary : m_patients) {
        if (!kept.contains(summary.patient.id))
            gone.push_back(summary.patient);
    }
    beginResetModel();
    m_patients = std::move(patients);
    m_textKeys.clear();
    applySearchAndOrder();
    endResetModel();
    return gone;
}

void PatientListModel::setSearch(const QString& search) {
    if (search == m_search)
        return;
    beginResetModel();
    m_search = search;
    applySearchAndOrder();
    endResetModel();
}

const PatientSummary& PatientListModel::summary(int row) const {
    return m_patients.at(m_shown.at(static_cast<std::size_t>(row)));
}

std::optional<int> PatientListModel::rowOf(qint64 patientId) const {
    for (std::size_t row = 0; row < m_shown.size(); ++row) {
        if (m_patients[m_shown[row]].patient.id == patientId)
            return static_cast<int>(row);
    }
    return std::nullopt;
}

int PatientListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_shown.size());
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
    };
    return section >= 0 && section < ColumnCount ? titles.at(static_cast<std::size_t>(section)) : QVariant();
}

void PatientListModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= ColumnCount)
        return;
    emit layoutAboutToBeChanged();
    m_sortColumn = column;
    m_sortOrder = order;
    applySearchAndOrder();
    emit layoutChanged();
}

void PatientListModel::applySearchAndOrder() {
    m_shown.clear();
    m_shown.reserve(m_patients.size());
    for (std::size_t i = 0; i < m_patients.size(); ++i) {
        if (vimora::records::matches(m_patients[i], m_search))
            m_shown.push_back(i);
    }
    if (m_sortColumn && !isDateColumn(*m_sortColumn))
        makeTextKeys(*m_sortColumn);
    if (m_sortColumn)
        std::stable_sort(m_shown.begin(), m_shown.end(),
                         [this](std::size_t a, std::size_t b) { return lessThan(a, b); });
}

bool PatientListModel::lessThan(std::size_t a, std::size_t b) const {
    const int column = *m_sortColumn;
    const bool ascending = m_sortOrder == Qt::AscendingOrder;
    const std::size_t first = ascending ? a : b;
    const std::size_t second = ascending ? b : a;
    if (column == Naissance)
        return m_patients[first].patient.naissance < m_patients[second].patient.naissance;
    if (column == LastVisit)
        return m_patients[first].lastVisit < m_patients[second].lastVisit;
    const std::vector<QCollatorSortKey>& keys = m_textKeys.at(static_cast<std::size_t>(column));
    return keys[first].compare(keys[second]) < 0;
}

void PatientListModel::makeTextKeys(int column) {
    m_textKeys.resize(ColumnCount);
    std::vector<QCollatorSortKey>& keys = m_textKeys.at(static_cast<std::size_t>(column));
    if (keys.size() != m_patients.size()) {
        QCollator french{QLocale(QLocale::French, QLocale::France)};
        french.setCaseSensitivity(Qt::CaseInsensitive);
        french.setNumericMode(true);
        keys.clear();
        keys.reserve(m_patients.size());
        for (const PatientSummary& summary : m_patients)
            keys.push_back(french.sortKey(columnText(summary, column)));
    }
}
