#pragma once

#include "PatientStore.h"

#include <QDialog>

#include <memory>
#include <optional>
#include <vector>

class PatientListModel;

namespace Ui {
class RecordsDialog;
}

// "Dossiers patients": the patients of the records, searched as the user types and sorted by any
// column, the visits of the selected one (newest first), and the commands on them. It either
// starts a consultation ("Nouvelle consultation") or, opened to save one, chooses its patient
// ("Choisir ce patient").
class RecordsDialog : public QDialog {
    Q_OBJECT

public:
    enum class Purpose { Browse, ChooseForSaving };

    RecordsDialog(vimora::records::PatientStore& store, Purpose purpose, QWidget* parent = nullptr);
    ~RecordsDialog() override;

    /// The patient chosen for the consultation, once the dialog was accepted.
    const std::optional<vimora::records::Patient>& chosenPatient() const { return m_chosen; }

    /// Reads the patients again (F5), keeping the search and the selected patient.
    void refresh();

private:
    std::optional<vimora::records::Patient> selectedPatient() const;
    void selectPatient(qint64 patientId);
    void showVisits();
    void updateButtons();
    /// Runs a command, showing in a box the French reason of a records failure.
    void run(void (RecordsDialog::*command)());

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
};
