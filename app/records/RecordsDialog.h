#pragma once

#include "records/PatientStore.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class PatientListModel;
class QTimer;

namespace Ui {
class RecordsDialog;
}

// "Dossiers patients": the patients of the records, searched as the user types, filtered to those
// with an alert and sorted by any column, the visits of the selected one (newest first), and the commands on
// them. It either starts a consultation ("Nouvelle consultation") or, opened to save one, chooses its patient
// ("Choisir ce patient").
class RecordsDialog : public QDialog {
    Q_OBJECT

public:
    enum class Purpose { Browse, ChooseForSaving };

    RecordsDialog(vimora::records::PatientStore& store, Purpose purpose, QWidget* parent = nullptr);
    ~RecordsDialog() override;

    /// The patient chosen for the consultation, once the dialog was accepted.
    const std::optional<vimora::records::Patient>& chosenPatient() const { return m_chosen; }

    /// Reads the patients again (F5), keeping the search and the selected patient and visit.
    void refresh();

protected:
    void changeEvent(QEvent* event) override;

private:
    /// Reads the patients again; a patient no longer there, other than `deletedHere`, is named in
    /// the status line.
    void reload(qint64 deletedHere);
    /// Applies a change of the search or filter, keeping the selected patient when still listed.
    void filter(const std::function<void()>& change);
    /// Reads the patients again when another window or workstation changed the records.
    void refreshIfChanged();
    std::optional<vimora::records::Patient> selectedPatient() const;
    void selectPatient(qint64 patientId);
    /// Runs a command on the selected patient; without one, does nothing.
    void onSelectedPatient(const std::function<void(const vimora::records::Patient&)>& command);
    void showVisits();
    void updateButtons();
    /// Runs a command, showing in a box the French reason of a records failure.
    void run(const std::function<void()>& command);
    /// Runs `work`: alone, showing a failure as run() does; within a command (a signal of what the
    /// command changes), keeping the first failure for the command to show once.
    void guard(const std::function<void()>& work);

    void newPatient();
    void editPatient();
    void deletePatient();
    void choosePatient();
    void addMeasure();
    void showTrajectory();
    void deleteVisit();
    void exportVisits();
    void backup();

    std::unique_ptr<Ui::RecordsDialog> m_ui;
    vimora::records::PatientStore& m_store;
    PatientListModel* m_patients;
    std::vector<vimora::records::Visit> m_visits; ///< of the selected patient, newest first
    std::optional<vimora::records::Patient> m_chosen;
    qint64 m_reselect = 0;  ///< the patient selected while the list is read again
    QString m_stamp;        ///< the store's change stamp when the patients were read
    QTimer* m_watch;        ///< looks for others' changes while the dialog is active
    bool m_running = false; ///< a command, maybe with a dialog of its own, is under way
    std::optional<vimora::records::StoreError> m_failure; ///< the first of the command under way
};
