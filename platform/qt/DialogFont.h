#pragma once

#include <QFont>

namespace vimora::platform {

/// The font the windows were laid out for: "MS Sans Serif", 11 pixels high. Where that face is
/// missing, a condensed one keeps the texts inside their places; the usual substitute is too
/// wide for them.
QFont dialogFont();

} // namespace vimora::platform
