#pragma once

#include "app/RunLogSettings.h"

#include <QWidget>

#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace preferences {

/** A field's value that cannot be taken, with the reason in Russian. */
struct FieldError {
    QWidget* field = nullptr;
    QString message;
};

/**
 * The run log's page: whether each run is kept in a file, and where. An empty folder is the
 * default one, which the page names beside the field.
 */
class RunLogPage : public QWidget {
    Q_OBJECT

public:
    explicit RunLogPage(QWidget* parent = nullptr);

    /** Shows @p settings; @p defaultFolder is where runs go while the folder is left empty. */
    void fill(const app::RunLogSettings& settings, const QString& defaultFolder);
    /** The settings the fields give, or why the folder cannot be taken. */
    std::optional<FieldError> read(app::RunLogSettings& settings) const;

private:
    void chooseFolder();
    void showEnabled();

    QCheckBox* m_enabled;
    QLineEdit* m_folder;
    QPushButton* m_browse;
    QLabel* m_defaultNote;
    QString m_defaultFolder;
};

} // namespace preferences
