#pragma once

#include <QFont>
#include <QPointF>
#include <QString>

#include <memory>

class QPainter;
class QTextLayout;

// A text of a printed sheet wrapped to a width, between words where it can and anywhere in a word
// longer than the line: laid out once, measured, then drawn where the sheet places it.
class SheetParagraph {
public:
    SheetParagraph(const QString& text, const QFont& font, double width,
                   Qt::Alignment alignment = Qt::AlignLeft);

    double height() const { return m_height; }
    void draw(QPainter& painter, const QPointF& topLeft) const;

private:
    std::shared_ptr<QTextLayout> m_layout; ///< shared, so that a sheet's blocks can copy it
    double m_height = 0;
};
