#pragma once

#include <QAbstractButton>
#include <QFlags>
#include <QLineEdit>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <functional>

class TSpinButton;

namespace numeric {

/**
 * The clock behind an arrow's click repeat. The arrows take theirs from a factory, so that a test
 * can install one it ticks by hand instead of waiting for real time to pass. The default is a
 * platform::MessageTimer, whose ticks never starve input.
 */
class RepeatTimer : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    virtual std::uint32_t interval() const = 0;
    /** Takes effect at once: a running timer counts the new interval from now. */
    virtual void setInterval(std::uint32_t milliseconds) = 0;
    virtual bool isEnabled() const = 0;
    virtual void setEnabled(bool enabled) = 0;

signals:
    void timeout();
};

/** Makes the repeat timer of one arrow, owned by @p parent. */
using RepeatTimerFactory = std::function<RepeatTimer*(QObject* parent)>;

/**
 * Installs @p factory for the repeat timers made from now on and returns the one it replaces;
 * an empty factory restores the default.
 */
RepeatTimerFactory setRepeatTimerFactory(RepeatTimerFactory factory);

} // namespace numeric

/**
 * A push button drawn with a picture that never takes the keyboard focus and, with the
 * auto-repeat flag, clicks again and again while the left button holds it down: first 400 ms
 * after the press, then every 100 ms, and once more when released over it. A short click therefore
 * clicks once, on release. Clicks are reported through QAbstractButton::clicked; pressed() is
 * emitted for a left-button press only. A repeated click that fails ends the press: the failure
 * goes to the reporter of platform::guarded, and no more clicks follow, not even on release.
 */
class TTimerSpeedButton : public QAbstractButton {
    Q_OBJECT

public:
    enum class TimeBtnState {
        Focus = 0x1, ///< draw a focus rectangle on the button
        AutoRepeat = 0x2, ///< repeat clicks while held
    };
    Q_DECLARE_FLAGS(TimeBtnStates, TimeBtnState)

    static constexpr std::uint32_t kInitRepeatPause = 400;
    static constexpr std::uint32_t kRepeatPause = 100;

    explicit TTimerSpeedButton(QWidget* parent = nullptr);

    TimeBtnStates TimeBtnState() const { return m_state; }
    void setTimeBtnState(TimeBtnStates state);

    /** The picture: NumGlyphs images side by side (normal, disabled, pressed). */
    QPixmap Glyph() const { return m_glyph; }
    void setGlyph(const QPixmap& glyph);
    int NumGlyphs() const { return m_numGlyphs; }
    /** Clamped to 1..4. */
    void setNumGlyphs(int count);

    /** The repeat timer; null until the first press. */
    numeric::RepeatTimer* RepeatTimer() const { return m_repeatTimer; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void TimerExpired();
    void cancelPress();

    TimeBtnStates m_state;
    QPixmap m_glyph;
    int m_numGlyphs = 1;
    numeric::RepeatTimer* m_repeatTimer = nullptr;
    bool m_leftHeld = false; ///< the left button went down on this button and is still down
    bool m_capture = false; ///< a press on this button still owns the mouse
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TTimerSpeedButton::TimeBtnStates)

/**
 * The up/down arrow pair: two auto-repeating arrows stacked in a small container, the lower
 * overlapping the upper by one pixel row. Pressing an arrow with the left button first moves the
 * keyboard focus to FocusControl (the number field the pair belongs to).
 */
class TSpinButton : public QWidget {
    Q_OBJECT

public:
    explicit TSpinButton(QWidget* parent = nullptr);

    TTimerSpeedButton* UpButton() const { return m_upButton; }
    TTimerSpeedButton* DownButton() const { return m_downButton; }
    /** The arrow that carries the keyboard mark while the pair itself has the focus. */
    TTimerSpeedButton* FocusedButton() const { return m_focusedButton; }

    /** Cleared by itself when that widget is destroyed. */
    QWidget* FocusControl() const { return m_focusControl; }
    void setFocusControl(QWidget* control) { m_focusControl = control; }

    /** A null picture restores the built-in arrow. */
    QPixmap UpGlyph() const;
    void setUpGlyph(const QPixmap& glyph);
    QPixmap DownGlyph() const;
    void setDownGlyph(const QPixmap& glyph);
    int UpNumGlyphs() const;
    void setUpNumGlyphs(int count);
    int DownNumGlyphs() const;
    void setDownNumGlyphs(int count);

signals:
    void OnUpClick();
    void OnDownClick();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void AdjustArrows();
    void BtnPressed(TTimerSpeedButton* button);
    void SetFocusBtn(TTimerSpeedButton* button);

    TTimerSpeedButton* m_upButton;
    TTimerSpeedButton* m_downButton;
    TTimerSpeedButton* m_focusedButton;
    QPointer<QWidget> m_focusControl;
};

/**
 * The whole-number field of the dialogs: a one-line edit with an arrow pair inside its right edge.
 * The text is the only store of the number; Value parses it on every read.
 *
 * Change notification: OnChange() fires whenever the text changes (it follows textChanged, so
 * either may be used); writing the number the field already shows fires nothing.
 */
class TSpinEdit : public QLineEdit {
    Q_OBJECT

public:
    explicit TSpinEdit(QWidget* parent = nullptr);
    ~TSpinEdit() override;

    /**
     * The text read by the integer text rule, not clamped; MinValue when the text is not a
     * number (empty, "-", "12.5", ...). Never fails.
     */
    std::int32_t Value() const;
    /** Shows ClampToRange(value) in decimal; OnChange only if that changes the text. */
    void setValue(std::int32_t value);

    /** Setting the bounds leaves the text alone. Equal bounds mean no range at all. */
    std::int32_t MinValue() const { return m_minValue; }
    void setMinValue(std::int32_t value) { m_minValue = value; }
    std::int32_t MaxValue() const { return m_maxValue; }
    void setMaxValue(std::int32_t value) { m_maxValue = value; }
    std::int32_t Increment() const { return m_increment; }
    void setIncrement(std::int32_t value) { m_increment = value; }

    /**
     * Whether typing, paste, cut and drops may change the text; the arrows and the Up/Down keys
     * step either way. While off, the Delete key and the word and line deletions do nothing
     * (silently: they type no character to refuse).
     */
    bool EditorEnabled() const { return m_editorEnabled; }
    void setEditorEnabled(bool enabled) { m_editorEnabled = enabled; }

    /** Select the whole text when the focus arrives other than by a left click on the field. */
    bool AutoSelect() const { return m_autoSelect; }
    void setAutoSelect(bool autoSelect) { m_autoSelect = autoSelect; }

    /**
     * @p value limited to MinValue..MaxValue, unless the two are equal. The lower bound is tested
     * first, so an inverted range gives MinValue below it and MaxValue for everything else.
     */
    std::int32_t ClampToRange(std::int32_t value) const;

    /** Adds Increment (saturating at the 32-bit limits); beeps instead when read-only. */
    virtual void StepUp();
    /** Subtracts Increment (saturating at the 32-bit limits); beeps instead when read-only. */
    virtual void StepDown();
    /**
     * Whether a typed character may reach the edit: digits, "+", "-", the locale's decimal
     * separator and control characters below 32 except carriage return. While EditorEnabled is
     * off, only control characters other than backspace and carriage return pass. Typed keys and
     * the text an input method commits both pass through it.
     */
    virtual bool AcceptsChar(QChar ch) const;

    /** The arrow pair, laid out at each resize (a border style change shows at the next one). */
    TSpinButton* Button() const { return m_button; }

    /** Font cell + min(system font cell, font cell) / 4 + 4 * border + 2, the border being 1. */
    int MinHeight() const;

    QSize minimumSizeHint() const override;

signals:
    void OnChange();
    /** The focus arrived (after any select-all). */
    void OnEnter();
    /** The focus is leaving; the text is not yet clamped. */
    void OnExit();
    /** A double click of the left button on the text, after the edit has selected the word under
     * it. */
    void OnDblClick();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

    /** Whether paste, cut and drops may change the text now. */
    bool CanModifyText() const;

private:
    void LayoutButton();
    void Step(std::int64_t delta);

    std::int32_t m_minValue = 0;
    std::int32_t m_maxValue = 0;
    std::int32_t m_increment = 1;
    TSpinButton* m_button;
    bool m_editorEnabled = true;
    bool m_autoSelect = true;
    bool m_entered = false; ///< the focus arrived and has not left for another widget since
};
