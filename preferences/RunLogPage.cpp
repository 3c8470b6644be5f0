#include "preferences/RunLogPage.h"

#include "preferences/FormRows.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace preferences {

RunLogPage::RunLogPage(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("pageRunLog"));
    auto* form = new QFormLayout(this);

    m_enabled = addCheckRow(this, "chkRunLog", QStringLiteral("Записывать каждый опрос в файл"));

    m_folder = new QLineEdit(this);
    m_folder->setObjectName(QStringLiteral("edtRunFolder"));
    m_browse = new QPushButton(QStringLiteral("Выбрать…"), this);
    m_browse->setObjectName(QStringLiteral("btnRunFolder"));
    auto* row = new QHBoxLayout;
    row->addWidget(m_folder, 1);
    row->addWidget(m_browse);
    form->addRow(QStringLiteral("Папка опросов"), row);

    m_defaultNote = new QLabel(this);
    m_defaultNote->setObjectName(QStringLiteral("lblRunFolderDefault"));
    m_defaultNote->setWordWrap(true);
    m_defaultNote->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(m_defaultNote);

    connect(m_browse, &QPushButton::clicked, this, &RunLogPage::chooseFolder);
    connect(m_enabled, &QCheckBox::toggled, this, &RunLogPage::showEnabled);
}

void RunLogPage::fill(const app::RunLogSettings& settings, const QString& defaultFolder)
{
    m_defaultFolder = defaultFolder;
    m_enabled->setChecked(settings.Enabled);
    m_folder->setText(settings.Folder);
    m_folder->setPlaceholderText(QDir::toNativeSeparators(defaultFolder));
    m_defaultNote->setText(QStringLiteral("Пустое поле — папка по умолчанию: %1")
                               .arg(QDir::toNativeSeparators(defaultFolder)));
    showEnabled();
}

std::optional<FieldError> RunLogPage::read(app::RunLogSettings& settings) const
{
    const QString folder = m_folder->text().trimmed();
    // A line break or another control character would end the value in the settings file and
    // start a line of its own there.
    for (const QChar c : folder) {
        if (c.category() == QChar::Other_Control)
            return FieldError { m_folder,
                QStringLiteral("Папка опросов: имя содержит управляющий символ") };
    }
    settings.Enabled = m_enabled->isChecked();
    settings.Folder = folder;
    return std::nullopt;
}

void RunLogPage::chooseFolder()
{
    const QString start = m_folder->text().trimmed().isEmpty() ? m_defaultFolder
                                                                : m_folder->text().trimmed();
    const QString chosen = QFileDialog::getExistingDirectory(this,
        QStringLiteral("Папка опросов"), start,
        QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    if (!chosen.isEmpty())
        m_folder->setText(QDir::toNativeSeparators(chosen));
}

void RunLogPage::showEnabled()
{
    const bool on = m_enabled->isChecked();
    m_folder->setEnabled(on);
    m_browse->setEnabled(on);
}

} // namespace preferences
