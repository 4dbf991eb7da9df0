#pragma once

#include "records/PatientStore.h"

#include <QDialog>

#include <memory>

namespace Ui {
class MeasureForm;
}

// "Ajouter une mesure...": a past measurement of a patient (date, weight, height, an optional
// remark), for instance from the health record booklet. The engine assesses it at the age that
// date gives, and it is stored like any visit.
class MeasureForm : public QDialog {
    Q_OBJECT

public:
    MeasureForm(vimora::records::PatientStore& store, vimora::records::Patient patient,
                QWidget* parent = nullptr);
    ~MeasureForm() override;

    /// Assesses and stores the measurement; stays open with the reason when refused.
    void accept() override;

private:
    void showProblem(const QString& problem);

    std::unique_ptr<Ui::MeasureForm> m_ui;
    vimora::records::PatientStore& m_store;
    vimora::records::Patient m_patient;
};
