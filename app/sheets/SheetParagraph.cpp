#include "SheetParagraph.h"

#include <QPainter>
#include <QTextLayout>

SheetParagraph::SheetParagraph(const QString& text, const QFont& font, double width, Qt::Alignment alignment)
    : m_layout(std::make_shared<QTextLayout>(text, font)) {
    QTextOption option(alignment);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_layout->setTextOption(option);
    m_layout->setCacheEnabled(true);
    m_layout->beginLayout();
    for (QTextLine line = m_layout->createLine(); line.isValid(); line = m_layout->createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, m_height));
        m_height += line.height();
    }
    m_layout->endLayout();
}

void SheetParagraph::draw(QPainter& painter, const QPointF& topLeft) const {
    m_layout->draw(&painter, topLeft);
}
