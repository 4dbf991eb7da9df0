#pragma once

#include "PatientStore.h"

#include <QAbstractTableModel>
#include <QCollatorSortKey>

#include <optional>
#include <vector>

// The patients of the records dialog: every patient with their latest visit, filtered by the
// search as the user types (ignoring case and accents) and sorted by any column. The patients are
// read once; a keystroke only filters what is in memory.
class PatientListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { Nom, Prenom, Naissance, Dossier, LastVisit, LastResult, ColumnCount };

    explicit PatientListModel(QObject* parent = nullptr);

    /// Takes the patients in the store's order; the search and the sort order stay. Returns the
    /// patients it held before that are not among them.
    std::vector<vimora::records::Patient> setPatients(std::vector<vimora::records::PatientSummary> patients);
    /// Shows only the patients whose nom, prénom or dossier hold every word of `search`.
    void setSearch(const QString& search);

    /// The patient shown at `row`.
    const vimora::records::PatientSummary& summary(int row) const;
    /// The row that shows the patient, if shown.
    std::optional<int> rowOf(qint64 patientId) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;

private:
    void applySearchAndOrder();
    bool lessThan(std::size_t a, std::size_t b) const;
    void makeTextKeys(int column);

    std::vector<vimora::records::PatientSummary> m_patients;
    std::vector<std::size_t> m_shown; ///< indexes into m_patients, in the order shown
    QString m_search;
    std::optional<int> m_sortColumn; ///< none: the store's order
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    // Collation keys of the text columns, made on the first sort by that column.
    std::vector<std::vector<QCollatorSortKey>> m_textKeys;
};
