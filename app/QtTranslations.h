#pragma once

class QCoreApplication;

/// Installs Qt's own French translations into the application, so that the texts Qt shows by
/// itself (an edit field's context menu, the standard buttons of a box) are French like the
/// rest of the program. Returns false, leaving Qt's English texts, when they are not installed.
bool installQtTranslations(QCoreApplication& application);
