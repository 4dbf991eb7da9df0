#include "Chart.h"

#include "engine/Measures.h"

#include <QFont>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <array>
#include <cmath>

namespace vimora::chart {

namespace {

constexpr double kDiscRadius = 5;
constexpr double kRingRadius = 7.5;
constexpr double kArrowLength = kEdgeInset - kRingRadius;
constexpr double kArrowHalfWidth = 5;
constexpr double kCaptionAlpha = 225;

// The unit vector from the point toward the edge it stands at.
QPointF outward(PointMark::Edge edge) {
    switch (edge) {
    case PointMark::Above:
        return {0, -1};
    case PointMark::Below:
        return {0, 1};
    case PointMark::Left:
        return {-1, 0};
    case PointMark::Right:
        return {1, 0};
    case PointMark::Inside:
        break;
    }
    return {};
}

bool crosses(const QLineF& line, const QRectF& rect) {
    if (rect.contains(line.p1()) || rect.contains(line.p2()))
        return true;
    const std::array<QLineF, 4> sides{
        QLineF(rect.topLeft(), rect.topRight()), QLineF(rect.topRight(), rect.bottomRight()),
        QLineF(rect.bottomRight(), rect.bottomLeft()), QLineF(rect.bottomLeft(), rect.topLeft())};
    return std::any_of(sides.begin(), sides.end(), [&line](const QLineF& side) {
        return line.intersects(side, nullptr) == QLineF::BoundedIntersection;
    });
}

// The point of the box nearest to the given point.
QPointF nearestOf(const QRectF& box, const QPointF& point) {
    return {std::clamp(point.x(), box.left(), box.right()), std::clamp(point.y(), box.top(), box.bottom())};
}

} // namespace

void beginChart(QPainter& painter, QSize size, const QString& title, int titleTop, int titleFontSize) {
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    painter.setPen(kInk);
    painter.setFont(chartFont(titleFontSize, true));
    painter.drawText(QRect(0, titleTop, size.width(), 24), Qt::AlignCenter, title);
}

PointMark markOnIndexScale(QPointF exact, double index, double lowest, double highest, int top, int bottom) {
    if (index > highest)
        return {{exact.x(), top + kEdgeInset}, PointMark::Above};
    if (index < lowest)
        return {{exact.x(), bottom - kEdgeInset}, PointMark::Below};
    return {exact, PointMark::Inside};
}

void drawLabelledPoint(QPainter& painter, const PointMark& point, const QString& text, QSizeF size,
                       const std::optional<LabelPlace>& label, const QRectF& frame, double gap) {
    QRectF box;
    if (label) {
        box = label->box;
        if (label->leader) {
            painter.setPen(QPen(kInk, 1));
            painter.drawLine(*label->leader);
        }
    } else {
        const QPointF centre = point.centre;
        const double left = centre.x() + gap + size.width() <= frame.right()
                                ? centre.x() + gap
                                : centre.x() - gap - size.width();
        const double top =
            std::clamp<double>(centre.y() - size.height() / 2.0, frame.top(), frame.bottom() - size.height());
        box = QRectF(QPointF(left, top), size);
    }
    drawCaption(painter, box, text);
    drawPatientPoint(painter, point);
}

void drawIndexAxis(QPainter& painter, double left, int lowest, int highest, int step,
                   double (*yFor)(double)) {
    constexpr int kLabelWidth = 58;
    for (int index = lowest; index <= highest; index += step) {
        const double y = yFor(index);
        painter.drawLine(QPointF(left - kTickLength, y), QPointF(left, y));
        painter.drawText(QRectF(left - kTickLength - 4 - kLabelWidth, y - kTickLabelHeight / 2.0, kLabelWidth,
                                kTickLabelHeight),
                         Qt::AlignRight | Qt::AlignVCenter, limitText(index));
    }
}

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

QRectF pointArea(const PointMark& mark) {
    const QRectF ring(mark.centre - QPointF(kRingRadius, kRingRadius),
                      QSizeF(2 * kRingRadius, 2 * kRingRadius));
    const QPointF tip = mark.centre + outward(mark.edge) * kEdgeInset;
    return ring.united(
        QRectF(tip, tip).adjusted(-kArrowHalfWidth, -kArrowHalfWidth, kArrowHalfWidth, kArrowHalfWidth));
}

void drawEdgeArrow(QPainter& painter, const PointMark& mark) {
    if (mark.edge == PointMark::Inside)
        return;
    const QPointF out = outward(mark.edge);
    const QPointF across(-out.y(), out.x());
    const QPointF base = mark.centre + out * kRingRadius;
    const QPolygonF arrow{base + across * kArrowHalfWidth, base + out * kArrowLength,
                          base - across * kArrowHalfWidth};
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kInk);
    painter.drawPolygon(arrow);
    painter.restore();
}

void drawPatientPoint(QPainter& painter, const PointMark& mark) {
    drawEdgeArrow(painter, mark);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(mark.centre, kRingRadius, kRingRadius);
    painter.setBrush(Qt::black);
    painter.drawEllipse(mark.centre, kDiscRadius, kDiscRadius);
    painter.restore();
}

void drawCaption(QPainter& painter, const QRectF& box, const QString& text) {
    painter.save();
    painter.setPen(QPen(kInk, 1));
    painter.setBrush(QColor(255, 255, 255, kCaptionAlpha));
    painter.drawRect(box);
    painter.drawText(box, Qt::AlignCenter, text);
    painter.restore();
}

std::optional<LabelPlace> placeLabel(const QPointF& point, const QSizeF& size, const QRectF& area,
                                     const std::vector<QRectF>& obstacles, const std::vector<QRectF>& texts) {
    // Just clear of the point on each side and corner first; then anywhere in the area, nearest
    // first, with a leader line.
    constexpr double kGap = 12;
    constexpr double kGridStep = 8;
    const double w = size.width();
    const double h = size.height();
    const double diagonal = kGap * 0.7;
    std::vector<QPointF> corners{
        {point.x() + kGap, point.y() - h / 2},
        {point.x() - kGap - w, point.y() - h / 2},
        {point.x() - w / 2, point.y() - kGap - h},
        {point.x() - w / 2, point.y() + kGap},
        {point.x() + diagonal, point.y() - diagonal - h},
        {point.x() - diagonal - w, point.y() - diagonal - h},
        {point.x() + diagonal, point.y() + diagonal},
        {point.x() - diagonal - w, point.y() + diagonal},
    };
    const std::size_t beside = corners.size();
    for (double top = area.top(); top + h <= area.bottom(); top += kGridStep) {
        for (double left = area.left(); left + w <= area.right(); left += kGridStep)
            corners.emplace_back(left, top);
    }
    auto distance = [&point, &size](const QPointF& corner) {
        return QLineF(point, nearestOf(QRectF(corner, size), point)).length();
    };
    std::stable_sort(corners.begin() + static_cast<std::ptrdiff_t>(beside), corners.end(),
                     [&distance](const QPointF& a, const QPointF& b) { return distance(a) < distance(b); });

    for (const QPointF& corner : corners) {
        const QRectF box(corner, size);
        const auto covers = [&box](const QRectF& obstacle) {
            return box.intersects(obstacle);
        };
        if (!area.contains(box) || std::any_of(obstacles.begin(), obstacles.end(), covers) ||
            std::any_of(texts.begin(), texts.end(), covers))
            continue;
        const QLineF leader(point, nearestOf(box, point));
        if (leader.length() <= kEdgeInset)
            return LabelPlace{box, std::nullopt};
        // From the rim of the point's ring.
        QLineF line = leader;
        line.setP1(leader.pointAt(kRingRadius / leader.length()));
        if (std::none_of(texts.begin(), texts.end(),
                         [&line](const QRectF& text) { return crosses(line, text); }))
            return LabelPlace{box, line};
    }
    return std::nullopt;
}

QString ageInWords(double age) {
    // Whole months completed; the small allowance keeps 7,25 years at 3 months despite rounding.
    const auto months = static_cast<long long>(std::floor(age * 12 + 1e-9));
    const long long years = months / 12;
    const long long rest = months % 12;
    if (years == 0 && rest == 0)
        return age > 0 ? QStringLiteral("moins d'un mois") : QStringLiteral("naissance");
    QString text = years == 0   ? QString()
                   : years == 1 ? QStringLiteral("1 an")
                                : QStringLiteral("%1 ans").arg(years);
    if (rest != 0)
        text += (text.isEmpty() ? QString() : QStringLiteral(" ")) + QStringLiteral("%1 mois").arg(rest);
    return text;
}

QString atAge(double age) {
    return age > 0 ? QStringLiteral("à ") + ageInWords(age) : QStringLiteral("à la naissance");
}

QString limitText(double value) {
    return QString::fromStdString(displayNumber(value, kDecimalSeparator));
}

QFont chartFont(int pixelSize, bool bold) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

} // namespace vimora::chart
