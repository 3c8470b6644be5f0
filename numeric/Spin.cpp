#include "numeric/Spin.h"

#include "numeric/IntegerText.h"
#include "platform/Beep.h"
#include "platform/HandlerBoundary.h"
#include "platform/MessageTimer.h"
#include "resources/Pictures.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <QResizeEvent>
#include <QStyle>
#include <QStyleOptionButton>

#include <algorithm>
#include <limits>
#include <utility>

namespace numeric {

namespace {

// The arrows repeat on a timer with the manners of a window-message timer, so a held arrow
// never keeps input and painting waiting.
class MessageRepeatTimer final : public RepeatTimer {
public:
    explicit MessageRepeatTimer(QObject* parent)
        : RepeatTimer(parent)
    {
        connect(&m_timer, &platform::MessageTimer::timeout, this, &RepeatTimer::timeout);
    }

    std::uint32_t interval() const override { return m_timer.interval(); }
    void setInterval(std::uint32_t milliseconds) override { m_timer.setInterval(milliseconds); }
    bool isEnabled() const override { return m_timer.isEnabled(); }
    void setEnabled(bool enabled) override { m_timer.setEnabled(enabled); }

private:
    platform::MessageTimer m_timer;
};

RepeatTimerFactory& repeatTimerFactory()
{
    static RepeatTimerFactory factory;
    return factory;
}

RepeatTimer* makeRepeatTimer(QObject* parent)
{
    if (const RepeatTimerFactory& factory = repeatTimerFactory())
        return factory(parent);
    return new MessageRepeatTimer(parent);
}

} // namespace

RepeatTimerFactory setRepeatTimerFactory(RepeatTimerFactory factory)
{
    return std::exchange(repeatTimerFactory(), std::move(factory));
}

} // namespace numeric

// ----- TTimerSpeedButton -------------------------------------------------------------------------

TTimerSpeedButton::TTimerSpeedButton(QWidget* parent)
    : QAbstractButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
}

void TTimerSpeedButton::setTimeBtnState(TimeBtnStates state)
{
    if (state == m_state)
        return;
    m_state = state;
    update();
}

void TTimerSpeedButton::setGlyph(const QPixmap& glyph)
{
    m_glyph = glyph;
    update();
}

void TTimerSpeedButton::setNumGlyphs(int count)
{
    m_numGlyphs = std::clamp(count, 1, 4);
    update();
}

QSize TTimerSpeedButton::sizeHint() const
{
    const int glyphWidth = m_glyph.isNull() ? 9 : m_glyph.width() / m_numGlyphs;
    const int glyphHeight = m_glyph.isNull() ? 6 : m_glyph.height();
    return { glyphWidth + 6, glyphHeight + 4 };
}

void TTimerSpeedButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QStyleOptionButton option;
    option.initFrom(this);
    option.state |= isDown() ? QStyle::State_Sunken : QStyle::State_Raised;
    style()->drawPrimitive(QStyle::PE_PanelButtonCommand, &option, &painter, this);

    // The glyph strip holds, side by side: normal, disabled and pressed images; a missing
    // disabled image is made from the normal one.
    QPixmap image;
    if (!m_glyph.isNull()) {
        const int width = m_glyph.width() / m_numGlyphs;
        int index = 0;
        if (!isEnabled())
            index = 1;
        else if (isDown())
            index = 2;
        if (index >= m_numGlyphs)
            index = 0;
        image = m_glyph.copy(index * width, 0, width, m_glyph.height());
        if (!isEnabled() && m_numGlyphs < 2)
            image = style()->generatedIconPixmap(QIcon::Disabled, image, &option);
    }
    const int shift = isDown() ? 1 : 0;
    if (!image.isNull()) {
        painter.drawPixmap(
            (width() - image.width()) / 2 + shift, (height() - image.height()) / 2 + shift, image);
    }

    if (m_state.testFlag(TimeBtnState::Focus)) {
        const QRect mark = rect().adjusted(3, 3, -3, -3).translated(shift, shift);
        painter.setPen(QPen(palette().color(QPalette::ButtonText), 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(mark.adjusted(0, 0, -1, -1));
    }
}

void TTimerSpeedButton::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() == Qt::LeftButton) {
        // The pair hands the focus to its field before the arrow shows pressed.
        emit pressed();
        m_leftHeld = true;
        setDown(true);
    }
    m_capture = true;
    if (m_state.testFlag(TimeBtnState::AutoRepeat)) {
        if (!m_repeatTimer) {
            m_repeatTimer = numeric::makeRepeatTimer(this);
            connect(m_repeatTimer, &numeric::RepeatTimer::timeout, this,
                &TTimerSpeedButton::TimerExpired);
        }
        m_repeatTimer->setInterval(kInitRepeatPause);
        m_repeatTimer->setEnabled(true);
    }
}

void TTimerSpeedButton::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
    // Moving off the arrow lifts it and so suspends the repeats; moving back resumes them.
    if (m_leftHeld)
        setDown(hitButton(event->position().toPoint()));
}

void TTimerSpeedButton::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (m_repeatTimer)
        m_repeatTimer->setEnabled(false);
    bool click = false;
    if (event->button() == Qt::LeftButton && m_leftHeld) {
        click = hitButton(event->position().toPoint());
        m_leftHeld = false;
        setDown(false);
    }
    if (event->buttons() == Qt::NoButton)
        m_capture = false;
    if (click)
        emit clicked(false);
}

void TTimerSpeedButton::hideEvent(QHideEvent* event)
{
    // A hidden arrow gets no release, so a press it still remembers would repeat forever.
    cancelPress();
    QAbstractButton::hideEvent(event);
}

void TTimerSpeedButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        cancelPress();
    QAbstractButton::changeEvent(event);
}

void TTimerSpeedButton::cancelPress()
{
    if (m_repeatTimer)
        m_repeatTimer->setEnabled(false);
    m_leftHeld = false;
    m_capture = false;
    setDown(false);
}

void TTimerSpeedButton::TimerExpired()
{
    m_repeatTimer->setInterval(kRepeatPause);
    if (!isDown() || !m_capture)
        return;
    // The timer rests while the click runs: the error box of a failed click runs an event loop,
    // in which a running timer would click again and stack box upon box.
    m_repeatTimer->setEnabled(false);
    const QPointer<TTimerSpeedButton> self(this);
    const bool clickedWell = platform::guarded([this] { emit clicked(false); });
    if (!self)
        return;
    if (!clickedWell) {
        // The press ends with the failure: no more repeats, and no click when it is released.
        cancelPress();
        return;
    }
    // A click may have ended the press itself (by hiding or disabling the arrow).
    if (m_capture)
        m_repeatTimer->setEnabled(true);
}

// ----- TSpinButton -------------------------------------------------------------------------------

namespace {

void setFocusMark(TTimerSpeedButton* button, bool on)
{
    TTimerSpeedButton::TimeBtnStates state = button->TimeBtnState();
    state.setFlag(TTimerSpeedButton::TimeBtnState::Focus, on);
    button->setTimeBtnState(state);
}

} // namespace

TSpinButton::TSpinButton(QWidget* parent)
    : QWidget(parent)
    , m_upButton(new TTimerSpeedButton(this))
    , m_downButton(new TTimerSpeedButton(this))
    , m_focusedButton(m_upButton)
{
    setFocusPolicy(Qt::NoFocus);
    setMinimumWidth(15);
    resize(20, 25);

    m_upButton->setObjectName(QStringLiteral("UpButton"));
    m_downButton->setObjectName(QStringLiteral("DownButton"));
    for (TTimerSpeedButton* button : { m_upButton, m_downButton }) {
        button->setTimeBtnState(TTimerSpeedButton::TimeBtnState::AutoRepeat);
        connect(button, &TTimerSpeedButton::pressed, this, [this, button] { BtnPressed(button); });
    }
    m_upButton->setGlyph(resources::spinUpPicture());
    m_downButton->setGlyph(resources::spinDownPicture());
    connect(m_upButton, &TTimerSpeedButton::clicked, this, &TSpinButton::OnUpClick);
    connect(m_downButton, &TTimerSpeedButton::clicked, this, &TSpinButton::OnDownClick);
    AdjustArrows();
}

QPixmap TSpinButton::UpGlyph() const
{
    return m_upButton->Glyph();
}

void TSpinButton::setUpGlyph(const QPixmap& glyph)
{
    m_upButton->setGlyph(glyph.isNull() ? resources::spinUpPicture() : glyph);
}

QPixmap TSpinButton::DownGlyph() const
{
    return m_downButton->Glyph();
}

void TSpinButton::setDownGlyph(const QPixmap& glyph)
{
    m_downButton->setGlyph(glyph.isNull() ? resources::spinDownPicture() : glyph);
}

int TSpinButton::UpNumGlyphs() const
{
    return m_upButton->NumGlyphs();
}
void TSpinButton::setUpNumGlyphs(int count)
{
    m_upButton->setNumGlyphs(count);
}
int TSpinButton::DownNumGlyphs() const
{
    return m_downButton->NumGlyphs();
}
void TSpinButton::setDownNumGlyphs(int count)
{
    m_downButton->setNumGlyphs(count);
}

void TSpinButton::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    AdjustArrows();
}

void TSpinButton::AdjustArrows()
{
    // The lower arrow starts one row above the end of the upper one, so they share a border row.
    const int w = std::max(width(), 15);
    const int h = height();
    const int upHeight = h / 2;
    m_upButton->setGeometry(0, 0, w, upHeight);
    m_downButton->setGeometry(0, upHeight - 1, w, h - upHeight + 1);
}

void TSpinButton::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Up:
        SetFocusBtn(m_upButton);
        emit OnUpClick();
        break;
    case Qt::Key_Down:
        SetFocusBtn(m_downButton);
        emit OnDownClick();
        break;
    case Qt::Key_Space:
        if (m_focusedButton == m_upButton)
            emit OnUpClick();
        else
            emit OnDownClick();
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TSpinButton::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    setFocusMark(m_focusedButton, true);
}

void TSpinButton::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    setFocusMark(m_focusedButton, false);
}

void TSpinButton::SetFocusBtn(TTimerSpeedButton* button)
{
    if (button == m_focusedButton)
        return;
    if (hasFocus()) {
        setFocusMark(m_focusedButton, false);
        setFocusMark(button, true);
    }
    m_focusedButton = button;
}

void TSpinButton::BtnPressed(TTimerSpeedButton* button)
{
    SetFocusBtn(button);
    QWidget* control = m_focusControl;
    const auto canTakeFocus = [](const QWidget* widget) {
        return (widget->focusPolicy() & Qt::TabFocus) && widget->isEnabled() && widget->isVisible();
    };
    // Not a mouse reason: the click was on the arrow, not on the field, so a field that selects
    // all on entry does so here too.
    if (control && canTakeFocus(control) && !control->hasFocus())
        control->setFocus(Qt::OtherFocusReason);
    else if (canTakeFocus(this) && !hasFocus())
        setFocus(Qt::MouseFocusReason);
}

// ----- TSpinEdit ---------------------------------------------------------------------------------

namespace {

constexpr int kPairWidth = 15;
constexpr int kPairHeight = 17;
// The width of the field's sunken (three-dimensional) border on each side.
constexpr int kSunkenBorder = 2;

// Keys that remove text without typing a character, which the character filter never sees.
bool deletesText(const QKeyEvent* event)
{
    return event->key() == Qt::Key_Delete || event->matches(QKeySequence::Delete)
        || event->matches(QKeySequence::DeleteEndOfWord)
        || event->matches(QKeySequence::DeleteStartOfWord)
        || event->matches(QKeySequence::DeleteEndOfLine)
        || event->matches(QKeySequence::DeleteCompleteLine);
}

bool isEnterKey(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

// The characters a key types, as the filter should judge them. Enter types a carriage return.
// The Delete key types nothing, although X11 reports DEL as its text. Control with a letter
// types that letter's control code (Ctrl+V is 22), whatever text the window system attached;
// Control with anything else types nothing.
QString typedText(const QKeyEvent* event)
{
    if (isEnterKey(event->key()))
        return QStringLiteral("\r");
    if (event->key() == Qt::Key_Delete)
        return {};
    QString text = event->text();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (!modifiers.testFlag(Qt::ControlModifier) || modifiers.testFlag(Qt::AltModifier)
        || text.size() != 1)
        return text;
    const char16_t code = text.front().toUpper().unicode();
    if (code < 32)
        return text;
    if (code >= u'@' && code <= u'_')
        return QString(QChar(static_cast<char16_t>(code & 0x1F)));
    return {};
}

} // namespace

TSpinEdit::TSpinEdit(QWidget* parent)
    : QLineEdit(parent)
    , m_button(new TSpinButton(this))
{
    setText(QStringLiteral("0"));
    m_button->setObjectName(QStringLiteral("Button"));
    m_button->resize(kPairWidth, kPairHeight);
    m_button->setFocusControl(this);
    connect(m_button, &TSpinButton::OnUpClick, this, &TSpinEdit::StepUp);
    connect(m_button, &TSpinButton::OnDownClick, this, &TSpinEdit::StepDown);
    connect(this, &QLineEdit::textChanged, this, &TSpinEdit::OnChange);
}

TSpinEdit::~TSpinEdit()
{
    // The pair goes with the widget tree; from here on the field no longer reaches it.
    m_button->disconnect(this);
    m_button = nullptr;
}

std::int32_t TSpinEdit::Value() const
{
    return numeric::integerFromText(text()).value_or(m_minValue);
}

void TSpinEdit::setValue(std::int32_t value)
{
    const QString shown = QString::number(ClampToRange(value));
    if (shown != text())
        setText(shown);
}

std::int32_t TSpinEdit::ClampToRange(std::int32_t value) const
{
    if (m_minValue == m_maxValue)
        return value;
    if (value < m_minValue)
        return m_minValue;
    if (value > m_maxValue)
        return m_maxValue;
    return value;
}

void TSpinEdit::StepUp()
{
    Step(m_increment);
}

void TSpinEdit::StepDown()
{
    Step(-static_cast<std::int64_t>(m_increment));
}

void TSpinEdit::Step(std::int64_t delta)
{
    if (isReadOnly()) {
        platform::beep();
        return;
    }
    // A step past the 32-bit limits stops at the limit rather than wrapping to the other end.
    const std::int64_t next = std::clamp<std::int64_t>(static_cast<std::int64_t>(Value()) + delta,
        std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max());
    setValue(static_cast<std::int32_t>(next));
}

bool TSpinEdit::AcceptsChar(QChar ch) const
{
    constexpr char16_t kBackspace = 8;
    constexpr char16_t kCarriageReturn = 13;
    const char16_t code = ch.unicode();
    if (code < 32)
        return code != kCarriageReturn && (m_editorEnabled || code != kBackspace);
    if (!m_editorEnabled)
        return false;
    if ((code >= u'0' && code <= u'9') || code == u'+' || code == u'-')
        return true;
    const QString separator = QLocale().decimalPoint();
    return ch == (separator.isEmpty() ? QChar(u'.') : separator.front());
}

bool TSpinEdit::CanModifyText() const
{
    return m_editorEnabled && !isReadOnly();
}

void TSpinEdit::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (key == Qt::Key_Up)
        StepUp();
    else if (key == Qt::Key_Down)
        StepDown();

    if ((event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Cut))
        && !CanModifyText()) {
        event->accept();
        return;
    }
    if (!m_editorEnabled && deletesText(event)) {
        event->accept();
        return;
    }

    for (const QChar ch : typedText(event)) {
        if (!AcceptsChar(ch)) {
            platform::beep();
            event->accept();
            return;
        }
    }

    QLineEdit::keyPressEvent(event);
    // The edit ignores Escape and would pass it on to the dialog, which would close; the field
    // keeps Enter and Escape to itself while it has the focus.
    if (isEnterKey(key) || key == Qt::Key_Escape)
        event->accept();
}

void TSpinEdit::inputMethodEvent(QInputMethodEvent* event)
{
    // Text an input method commits (a composed character, a dead key's accent on its letter) is
    // typed text like a key's and passes the same filter, character by character; the
    // composition shown until then is no text of the field yet.
    const QString committed = event->commitString();
    QString kept;
    kept.reserve(committed.size());
    for (qsizetype i = 0; i < committed.size(); ++i) {
        const QChar ch = committed.at(i);
        if (AcceptsChar(ch)) {
            kept += ch;
            continue;
        }
        platform::beep();
        // A character beyond the 16-bit range comes in two halves and is refused once.
        if (ch.isHighSurrogate() && i + 1 < committed.size()
            && committed.at(i + 1).isLowSurrogate())
            ++i;
    }
    // An input method may also replace text next to the cursor, which deletes it: only while
    // the editor is on, as the Delete key.
    const bool replaces = event->replacementLength() != 0;
    if (kept == committed && (m_editorEnabled || !replaces)) {
        QLineEdit::inputMethodEvent(event);
        return;
    }
    QInputMethodEvent filtered(event->preeditString(), event->attributes());
    if (m_editorEnabled)
        filtered.setCommitString(kept, event->replacementStart(), event->replacementLength());
    else
        filtered.setCommitString(kept);
    QLineEdit::inputMethodEvent(&filtered);
    event->setAccepted(filtered.isAccepted());
}

void TSpinEdit::focusInEvent(QFocusEvent* event)
{
    const bool hadSelection = hasSelectedText();
    QLineEdit::focusInEvent(event);
    const Qt::FocusReason reason = event->reason();
    // The window coming back, or a popup closing, returns the focus to a field it never left.
    if (m_entered && (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason))
        return;
    m_entered = true;

    // A mouse focus counts as a left click unless another button is known to be down.
    const Qt::MouseButtons buttons = QGuiApplication::mouseButtons();
    const bool byLeftClick = reason == Qt::MouseFocusReason
        && (buttons.testFlag(Qt::LeftButton) || buttons == Qt::NoButton);
    if (m_autoSelect && !byLeftClick)
        selectAll();
    else if (!m_autoSelect && !hadSelection && hasSelectedText())
        deselect(); // the edit selects on keyboard entry by itself
    emit OnEnter();
}

void TSpinEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    const Qt::FocusReason reason = event->reason();
    // Switching to another window or opening a popup does not leave the field.
    if (!m_entered || reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
        return;
    m_entered = false;

    emit OnExit();
    const std::int32_t value = Value();
    if (ClampToRange(value) != value)
        setValue(value);
}

int TSpinEdit::MinHeight() const
{
    // The window border is one pixel high on every desktop this runs on.
    constexpr int kBorderHeight = 1;
    const int cell = QFontMetrics(font()).height();
    const int systemCell = QFontMetrics(QApplication::font()).height();
    return cell + std::min(systemCell, cell) / 4 + 4 * kBorderHeight + 2;
}

QSize TSpinEdit::minimumSizeHint() const
{
    return { QLineEdit::minimumSizeHint().width(), MinHeight() };
}

void TSpinEdit::resizeEvent(QResizeEvent* event)
{
    QLineEdit::resizeEvent(event);
    const int minHeight = MinHeight();
    if (height() < minHeight)
        resize(width(), minHeight);
    // Laying out again after the nested resize costs nothing, and still places the pair when
    // a maximum height keeps the field from growing or the widget is not shown yet.
    LayoutButton();
}

void TSpinEdit::LayoutButton()
{
    if (!m_button)
        return;
    // The pair and the text rectangle are placed in the field's client area, which starts inside
    // its sunken border as a child window's coordinates do inside its parent's client edge. A
    // flat field has no border: its client area is the whole field.
    const int border = hasFrame() ? kSunkenBorder : 0;
    const int clientWidth = width() - 2 * border;
    const int pairWidth = m_button->width();
    if (hasFrame())
        m_button->setGeometry(border + width() - pairWidth - 5, border, pairWidth, height() - 5);
    else
        m_button->setGeometry(width() - pairWidth, 1, pairWidth, height() - 3);

    // The text runs from the client area's left edge to 2 pixels short of the pair's width
    // from its right edge, so that it never runs under the arrows. The edit lays its text out
    // inside its own frame, plus a small margin of its own, so the margins make up the rest.
    const int frame
        = hasFrame() ? style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this) : 0;
    const int textLeft = border;
    const int textRight = border + clientWidth - pairWidth - 2;
    const QMargins margins(
        std::max(0, textLeft - frame), 0, std::max(0, width() - frame - textRight), 0);
    if (textMargins() != margins)
        setTextMargins(margins);
}

void TSpinEdit::mouseDoubleClickEvent(QMouseEvent* event)
{
    QLineEdit::mouseDoubleClickEvent(event);
    // Only the left button double-clicks; the others' second press is no event of the field.
    if (event->button() == Qt::LeftButton)
        emit OnDblClick();
}

void TSpinEdit::mouseReleaseEvent(QMouseEvent* event)
{
    // A middle click pastes the selection on X11: a paste like any other.
    if (event->button() == Qt::MiddleButton && !CanModifyText()) {
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void TSpinEdit::contextMenuEvent(QContextMenuEvent* event)
{
    // While the editor is off the menu is the one of a read-only field: no cut, paste or delete
    // (undo and redo go too, a small price for not picking the menu's entries apart).
    const bool gateEditing = !m_editorEnabled && !isReadOnly();
    if (gateEditing)
        setReadOnly(true);
    QMenu* menu = createStandardContextMenu();
    if (gateEditing)
        setReadOnly(false);
    if (!menu)
        return;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void TSpinEdit::dragEnterEvent(QDragEnterEvent* event)
{
    if (!CanModifyText()) {
        event->ignore();
        return;
    }
    QLineEdit::dragEnterEvent(event);
}

void TSpinEdit::dragMoveEvent(QDragMoveEvent* event)
{
    if (!CanModifyText()) {
        event->ignore();
        return;
    }
    QLineEdit::dragMoveEvent(event);
}

void TSpinEdit::dropEvent(QDropEvent* event)
{
    if (!CanModifyText()) {
        event->ignore();
        return;
    }
    QLineEdit::dropEvent(event);
}
