#pragma once

#include "PatientRecordSheet.h"

#include <QDialog>

#include <memory>

namespace Ui {
class TrajectoryDialog;
}

// "Courbe de corpulence..." of a patient of the records: their alerts above the trajectory of
// their visits, and the commands that print the patient's sheet or save it as PDF.
class TrajectoryDialog : public QDialog {
    Q_OBJECT

public:
    TrajectoryDialog(const vimora::records::Patient& patient,
                     const std::vector<vimora::records::Visit>& visits, QWidget* parent = nullptr);
    ~TrajectoryDialog() override;

    const PatientRecordSheet& sheet() const { return m_sheet; }

private:
    void savePdf();

    std::unique_ptr<Ui::TrajectoryDialog> m_ui;
    PatientRecordSheet m_sheet;
};
