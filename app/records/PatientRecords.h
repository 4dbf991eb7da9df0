#pragma once

#include "engine/Assessment.h"
#include "records/PatientStore.h"

#include <QObject>

#include <memory>
#include <optional>

class QStatusBar;
class QWidget;

// The main window's side of the patient records: the records opened on the first use of a
// records command (never at start-up), the patient of the consultation in progress, the two menu
// commands, and what the status bar says of the consultation.
class PatientRecords : public QObject {
    Q_OBJECT

public:
    /// The dialogs and boxes open over `window`; `statusBar` names the consultation's patient.
    PatientRecords(QWidget& window, QStatusBar& statusBar);
    ~PatientRecords() override;
    PatientRecords(const PatientRecords&) = delete;
    PatientRecords& operator=(const PatientRecords&) = delete;

    /// "Dossiers patients...": the dialog; "Nouvelle consultation" makes its patient the current one
    /// and asks the window for a new calculation (consultationBegun). A failure of the records is
    /// shown as the dialog shows it.
    void showDialog();
    /// "Enregistrer la consultation": stores the complete calculation as today's visit of the
    /// current patient (chosen first in the dialog when there is none), after checking that its
    /// sex and age are the patient's. A failure of the records is shown as the dialog shows it.
    void saveConsultation(const vimora::Calculation& calculation);
    /// The status bar stops saying that the consultation was saved (the fields changed, a
    /// calculation is shown or another save is tried): the patient's name comes back.
    void endSaved();

    const std::optional<vimora::records::Patient>& currentPatient() const { return m_current; }

signals:
    /// A new calculation for the patient chosen: their sex and today's age, the focus in the weight.
    void consultationBegun(vimora::Sex sex, const QString& age);

private:
    vimora::records::PatientStore& store();
    void save(const vimora::Calculation& calculation);
    void begin(const vimora::records::Patient& patient);
    /// Tells the user and answers false when the calculation is not one of this patient today.
    bool isOfPatient(const vimora::Calculation& calculation, const vimora::records::Patient& patient);

    QWidget& m_window;
    QStatusBar& m_statusBar;
    std::unique_ptr<vimora::records::PatientStore> m_store;
    std::optional<vimora::records::Patient> m_current;
    QString m_status;          ///< the lasting text of the status bar
    bool m_savedShown = false; ///< the status bar says a consultation was saved
};
