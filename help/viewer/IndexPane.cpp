#include "IndexPane.h"

#include "ChmArchive.h"
#include "FoldedText.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace vimora::help {

namespace {

constexpr int kKeywordRole = Qt::UserRole;

// Asks which of a keyword's topics to show; empty when the user cancels.
QUrl chooseTopic(QWidget* parent, const Keyword& keyword) {
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("topicChoice"));
    dialog.setWindowTitle(QStringLiteral("Rubriques trouvées"));
    auto* label = new QLabel(QStringLiteral("Le mot clé «\u00A0%1\u00A0» mène à plusieurs rubriques. "
                                            "Choisissez une &rubrique :")
                                 .arg(keyword.name),
                             &dialog);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    auto* list = new QListWidget(&dialog);
    list->setObjectName(QStringLiteral("topicChoices"));
    list->setAccessibleName(QStringLiteral("Rubriques"));
    label->setBuddy(list);
    for (const KeywordTopic& topic : keyword.topics) {
        const QString title = topic.title.isEmpty() ? objectPath(topic.topic) : topic.title;
        new QListWidgetItem(title, list);
    }
    list->setCurrentRow(0);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, &dialog);
    QPushButton* show = buttons->addButton(QStringLiteral("&Afficher"), QDialogButtonBox::AcceptRole);
    show->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(list, &QListWidget::itemActivated, &dialog, &QDialog::accept);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(label);
    layout->addWidget(list);
    layout->addWidget(buttons);
    dialog.resize(420, 260);
    if (dialog.exec() != QDialog::Accepted || list->currentRow() < 0)
        return {};
    return keyword.topics[static_cast<std::size_t>(list->currentRow())].topic;
}

} // namespace

IndexPane::IndexPane(const ChmArchive& archive, QWidget* parent)
    : QWidget(parent)
    , m_archive(archive)
    , m_typed(new QLineEdit(this))
    , m_list(new QListWidget(this))
    , m_open(new QPushButton(QStringLiteral("&Afficher"), this))
    , m_note(new QLabel(this)) {
    auto* typedLabel = new QLabel(QStringLiteral("Mot &clé :"), this);
    typedLabel->setBuddy(m_typed);
    m_typed->setObjectName(QStringLiteral("indexWord"));
    m_typed->setAccessibleName(QStringLiteral("Mot clé"));
    auto* listLabel = new QLabel(QStringLiteral("Mots c&lés :"), this);
    listLabel->setBuddy(m_list);
    m_list->setObjectName(QStringLiteral("indexKeywords"));
    m_list->setAccessibleName(QStringLiteral("Mots clés"));
    m_list->setUniformItemSizes(true);
    m_open->setObjectName(QStringLiteral("indexShow"));
    m_open->setAccessibleName(QStringLiteral("Afficher"));
    m_note->setObjectName(QStringLiteral("indexNote"));
    m_note->setWordWrap(true);
    m_note->setTextFormat(Qt::PlainText);
    m_note->hide();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(typedLabel);
    layout->addWidget(m_typed);
    layout->addWidget(listLabel);
    layout->addWidget(m_note);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_open, 0, Qt::AlignRight);

    connect(m_typed, &QLineEdit::textEdited, this, &IndexPane::jumpTo);
    connect(m_typed, &QLineEdit::returnPressed, this, &IndexPane::openCurrent);
    connect(m_list, &QListWidget::itemActivated, this, &IndexPane::openCurrent);
    connect(m_open, &QPushButton::clicked, this, &IndexPane::openCurrent);
}

void IndexPane::focusKeyword() {
    m_typed->setFocus(Qt::TabFocusReason);
}

void IndexPane::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    load();
}

void IndexPane::load() {
    if (m_loaded)
        return;
    m_loaded = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_keywords = readKeywordIndex(m_archive);
    for (std::size_t i = 0; i < m_keywords.size(); ++i) {
        const Keyword& keyword = m_keywords[i];
        // Sub-keywords are indented under their keyword.
        auto* item = new QListWidgetItem(
            QString(static_cast<qsizetype>(keyword.level) * 4, QChar(0x00A0)) + keyword.name, m_list);
        item->setData(kKeywordRole, static_cast<qulonglong>(i));
    }
    QApplication::restoreOverrideCursor();
    if (m_keywords.empty()) {
        m_note->setText(QStringLiteral("Ce fichier d'aide n'a pas d'index."));
        m_note->show();
        m_typed->setEnabled(false);
        m_list->setEnabled(false);
        m_open->setEnabled(false);
        return;
    }
    m_list->setCurrentRow(0);
}

void IndexPane::jumpTo(const QString& typed) {
    const QString wanted = foldText(typed.trimmed()).text;
    m_note->hide();
    if (wanted.isEmpty())
        return;
    for (std::size_t i = 0; i < m_keywords.size(); ++i) {
        if (m_keywords[i].level == 0 && foldText(m_keywords[i].name).text.startsWith(wanted)) {
            QListWidgetItem* item = m_list->item(static_cast<int>(i));
            m_list->setCurrentItem(item);
            m_list->scrollToItem(item, QAbstractItemView::PositionAtTop);
            return;
        }
    }
    m_list->setCurrentItem(nullptr);
    m_note->setText(QStringLiteral("Aucun mot clé ne commence par « %1 ».").arg(typed.trimmed()));
    m_note->show();
}

void IndexPane::openCurrent() {
    const QListWidgetItem* item = m_list->currentItem();
    if (item == nullptr) {
        QApplication::beep();
        return;
    }
    const Keyword& keyword = m_keywords[item->data(kKeywordRole).toULongLong()];
    if (keyword.topics.empty()) {
        QApplication::beep();
        return;
    }
    const QUrl topic = keyword.topics.size() == 1 ? keyword.topics.front().topic : chooseTopic(this, keyword);
    if (!topic.isEmpty())
        emit topicChosen(topic);
}

} // namespace vimora::help
