#pragma once

#include "Assessment.h"
#include "PatientStore.h"

#include <memory>
#include <optional>

class TfrmVimora;

// The main window's side of the patient records: the records opened on the first use of a
// records command (never at start-up), the patient of the consultation in progress, and the two
// menu commands.
class PatientRecords {
public:
    explicit PatientRecords(TfrmVimora& window);
    ~PatientRecords();
    PatientRecords(const PatientRecords&) = delete;
    PatientRecords& operator=(const PatientRecords&) = delete;

    /// "Dossiers patients...": the dialog; "Nouvelle consultation" makes its patient the current one
    /// and prepares the window for them. A failure of the records is shown as the dialog shows it.
    void showDialog();
    /// "Enregistrer la consultation": stores the complete calculation as today's visit of the
    /// current patient (chosen first in the dialog when there is none), after checking that its
    /// sex and age are the patient's. A failure of the records is shown as the dialog shows it.
    void saveConsultation(const vimora::Calculation& calculation);

    const std::optional<vimora::records::Patient>& currentPatient() const { return m_current; }

private:
    vimora::records::PatientStore& store();
    void save(const vimora::Calculation& calculation);
    void begin(const vimora::records::Patient& patient);
    /// Tells the user and answers false when the calculation is not one of this patient today.
    bool isOfPatient(const vimora::Calculation& calculation, const vimora::records::Patient& patient);

    TfrmVimora& m_window;
    std::unique_ptr<vimora::records::PatientStore> m_store;
    std::optional<vimora::records::Patient> m_current;
};
