#include "Chart.h"

#include "Measures.h"
#include "RegionalSettings.h"

#include <QFont>
#include <QPainter>

#include <cmath>

namespace vimora::chart {

const QColor kInk(40, 40, 40);

QTransform fitTransform(QSize chartSize, const QRectF& target) {
    const double scale = std::min(target.width() / chartSize.width(), target.height() / chartSize.height());
    const double left = target.left() + (target.width() - scale * chartSize.width()) / 2;
    const double top = target.top() + (target.height() - scale * chartSize.height()) / 2;
    return QTransform::fromTranslate(left, top).scale(scale, scale);
}

void paintFitted(QPainter& painter, const Chart& chart, const QRectF& target) {
    painter.save();
    painter.setTransform(fitTransform(chart.size(), target), true);
    chart.paint(painter);
    painter.restore();
}

void drawPatientPoint(QPainter& painter, const QPointF& centre) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(centre, 7.5, 7.5);
    painter.setBrush(Qt::black);
    painter.drawEllipse(centre, 5.0, 5.0);
    painter.restore();
}

void drawCaption(QPainter& painter, const QRectF& box, const QString& text) {
    painter.save();
    painter.setPen(QPen(kInk, 1));
    painter.setBrush(QColor(255, 255, 255, 225));
    painter.drawRect(box);
    painter.drawText(box, Qt::AlignCenter, text);
    painter.restore();
}

QString ageInWords(double age) {
    // Whole months completed; the small allowance keeps 7,25 years at 3 months despite rounding.
    const auto months = static_cast<long long>(std::floor(age * 12 + 1e-9));
    const long long years = months / 12;
    const long long rest = months % 12;
    if (years == 0 && rest == 0)
        return QStringLiteral("naissance");
    QString text = years == 0   ? QString()
                   : years == 1 ? QStringLiteral("1 an")
                                : QStringLiteral("%1 ans").arg(years);
    if (rest != 0)
        text += (text.isEmpty() ? QString() : QStringLiteral(" ")) + QStringLiteral("%1 mois").arg(rest);
    return text;
}

QString limitText(double value) {
    return QString::fromStdString(displayNumber(value, platform::kShownDecimalSeparator));
}

QFont chartFont(int pixelSize, bool bold) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

} // namespace vimora::chart
