#pragma once

#include "app/sheets/PatientRecordSheet.h"

#include <QDialog>

#include <memory>

namespace Ui {
class TrajectoryDialog;
}

// "Courbe de corpulence..." of a patient of the records: their alerts above the trajectory of
// their visits, a child's on the curves chosen, and the commands that print the patient's sheet or save it as
// PDF.
class TrajectoryDialog : public QDialog {
    Q_OBJECT

public:
    TrajectoryDialog(const vimora::records::Patient& patient,
                     const std::vector<vimora::records::Visit>& visits, QWidget* parent = nullptr);
    ~TrajectoryDialog() override;

    const PatientRecordSheet& sheet() const { return m_sheet; }

private:
    void showCharts(vimora::chart::Curves curves);

    std::unique_ptr<Ui::TrajectoryDialog> m_ui;
    vimora::records::Patient m_patient;
    std::vector<vimora::records::Visit> m_visits;
    PatientRecordSheet m_sheet;
};
