#pragma once

#include "records/PatientStore.h"

#include <QAbstractTableModel>

#include <optional>
#include <vector>

// The patients of the records dialog with their latest visit and current alerts, filtered by the
// search as the user types (ignoring case and accents) and by "only those with an alert", sorted
// by any column. Rows are read from the store a page at a time, as the view scrolls to them: the
// list shows at once whatever the size of the records.
class PatientListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { Nom, Prenom, Naissance, Dossier, LastVisit, LastResult, Alerts, ColumnCount };

    PatientListModel(vimora::records::PatientStore& store, QObject* parent = nullptr);

    /// Reads again as many rows as are held (a page at least); the search, filter and order stay.
    /// Returns the patients it held before that are no longer in the records.
    std::vector<vimora::records::Patient> reload();
    /// Shows only the patients whose nom, prénom or dossier hold every word of `search`.
    void setSearch(const QString& search);
    /// Shows only the patients with a current alert, or every patient.
    void setAlertsOnly(bool alertsOnly);

    /// The patient shown at `row`.
    const vimora::records::PatientSummary& summary(int row) const;
    /// The row that shows the patient among the rows read so far.
    std::optional<int> heldRowOf(qint64 patientId) const;
    /// The row that shows the patient, reading the rows up to theirs when needed.
    std::optional<int> rowOf(qint64 patientId);

    /// A failure of the records met while the view was fetching rows, kept for the dialog to tell.
    std::optional<vimora::records::StoreError> takeFailure();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

signals:
    /// Fetching rows for the view failed: takeFailure() says why.
    void fetchFailed();

private:
    /// Reads the next `rows` rows, a page at least; throws StoreError.
    void readPage(std::size_t rows = 0);
    /// Reads the first `rows` rows again, at least a page; nothing changes when it fails.
    void readFirst(std::size_t rows);

    vimora::records::PatientStore& m_store;
    vimora::records::PatientQuery m_query;
    std::vector<vimora::records::PatientSummary> m_patients;
    bool m_complete = false; ///< every patient the query selects is held
    std::optional<vimora::records::StoreError> m_failure;
};
