#include "history/ExportSizeDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSpinBox>

namespace history {

namespace {

QSpinBox* sideBox(int value, const QString& name, QWidget* parent)
{
    auto* box = new QSpinBox(parent);
    box->setObjectName(name);
    box->setRange(ExportSizeDialog::kMinSide, ExportSizeDialog::kMaxSide);
    box->setValue(value);
    box->setSuffix(QStringLiteral(" пикс."));
    return box;
}

} // namespace

ExportSizeDialog::ExportSizeDialog(const QSize& size, QWidget* parent)
    : QDialog(parent)
    , m_width(sideBox(size.width(), QStringLiteral("spnHistWidth"), this))
    , m_height(sideBox(size.height(), QStringLiteral("spnHistHeight"), this))
{
    setObjectName(QStringLiteral("dlgHistPngSize"));
    setWindowTitle(QStringLiteral("Размер рисунка"));
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Ширина:"), m_width);
    form->addRow(QStringLiteral("Высота:"), m_height);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

QSize ExportSizeDialog::pictureSize() const
{
    return { m_width->value(), m_height->value() };
}

} // namespace history
