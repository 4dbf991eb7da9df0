#pragma once

#include <QRect>

class QRadioButton;
class QWidget;

// The main window's fixed form in this platform's fonts: a text that the form sized for another
// font still shows whole where the form places it.

/// Where a radio button draws its caption.
QRect captionPlace(const QRadioButton& button);

/// Sizes every label of the form to its text, keeping the edge that lines up with its field.
void fitLabels(const QWidget& form);

/// Widens a radio button to the right when its caption is wider than its place, so that the
/// caption shows whole inside its focus frame.
void fitCaption(QRadioButton& button);
