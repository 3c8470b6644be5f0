#pragma once

#include <QCheckBox>
#include <QFormLayout>
#include <QString>
#include <QWidget>

namespace preferences {

/** The form layout each page of the dialog lays its rows out with. */
inline QFormLayout* formOf(QWidget* page)
{
    return static_cast<QFormLayout*>(page->layout());
}

/** A check box on a row of its own on @p page, named @p name (the tests find it by it). */
inline QCheckBox* addCheckRow(QWidget* page, const char* name, const QString& text)
{
    auto* box = new QCheckBox(text, page);
    box->setObjectName(QString::fromLatin1(name));
    formOf(page)->addRow(box);
    return box;
}

} // namespace preferences
