#pragma once

#include "ChmArchive.h"

#include <QTextBrowser>

#include <memory>

namespace vimora::help {

/// Shows the pages of one compiled help file: pages, style sheets and images come from the
/// file, links between pages stay inside it, and links to the web open in the user's browser.
class HelpBrowser : public QTextBrowser {
    Q_OBJECT

public:
    HelpBrowser(std::unique_ptr<ChmArchive> archive, QWidget* parent);

    const ChmArchive& archive() const { return *m_archive; }

    QVariant loadResource(int type, const QUrl& name) override;

private:
    void followLink(const QUrl& url);

    std::unique_ptr<ChmArchive> m_archive;
};

} // namespace vimora::help
