#include "FormFit.h"

#include <QLabel>
#include <QRadioButton>
#include <QStyleOptionButton>

QRect captionPlace(const QRadioButton& button) {
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    return button.style()->subElementRect(QStyle::SE_RadioButtonContents, &option, &button);
}

void fitLabels(const QWidget& form) {
    for (QLabel* label : form.findChildren<QLabel*>()) {
        const QRect place = label->geometry();
        const int width = label->sizeHint().width();
        if (label->alignment().testFlag(Qt::AlignRight))
            label->setGeometry(place.right() + 1 - width, place.y(), width, place.height());
        else
            label->resize(width, place.height());
    }
}

void fitCaption(QRadioButton& button) {
    // The focus frame is drawn one pixel outside the text, on both sides.
    const int captionWidth = button.fontMetrics().horizontalAdvance(button.text()) + 2;
    const int missing = captionWidth - captionPlace(button).width();
    if (missing > 0)
        button.resize(button.width() + missing, button.height());
}
