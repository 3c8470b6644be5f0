#pragma once

#include <QDialog>
#include <QSize>

class QSpinBox;

namespace history {

/** Asks the width and height of a picture to save, in pixels. */
class ExportSizeDialog : public QDialog {
    Q_OBJECT

public:
    /** Bounds of either side: a picture needs room for its axes, and memory stays sane. */
    static constexpr int kMinSide = 200;
    static constexpr int kMaxSide = 16000;

    /** Starts with @p size (bounded). */
    explicit ExportSizeDialog(const QSize& size, QWidget* parent = nullptr);
    QSize pictureSize() const;

private:
    QSpinBox* m_width;
    QSpinBox* m_height;
};

} // namespace history
