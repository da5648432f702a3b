#include "framework/view/VKInfoFloater.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>

#include <cmath>

VKInfoFloater::VKInfoFloater()
    : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 3, 6, 3);
    m_label = new QLabel(this);
    layout->addWidget(m_label);
    setAutoFillBackground(true);
}

VKInfoFloater::~VKInfoFloater() = default;

std::unique_ptr<VKInfoFloater> VKInfoFloater::infoFloater()
{
    return std::make_unique<VKInfoFloater>();
}

QString VKInfoFloater::formatValue(double value, const QString &format)
{
    QString pattern = format;
    const bool percent = pattern.endsWith(QLatin1Char('%'));
    if (percent) {
        pattern.chop(1);
        value *= 100.0;
    }
    // A unit after the digits ("0.0\u00B0") is shown after the number.
    qsizetype end = pattern.size();
    while (end > 0 && !QStringLiteral("0#.").contains(pattern.at(end - 1)))
        --end;
    const QString unit = pattern.mid(end);
    pattern.truncate(end);
    const int dot = pattern.indexOf(QLatin1Char('.'));
    const int decimals = dot < 0 ? 0 : int(pattern.size()) - dot - 1;
    if (!std::isfinite(value))
        return QString();
    QString text = QLocale().toString(value, 'f', std::clamp(decimals, 0, 6)) + unit;
    if (percent)
        text += QLatin1Char('%');
    return text;
}

void VKInfoFloater::setDoubleValue(double value)
{
    setStringValue(formatValue(value, m_format));
}

void VKInfoFloater::setStringValue(const QString &text)
{
    m_label->setText(text);
    adjustSize();
}

QString VKInfoFloater::text() const
{
    return m_label->text();
}

void VKInfoFloater::positionNearPoint(QPointF point, QWidget *view)
{
    QPoint global = point.toPoint();
    if (view)
        global = view->mapToGlobal(point.toPoint());
    move(global + QPoint(qRound(m_offset.width()), qRound(m_offset.height())));
}

void VKInfoFloater::orderWindow(int place, QWidget *relativeTo)
{
    if (place == 0) {
        hide();
        return;
    }
    show();
    if (place > 0 || !relativeTo)
        raise();
    else
        stackUnder(relativeTo);
}
