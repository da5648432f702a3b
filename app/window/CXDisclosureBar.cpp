#include "app/window/CXDisclosureBar.h"

#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QToolButton>

namespace {

QColor white(double level)
{
    return QColor::fromRgbF(float(level), float(level), float(level), 1.0f);
}

QFont smallSystemFont()
{
    QFont font;
    font.setPointSizeF(font.pointSizeF() * 0.85);
    return font;
}

} // namespace

CXDisclosureBar::CXDisclosureBar(const QRect &frame, bool expanded, QWidget *parent)
    : CXGradientView(parent)
{
    setGeometry(frame);
    setDrawsBorder(true);
    setBorderSidesMask(MinYEdge | MaxYEdge);
    setDrawsHighlight(true);
    setActiveFillGradient({white(0.916), white(0.814)});
    setInactiveFillGradient({white(0.916), white(0.814)});
    setClickedFillGradient({white(0.83), white(0.83)});
    setCursor(Qt::PointingHandCursor);

    const int h = int(kBarHeight);
    m_disclosureButton = new QToolButton(this);
    m_disclosureButton->setObjectName(QStringLiteral("disclosureButton"));
    m_disclosureButton->setCheckable(true);
    m_disclosureButton->setAutoRaise(true);
    m_disclosureButton->setFocusPolicy(Qt::NoFocus);
    m_disclosureButton->setStyleSheet(
        QStringLiteral("QToolButton { border: none; background: transparent; }"));
    m_disclosureButton->setIconSize(QSize(10, 10));
    m_disclosureButton->setGeometry(8, 0, 10, h);
    setDisclosureState(expanded);
    connect(m_disclosureButton, &QToolButton::clicked, this, [this] {
        // The button's own click flips its state; the section sets it again when its
        // animation ends.
        setDisclosureState(m_disclosureButton->isChecked());
        emit toggled();
    });

    m_imageViewLeft = new QLabel(this);
    m_imageViewLeft->setAlignment(Qt::AlignCenter);
    m_imageViewLeft->setGeometry(
        QRectF(m_disclosureButton->geometry().right() + 1 + kGap, 1.5, kBarHeight, kBarHeight - 3.0)
            .toRect());

    m_labelField = new QLabel(this);
    m_labelField->setObjectName(QStringLiteral("labelField"));
    m_labelField->setFont(smallSystemFont());
    m_labelField->setStyleSheet(
        QStringLiteral("QLabel { color: black; background: transparent; font-weight: 600; }"));
    m_labelField->setTextFormat(Qt::PlainText);
    m_labelField->setWordWrap(false);
    placeSubviews();
}

CXDisclosureBar::CXDisclosureBar(const QRect &frame, const QIcon &leftImage, const QString &label,
                                 bool expanded, QWidget *parent)
    : CXDisclosureBar(frame, expanded, parent)
{
    setLeftImage(leftImage);
    setLabel(label);
}

CXDisclosureBar::~CXDisclosureBar() = default;

void CXDisclosureBar::setDisclosureState(bool open)
{
    m_disclosureButton->setChecked(open);
    m_disclosureButton->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
}

bool CXDisclosureBar::disclosureState() const
{
    return m_disclosureButton->isChecked();
}

void CXDisclosureBar::setLeftImage(const QIcon &image)
{
    m_leftImage = image;
    m_imageViewLeft->setPixmap(image.isNull() ? QPixmap() : image.pixmap(QSize(16, 16)));
}

QString CXDisclosureBar::label() const
{
    return m_label;
}

void CXDisclosureBar::setLabel(const QString &label)
{
    m_label = label;
    const QFontMetrics metrics(m_labelField->font());
    const int textHeight = metrics.height();
    QRect frame = m_labelField->geometry();
    frame.setHeight(textHeight);
    frame.moveTop(int(kBarHeight / 2.0 - textHeight / 2.0));
    m_labelField->setGeometry(frame);
    m_labelField->setText(label);
    fitLabelAfterResize();
}

double CXDisclosureBar::rightEdge() const
{
    return m_accessoryView ? m_accessoryView->x() : width();
}

void CXDisclosureBar::setAccessoryView(QWidget *view)
{
    if (m_accessoryView == view)
        return;
    if (m_accessoryView) {
        m_accessoryView->hide();
        m_accessoryView->setParent(nullptr);
    }
    m_accessoryView = view;
    if (view) {
        view->setParent(this);
        view->move(width() - view->width(), view->y());
        view->show();
    }
    placeSubviews();
}

bool CXDisclosureBar::hasDisclosureButton() const
{
    return !m_disclosureButton->isHidden();
}

void CXDisclosureBar::setHasDisclosureButton(bool has)
{
    if (has == hasDisclosureButton())
        return;
    m_disclosureButton->setVisible(has);
    placeSubviews();
}

void CXDisclosureBar::placeSubviews()
{
    const double imageX =
        (hasDisclosureButton() ? m_disclosureButton->geometry().right() + 1 : 0) + kGap;
    QRect image = m_imageViewLeft->geometry();
    image.moveLeft(int(imageX));
    m_imageViewLeft->setGeometry(image);
    // Without an image the label starts where the image would.
    const int labelX = m_leftImage.isNull() ? int(imageX) : image.right() + 1 + int(kGap);
    QRect label = m_labelField->geometry();
    label.setLeft(labelX);
    label.setWidth(std::max(0, int(rightEdge()) - labelX));
    if (label.height() <= 0)
        label.setHeight(int(kBarHeight));
    m_labelField->setGeometry(label);
}

void CXDisclosureBar::fitLabelAfterResize()
{
    if (m_accessoryView)
        m_accessoryView->move(width() - m_accessoryView->width(), m_accessoryView->y());
    placeSubviews();
    const QFontMetrics metrics(m_labelField->font());
    const double textWidth = metrics.horizontalAdvance(m_label);
    // Too narrow for half the label: hide it rather than show a stub.
    m_labelField->setVisible(textWidth / 2.0 + m_labelField->x() + kGap <= rightEdge());
    m_imageViewLeft->setVisible(!m_leftImage.isNull()
                                && m_imageViewLeft->geometry().right() + 1 + kGap <= rightEdge());
}

void CXDisclosureBar::resizeEvent(QResizeEvent *event)
{
    CXGradientView::resizeEvent(event);
    fitLabelAfterResize();
}

void CXDisclosureBar::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    setFillOption(ClickedFill);
}

void CXDisclosureBar::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    setFillOption(rect().contains(event->position().toPoint()) ? ClickedFill : NormalFill);
}

void CXDisclosureBar::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    setFillOption(NormalFill);
    if (rect().contains(event->position().toPoint()))
        emit toggled();
}
