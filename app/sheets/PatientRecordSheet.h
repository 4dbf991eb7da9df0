#pragma once

#include "PrintableSheet.h"
#include "SheetPages.h"
#include "chart/Trajectory.h"
#include "chart/WhoChart.h"
#include "engine/TrajectoryAlerts.h"
#include "records/PatientStore.h"

#include <QDateTime>
#include <QRectF>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QPainter;

/// A patient's visits, in any order, as their trajectory charts draw them: in date order.
std::vector<vimora::chart::TrajectoryVisit>
trajectoryVisits(const std::vector<vimora::records::Visit>& visits);

// The sheet of a patient's records, printed or saved as PDF: their identity, the alerts, the
// trajectory on the curves chosen and the table of visits, a child's with the WHO's figures. Its layout
// follows its content: each text is measured as it wraps, a block that does not fit goes to the next page,
// the table continues there under its header, and every page has a "Page 1/2" footer.
class PatientRecordSheet : public PrintableSheet {
public:
    /// `visits` in any order.
    PatientRecordSheet(vimora::records::Patient patient, std::vector<vimora::records::Visit> visits,
                       QDateTime when = QDateTime::currentDateTime(),
                       vimora::chart::Curves curves = vimora::chart::Curves::Reference);

    /// What a page holds, in points.
    using Item = SheetPages::Item;
    int pageCount() const { return m_pages.count(); }
    std::vector<Item> items(int page) const;

    /// Paints one page in points (the painter already scaled to them).
    void paintPage(QPainter& painter, int page) const;
    QString title() const override;
    void render(QPagedPaintDevice& device) const override;
    /// The PDF's default name in the documents folder, with the patient's name and the date.
    QString defaultPdfPath() const override;

private:
    SheetPages layOut() const;

    vimora::records::Patient m_patient;
    std::vector<vimora::records::Visit> m_visits; ///< in date order
    QDateTime m_when;
    vimora::chart::Curves m_curves;
    SheetPages m_pages;
};
