#pragma once

#include <QColor>
#include <QPoint>

// Geometry and colours of the children's reference curves in the help file: one picture per
// sex, the three thresholds of each quarter year drawn as steps, as the program applies them.
namespace vimora::help::chart {

inline constexpr int kWidth = 680;
inline constexpr int kHeight = 500;

inline constexpr int kQuarters = 72;        ///< the last row, 18 years
inline constexpr int kPixelsPerQuarter = 8; ///< 32 pixels per year
inline constexpr int kLeft = 70;
inline constexpr int kRight = kLeft + kQuarters * kPixelsPerQuarter;

inline constexpr int kLowestIndex = 10;
inline constexpr int kHighestIndex = 32;
inline constexpr int kPixelsPerUnit = 16;
inline constexpr int kTop = 50;
inline constexpr int kBottom = kTop + (kHighestIndex - kLowestIndex) * kPixelsPerUnit;

inline constexpr int kPenWidth = 2;

/// The thresholds, in the order they are drawn; the band colours of the program's results.
inline const QColor kLowerColour(0, 78, 152);  // underweight: the desktop blue
inline const QColor kUpperColour(128, 0, 128); // obesity degree 1: purple
inline const QColor kObesityColour(255, 0, 0); // obesity degree 2: red

inline constexpr int xForQuarter(int quarter) {
    return kLeft + quarter * kPixelsPerQuarter;
}

/// The row of a threshold value (kg/m²), rounded to the nearest pixel.
inline int yForIndex(double index) {
    return kBottom - static_cast<int>((index - kLowestIndex) * kPixelsPerUnit + 0.5);
}

} // namespace vimora::help::chart
